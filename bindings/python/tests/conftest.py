# Simulated meters for the tests: tandrel-sim processes on loopback with their
# request traces, one line a request. CTest sets TANDREL_SIM, TANDREL_LIBRARY
# and PYTHONPATH (see bindings/python/CMakeLists.txt).
import os
import pathlib
import random
import re
import subprocess
import threading
import time

import pytest

import tandrel

DATA = pathlib.Path(__file__).parent / "data"


class Sim:
    def __init__(self, *args, scenario=None, on_502=False):
        address = "127.%d.%d.%d" % tuple(random.randint(1, 254) for _ in range(3))
        where = ["--address", address, "--port", "502"] if on_502 else ["--port", "0"]
        if scenario:
            args = (*args, "--scenario", str(DATA / f"{scenario}.json"))
        self.process = subprocess.Popen([os.environ["TANDREL_SIM"], "--trace", *where, *args],
                                        stdout=subprocess.PIPE, text=True)
        first = self.process.stdout.readline()
        self.address, self.port = re.search(r"on ([\d.]+):(\d+) ", first).groups()
        self.endpoint = f"{self.address}:{self.port}"
        self.lines = []
        # extend() appends each line as it arrives.
        self.reader = threading.Thread(target=lambda: self.lines.extend(self.process.stdout))
        self.reader.start()

    # The tests know the simulated model, and many count the requests of one
    # call: their Meter skips the identity read unless told otherwise.
    def meter(self, model="em235", force_model=True, **options):
        return tandrel.Meter(self.endpoint, model=model, force_model=force_model, **options)

    # The number of requests once none has come for `quiet` seconds.
    def settled_count(self, quiet=0.3):
        count = -1
        while count != len(self.lines):
            count = len(self.lines)
            time.sleep(quiet)
        return count

    def trace(self):
        self.settled_count(quiet=0.1)
        return "".join(self.lines)

    def stop(self):
        self.process.terminate()
        self.reader.join()
        self.process.wait()


# The deterministic em235 most tests read.
@pytest.fixture(scope="session")
def sim():
    started = Sim("--deterministic")
    yield started
    started.stop()


# start_sim("--model", "em133", ...), start_sim(scenario="name") for data/name.json,
# on_502=True for port 502 of a spare loopback address.
@pytest.fixture
def start_sim():
    started = []
    yield lambda *args, **how: started.append(Sim(*args, **how)) or started[-1]
    for one in started:
        one.stop()
