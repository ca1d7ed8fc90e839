"""Builds the morvik package. The extension morvik._morvik and the shared
library libmorvik.so come from the project's CMake build (python/CMakeLists.txt
under the option MORVIK_PYTHON), compiled with the library's own flags rather
than setuptools': its numbers are the tool's, bit for bit.

MORVIK_BUILD_DIR names the CMake build tree (default: build/python at the
root of the repository); an existing tree is reused as it is configured, so
a tree that already built the extension builds nothing again. MORVIK_JOBS
sets the build's parallel jobs (default: the number of processors)."""

import os
import re
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def library_version():
    """The version written once, as MORVIK_VERSION in the library's header."""
    with open(os.path.join(ROOT, "interface", "morvik.h"), encoding="utf-8") as header:
        found = re.search(r'^#define MORVIK_VERSION "([0-9]+\.[0-9]+\.[0-9]+)"', header.read(), re.M)
    if not found:
        raise RuntimeError("interface/morvik.h defines no MORVIK_VERSION")
    return found.group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = os.path.join(ROOT, os.environ.get("MORVIK_BUILD_DIR") or os.path.join("build", "python"))
        configure = ["cmake", "-S", ROOT, "-B", build_dir, "-DMORVIK_PYTHON=ON"]
        if not os.path.exists(os.path.join(build_dir, "CMakeCache.txt")):
            configure += ["-DCMAKE_BUILD_TYPE=Release", "-DMORVIK_TESTS=OFF", "-DMORVIK_BENCH=OFF",
                          f"-DPython_EXECUTABLE={sys.executable}"]
        subprocess.check_call(configure, stdout=subprocess.DEVNULL)
        jobs = os.environ.get("MORVIK_JOBS") or str(os.cpu_count() or 1)
        subprocess.check_call(["cmake", "--build", build_dir, "-j", jobs, "--target", "_morvik", "morvik",
                               "morvik-price"])
        built = os.path.join(build_dir, "python", "_morvik" + sysconfig.get_config_var("EXT_SUFFIX"))
        if not os.path.exists(built):
            raise RuntimeError(f"{built} is missing: the tree {build_dir} was configured for another Python")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built, target)
        shutil.copyfile(os.path.join(build_dir, "libmorvik.so"), os.path.join(os.path.dirname(target), "libmorvik.so"))


setup(
    name="morvik",
    version=library_version(),
    description="Monte Carlo pricing of autocallable step-down notes on a basket of stocks",
    packages=["morvik"],
    # The types: the package's hints (py.typed) and the extension's stub.
    package_data={"morvik": ["py.typed", "_morvik.pyi"]},
    ext_modules=[Extension("morvik._morvik", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    install_requires=["numpy", "pandas", "matplotlib"],
    # Books on a Dask cluster (morvik.book): pip install "morvik[book]"; on
    # Debian, python3-dask and python3-distributed.
    extras_require={"book": ["dask", "distributed"]},
    zip_safe=False,
)
