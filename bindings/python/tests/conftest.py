"""Simulated meters for the tests: tandrel-sim processes on free loopback
ports, with their request traces. CTest sets TANDREL_SIM, TANDREL_LIBRARY and
PYTHONPATH (see bindings/python/CMakeLists.txt)."""

import os
import pathlib
import random
import re
import subprocess
import threading
import time

import pytest

import tandrel

SIM = os.environ.get("TANDREL_SIM", "")
DATA = pathlib.Path(__file__).parent / "data"


class Sim:
    """A running tandrel-sim. `lines` collects its trace, one line a request."""

    def __init__(self, *args, address="127.0.0.1", port=0):
        self.process = subprocess.Popen(
            [SIM, "--address", address, "--port", str(port), "--trace", *args],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        first = self.process.stdout.readline()
        listening = re.search(r"listening on ([\d.]+):(\d+)", first)
        if not listening:
            message = self.process.stderr.read().strip() or first
            self.process.wait()
            raise OSError(f"tandrel-sim did not start: {message}")
        self.address, self.port = listening[1], int(listening[2])
        self.lines = []
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append(line)

    @property
    def endpoint(self):
        return f"{self.address}:{self.port}"

    def meter(self, model="em235", **options):
        return tandrel.Meter(self.endpoint, model=model, **options)

    def settled_count(self, quiet=0.3, limit=20.0):
        """The number of requests once none has come for `quiet` seconds."""
        end = time.monotonic() + limit
        count = -1
        while count != len(self.lines) and time.monotonic() < end:
            count = len(self.lines)
            time.sleep(quiet)
        return count

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        self._reader.join(timeout=10)
        self.process.stdout.close()
        self.process.stderr.close()


def spare_loopback_address():
    """An address in 127.0.0.0/8 other than 127.0.0.1, for meters on port 502."""
    return "127.%d.%d.%d" % (random.randint(1, 254), random.randint(0, 255),
                             random.randint(1, 254))


@pytest.fixture(scope="session")
def sim():
    """The deterministic em235 most tests read."""
    started = Sim("--deterministic")
    yield started
    started.stop()


@pytest.fixture
def start_sim():
    """Starts simulators for one test: start_sim("--model", "em133", ...)
    or start_sim(scenario="name") for tests/data/name.json."""
    started = []

    def start(*args, scenario=None, **where):
        if scenario is not None:
            args = (*args, "--scenario", str(DATA / f"{scenario}.json"))
        started.append(Sim(*args, **where))
        return started[-1]

    yield start
    for one in started:
        one.stop()


@pytest.fixture
def sim_on_502(start_sim):
    """Starts a simulator on port 502 of a spare loopback address."""
    def start(*args, scenario=None):
        try:
            return start_sim(*args, scenario=scenario, address=spare_loopback_address(), port=502)
        except OSError as exc:
            pytest.skip(f"cannot listen on port 502: {exc}")
    return start
