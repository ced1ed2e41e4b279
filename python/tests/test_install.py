"""The package as users install it: cmake --install and pip, each loading
the library from beside the package and calling the server."""

import os
import shutil
import subprocess
import sys

import pytest
from conftest import BUILD, ROOT

CALL = ("import sys, vorant, vorant._native as n\n"
        "vorant.initialize(sys.argv[1])\n"
        "with vorant.Message.from_dict('Order', {'acct': 'I'}) as m, vorant.call(100, m) as a:\n"
        "    print(n.library()._name, a.acct)\n")


def run_installed(site, config):
    env = {k: v for k, v in os.environ.items() if k not in ("VORANT_LIBRARY", "PYTHONPATH")}
    env["PYTHONPATH"] = str(site)
    return subprocess.run([sys.executable, "-c", CALL, str(config)], capture_output=True, text=True, env=env,
                          cwd=str(site), timeout=30)


def test_cmake_install_puts_the_package_beside_a_reference_to_the_library(config, tmp_path):
    prefix = tmp_path / "prefix"
    subprocess.run(["cmake", "--install", str(BUILD), "--prefix", str(prefix)], check=True, capture_output=True,
                   timeout=60)
    site = prefix / "lib" / "python3" / "dist-packages"
    r = run_installed(site, config)
    assert r.returncode == 0, r.stderr
    loaded, acct = r.stdout.split()
    assert os.path.realpath(loaded).startswith(str(prefix / "lib")) and acct == "I"


def test_pip_install_copies_the_built_library_into_the_package(config, tmp_path):
    if subprocess.run([sys.executable, "-m", "pip", "--version"], capture_output=True).returncode != 0:
        pytest.skip("no pip for this interpreter")
    source = tmp_path / "src"
    shutil.copytree(ROOT / "python", source, ignore=shutil.ignore_patterns("tests", "build", "*.egg-info",
                                                                           "__pycache__"))
    env = dict(os.environ, VORANT_LIBRARY=str(BUILD / "lib" / "libvorant.so.1"))
    subprocess.run([sys.executable, "-m", "pip", "install", "-q", "--disable-pip-version-check",
                    "--no-build-isolation", "--no-index", "--target", str(tmp_path / "site"), str(source)],
                   check=True, capture_output=True, env=env, timeout=120)
    r = run_installed(tmp_path / "site", config)
    assert r.returncode == 0, r.stderr
    loaded, acct = r.stdout.split()
    assert loaded == str(tmp_path / "site" / "vorant" / "libvorant.so.1") and acct == "I"
