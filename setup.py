"""Builds the package's compiled module with the project's CMake build (the
module links the library and its C++ layer), then lets setuptools install
it beside the pure-Python package in python/voran."""
import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

TOP = pathlib.Path(__file__).resolve().parent


class CMakeModule(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        jobs = os.environ.get("VORAN_BUILD_JOBS", "2")
        subprocess.run(["cmake", "-S", str(TOP), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DVORAN_TESTS=OFF", "-DVORAN_PYTHON=ON",
                        f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(build), "-j", jobs, "--target", "voran_python"],
                       check=True)
        built = next((build / "python" / "voran").glob("_voran*.so"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(
    packages=["voran"],
    package_dir={"": "python"},
    ext_modules=[CMakeModule("voran._voran")],
    cmdclass={"build_ext": CMakeBuild},
)
