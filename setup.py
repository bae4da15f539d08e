"""Builds the extension varnel._varnel with the project's CMake build (python/CMakeLists.txt), for
the interpreter that runs pip, and takes the version from CMakeLists.txt, the project's one place
for it."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(varnel VERSION (\S+)", text).group(1)


class CMakeBuild(build_ext):
    """Configures a CMake tree of its own under the build folder and builds only the module."""

    def build_extension(self, ext):
        tree = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(tree), "-DCMAKE_BUILD_TYPE=Release",
                        "-DBUILD_TESTING=OFF", "-DVARNEL_PYTHON=ON", f"-DPython_EXECUTABLE={sys.executable}"],
                       check=True, stdout=subprocess.DEVNULL)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(tree), "--target", "varnel_python", "--parallel", jobs], check=True)
        built = next((tree / "python" / "varnel").glob("_varnel*.so"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(version=project_version(),
      ext_modules=[Extension("varnel._varnel", sources=[])],
      cmdclass={"build_ext": CMakeBuild},
      options={"build": {"build_base": "build/python-package"}})
