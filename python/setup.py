"""Builds tarvo._tarvo with the repository's CMake build.

The extension is the library interface of the C++ sources one folder up,
built by CMake with TARVO_PYTHON on. TARVO_BUILD_DIR names a build tree to
build it in (for instance the one the runner was built in, so that both
share every object); without it, python/build/cmake is used. Offline: only
Debian's pybind11-dev, Python's headers and the build's own packages.
"""

import os
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
SOURCE = HERE.parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(os.environ.get("TARVO_BUILD_DIR") or HERE / "build" / "cmake").resolve()
        build.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(SOURCE), "-B", str(build), "-DTARVO_PYTHON=ON",
            f"-DPython_EXECUTABLE={sys.executable}",
        ]
        if not (build / "CMakeCache.txt").exists():
            configure += [
                "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release", "-DTARVO_BUILD_TESTS=OFF",
                "-DTARVO_BUILD_BENCH=OFF", "-DTARVO_BUILD_GUI=OFF",
            ]
            if shutil.which("ccache"):
                configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                              "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("TARVO_BUILD_JOBS", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "_tarvo", "tarvo-run",
                        "-j", jobs], check=True)
        built = next(build.joinpath("python").glob("_tarvo*.so"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)
        # The runner of the same build, for the tests that compare with it.
        info = target.parent / "_build_info.py"
        info.write_text(f"RUNNER = {str(build / 'src' / 'cli' / 'tarvo-run')!r}\n")


setup(ext_modules=[CMakeExtension("tarvo._tarvo")], cmdclass={"build_ext": CMakeBuild})
