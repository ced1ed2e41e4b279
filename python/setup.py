"""Builds the vorant package with a copy of a built libvorant.so beside it.

The library is VORANT_LIBRARY when set, else ../build/lib/libvorant.so.1
(the project's normal build). Debian's setuptools and wheel suffice:
    pip install --no-build-isolation ./python
"""

import os
import shutil
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py
from setuptools.dist import Distribution

HERE = Path(__file__).resolve().parent
SONAME = "libvorant.so.1"


def built_library() -> Path:
    given = os.environ.get("VORANT_LIBRARY")
    path = Path(given) if given else HERE.parent / "build" / "lib" / SONAME
    if not path.is_file():
        raise SystemExit(f"{path} not found: build the library first (cmake --build build) "
                         "or set VORANT_LIBRARY to a built libvorant.so")
    return path.resolve()


class BuildWithLibrary(build_py):
    def run(self) -> None:
        super().run()
        target = Path(self.build_lib) / "vorant" / SONAME
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built_library(), target)


class BinaryDistribution(Distribution):
    # The wheel carries a native library: tag it for this platform.
    def has_ext_modules(self) -> bool:
        return True


setup(cmdclass={"build_py": BuildWithLibrary}, distclass=BinaryDistribution)
