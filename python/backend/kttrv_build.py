"""The build backend of `pip install .` (PEP 517): CMake builds the module
and installs the package into a staging folder; the wheel is zipped from it
with libZiRida and the system-variable list beside the module. It uses the
standard library only, so pip's isolated build needs nothing downloaded.

Settings (pip --config-settings key=value, or the environment):
  build-dir  (KTTRV_BUILD_DIR)   an existing or new CMake build tree; default
                                 build/pip in the source tree
  build-type (KTTRV_BUILD_TYPE)  CMAKE_BUILD_TYPE of a new tree (Release)
  jobs       (KTTRV_BUILD_JOBS)  parallel build jobs (2)
"""

import base64
import hashlib
import os
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import zipfile

NAME = "kttrv"
VERSION = "0.1.0"
SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def _setting(config_settings, key, env, default):
    value = (config_settings or {}).get(key) or os.environ.get(env)
    return value if value else default


def _run(*command):
    print("kttrv:", " ".join(command), flush=True)
    subprocess.run(command, check=True)


def _tag():
    interpreter = f"cp{sys.version_info.major}{sys.version_info.minor}"
    abi = interpreter + getattr(sys, "abiflags", "")
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{interpreter}-{abi}-{platform}"


def _metadata():
    with open(os.path.join(SOURCE, "docs", "PYTHON.md"), encoding="utf-8") as f:
        readme = f.read()
    return (f"Metadata-Version: 2.1\nName: {NAME}\nVersion: {VERSION}\n"
            "Summary: Read, query, extract, draw and write TORV drawings (.trv)\n"
            "Requires-Python: >=3.8\nRequires-Dist: numpy\n"
            "Provides-Extra: pandas\nRequires-Dist: pandas; extra == \"pandas\"\n"
            "Description-Content-Type: text/markdown\n\n" + readme)


def _wheel_file():
    return f"Wheel-Version: 1.0\nGenerator: kttrv_build\nRoot-Is-Purelib: false\nTag: {_tag()}\n"


def _dist_info():
    return f"{NAME}-{VERSION}.dist-info"


def _built_package(config_settings):
    """The package folder as cmake --install leaves it, completed for a wheel."""
    build = os.path.abspath(_setting(config_settings, "build-dir", "KTTRV_BUILD_DIR",
                                     os.path.join(SOURCE, "build", "pip")))
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        build_type = _setting(config_settings, "build-type", "KTTRV_BUILD_TYPE", "Release")
        _run("cmake", "-S", SOURCE, "-B", build, "-G", "Ninja", f"-DCMAKE_BUILD_TYPE={build_type}",
             "-DKTTRV_BUILD_TESTS=OFF", "-DKTTRV_BUILD_TOOLS=OFF", "-DKTTRV_BUILD_PYTHON=ON",
             f"-DPython_EXECUTABLE={sys.executable}")
    jobs = _setting(config_settings, "jobs", "KTTRV_BUILD_JOBS", "2")
    _run("cmake", "--build", build, "--target", "_kttrv", "ZiRida", "-j", str(jobs))
    stage = tempfile.mkdtemp(prefix="kttrv-stage-")
    _run("cmake", "--install", build, "--prefix", stage, "--component", "python")
    found = [root for root, dirs, files in os.walk(stage) if os.path.basename(root) == NAME and "__init__.py" in files]
    if len(found) != 1:
        raise RuntimeError(f"cmake --install left no single package folder in {stage}")
    package = found[0]
    # A wheel holds what the package needs beside it: the kernel library
    # (the module's RPATH looks in its own folder first) and the list file.
    zirida = None
    for root, dirs, files in os.walk(os.path.join(build, "host")):
        if "libZiRida.so.0" in files:
            zirida = os.path.join(root, "libZiRida.so.0")
    if zirida is None:
        raise RuntimeError(f"no libZiRida.so.0 in {build}")
    shutil.copyfile(zirida, os.path.join(package, "libZiRida.so.0"))
    shutil.copyfile(os.path.join(SOURCE, "data", "torv_sys.txt"), os.path.join(package, "torv_sys.txt"))
    os.remove(os.path.join(package, "_install.py"))  # the prefix layout's, not a wheel's
    return stage, package


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


# The hooks.

def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    folder = os.path.join(metadata_directory, _dist_info())
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "METADATA"), "w", encoding="utf-8") as f:
        f.write(_metadata())
    with open(os.path.join(folder, "WHEEL"), "w", encoding="utf-8") as f:
        f.write(_wheel_file())
    return _dist_info()


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    stage, package = _built_package(config_settings)
    try:
        name = f"{NAME}-{VERSION}-{_tag()}.whl"
        records = []
        with zipfile.ZipFile(os.path.join(wheel_directory, name), "w", zipfile.ZIP_DEFLATED) as wheel:
            def add(arcname, data, mode=0o644):
                info = zipfile.ZipInfo(arcname, date_time=(2020, 1, 1, 0, 0, 0))
                info.external_attr = (0o100000 | mode) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                wheel.writestr(info, data)
                records.append(_record_line(arcname, data))

            for entry in sorted(os.listdir(package)):
                path = os.path.join(package, entry)
                if not os.path.isfile(path) or entry.endswith(".pyc"):
                    continue
                with open(path, "rb") as f:
                    data = f.read()
                add(f"{NAME}/{entry}", data, 0o755 if entry.endswith(".so") or ".so." in entry else 0o644)
            add(f"{_dist_info()}/METADATA", _metadata().encode())
            add(f"{_dist_info()}/WHEEL", _wheel_file().encode())
            record = f"{_dist_info()}/RECORD"
            wheel.writestr(record, "\n".join(records + [f"{record},,"]) + "\n")
        return name
    finally:
        shutil.rmtree(stage, ignore_errors=True)


def build_sdist(sdist_directory, config_settings=None):
    """The source tree without its build trees and version control."""
    base = f"{NAME}-{VERSION}"
    name = f"{base}.tar.gz"
    skipped = {".git", "build", "__pycache__"}

    def keep(info):
        parts = info.name.split("/")
        return None if any(p in skipped for p in parts[1:]) else info

    with tarfile.open(os.path.join(sdist_directory, name), "w:gz") as sdist:
        sdist.add(SOURCE, arcname=base, filter=keep)
    return name
