# The package in its host process: where the library comes from, the
# installed package, and calls from many threads at once.
import ctypes.util
import glob
import os
import pathlib
import subprocess
import sys
import time

import pytest

import tandrel

sys.path.insert(0, str(pathlib.Path(__file__).parents[1] / "examples"))
from read_many import read_all  # noqa: E402

BUILT = os.environ.get("TANDREL_LIBRARY", "")
SOURCE_PACKAGE = os.path.dirname(os.path.realpath(tandrel.__file__))


# `code` in a fresh interpreter, without the test run's library settings.
def run_python(code, cwd, **env):
    clean = {k: v for k, v in os.environ.items()
             if k not in ("TANDREL_LIBRARY", "LD_LIBRARY_PATH", "PYTHONPATH")}
    return subprocess.run([sys.executable, "-c", code], env={**clean, **env}, cwd=cwd,
                          capture_output=True, text=True, timeout=60)


@pytest.mark.parametrize("env, printed, error", [
    ({"TANDREL_LIBRARY": "/nonexistent/libtandrel.so.1"}, "",
     "OSError: Cannot load the tandrel library; tried "
     "TANDREL_LIBRARY=/nonexistent/libtandrel.so.1: no such file"),
    ({"TANDREL_LIBRARY": BUILT}, f"{BUILT} 1.2.1", ""),
    ({"LD_LIBRARY_PATH": os.path.dirname(BUILT)}, "libtandrel.so.1 1.2.1", ""),
    ({}, "", "OSError: Cannot load the tandrel library; tried the copy in the package "
     f"({SOURCE_PACKAGE}/libtandrel.so.1): no such file; the system's libtandrel.so.1: "
     "libtandrel.so.1: cannot open shared object file: No such file or directory"),
])
def test_library_search_order(tmp_path, env, printed, error):
    if not env and ctypes.util.find_library("tandrel"):
        pytest.skip("a system copy of the library is installed")
    result = run_python("import tandrel; print(tandrel.library_path(), tandrel.version())",
                        tmp_path, PYTHONPATH=os.path.dirname(SOURCE_PACKAGE), **env)
    assert result.stdout.strip() == printed
    assert (result.stderr.strip().splitlines() or [""])[-1] == error


def test_cmake_install_gives_a_package_with_its_own_library(sim, tmp_path):
    build = os.environ.get("TANDREL_BUILD_DIR")
    if not build:
        pytest.skip("TANDREL_BUILD_DIR names the build to install (CTest sets it)")
    subprocess.run([os.environ.get("TANDREL_CMAKE", "cmake"), "--install", build, "--prefix",
                    str(tmp_path), "--component", "python"], check=True, capture_output=True)
    [site] = glob.glob(str(tmp_path / "lib" / "python3*" / "*-packages"))
    code = (f"import tandrel; print(tandrel.library_path()); "
            f"print(tandrel.Meter('{sim.endpoint}').device_info()['serial'])")
    result = run_python(code, tmp_path, PYTHONPATH=site)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == [f"{site}/tandrel/libtandrel.so.1", "23501178"]


def test_eight_meters_from_eight_threads_take_the_time_of_one(start_sim):
    # 250 ms in each read of the identification block, one per call.
    meters = [start_sim(scenario="slow_identity").meter()] * 8
    started = time.perf_counter()
    one_by_one = [meter.device_info() for meter in meters]
    sequential = time.perf_counter() - started
    started = time.perf_counter()
    side_by_side = read_all(meters, tandrel.Meter.device_info)
    parallel = time.perf_counter() - started
    assert side_by_side == one_by_one
    assert parallel < sequential / 3, f"8 threads {parallel:.2f} s, one by one {sequential:.2f} s"
