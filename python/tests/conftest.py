"""Fixtures: a vorant-server on a free loopback port and the library
initialised against it. The build tree is VORANT_BUILD_DIR (default
build/ at the project root); the package under test is the source tree's
unless VORANT_TEST_INSTALLED is set (then the one on sys.path)."""

import os
import socket
import subprocess
import sys
import time
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("VORANT_BUILD_DIR", ROOT / "build"))
DICTIONARY = ROOT / "tests" / "api" / "data" / "test_dic.xml"
KEY_FILE = ROOT / "examples" / "user.key"
RULES = "100 echo\n101 echo\n300 reject 501 denied\n900 delay 1 echo\n"

if not os.environ.get("VORANT_TEST_INSTALLED"):
    sys.path.insert(0, str(ROOT / "python"))
    os.environ.setdefault("VORANT_LIBRARY", str(BUILD / "lib" / "libvorant.so.1"))


class Server:
    """A vorant-server process; its log is a file, so it never blocks on us."""

    def __init__(self, tmp: Path) -> None:
        (tmp / "rules").write_text(RULES)
        self.log = tmp / "server.log"
        with open(self.log, "w") as out:
            self.proc = subprocess.Popen([str(BUILD / "bin" / "vorant-server"), "-d", str(DICTIONARY),
                                          "-r", str(tmp / "rules"), "-p", "0"], stdout=out,
                                         stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while "\n" not in self.log.read_text():
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError("vorant-server did not start")
            time.sleep(0.02)
        self.port = int(self.log.read_text().splitlines()[0])

    def requests(self, service: int) -> int:
        """How many requests for service the server has logged."""
        return sum(1 for line in self.log.read_text().splitlines() if f" svc={service} " in line)

    def stop(self) -> None:
        self.proc.terminate()
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


@pytest.fixture(scope="session")
def server(tmp_path_factory):
    s = Server(tmp_path_factory.mktemp("server"))
    yield s
    s.stop()


@pytest.fixture(scope="session")
def vorant(server):
    import vorant as package

    package.initialize(key_file=KEY_FILE, msg_dic=DICTIONARY, host="127.0.0.1", port=server.port, timeout=60)
    return package


@pytest.fixture(scope="session")
def config(server, tmp_path_factory):
    """A configuration file for the running server."""
    path = tmp_path_factory.mktemp("config") / "vorant.conf"
    path.write_text(f"msg_dic = {DICTIONARY}\nkey_file = {KEY_FILE}\nserver = 127.0.0.1 {server.port}\n"
                    "timeout = 60\n")
    return path


def python_env() -> dict:
    """The environment of a fresh interpreter that imports the package under test."""
    env = dict(os.environ)
    if not os.environ.get("VORANT_TEST_INSTALLED"):
        env["PYTHONPATH"] = os.pathsep.join([str(ROOT / "python"), env.get("PYTHONPATH", "")])
    return env


def run_python(*argv: str, stdin: str = "") -> subprocess.CompletedProcess:
    """Runs a fresh interpreter with the package importable, for what one
    process cannot do twice (initialise) or must see from outside."""
    return subprocess.run([sys.executable, *argv], input=stdin, capture_output=True, text=True,
                          env=python_env(), timeout=30)


def open_fds() -> int:
    """How many descriptors this process has open."""
    return len(os.listdir("/proc/self/fd"))


@pytest.fixture
def closed_port():
    """A loopback port nothing listens on."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
