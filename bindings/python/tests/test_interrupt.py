# Ctrl-C during a transfer, with a real SIGINT to a Python process reading a
# slowed meter: the library stops and closes its connection, then
# KeyboardInterrupt goes past `except TandrelError` and ends the process as
# any Python program's Ctrl-C does, and ctypes prints nothing.
import signal
import subprocess
import sys

import pytest

# The process reads data log 1 from the simulator at argv[1], says "running"
# at the first record, and holds on after the interrupt until told to go on.
CHILD = """
import os, sys, tandrel
meter = tandrel.Meter(sys.argv[1])
def first(done):
    if done == 1:
        print("running", flush=True)
try:
    try:
        {read}
    except tandrel.TandrelError as exc:
        print("swallowed", type(exc).__name__, flush=True)
except KeyboardInterrupt:
    print("interrupted", flush=True)
    sys.stdin.readline()
    raise
"""
READS = {
    # The library's call runs on this thread, which takes the signal.
    "export": "meter.export_datalog(1, os.devnull, lambda done, total: first(done))",
    # The library's call runs on a thread of the iterator's; this one waits for records.
    "iterator": "for record in meter.datalog(1): first(record.no)",
}


def client_connections(port):
    """Established connections to the simulator's port (the client's side)."""
    with open("/proc/net/tcp") as table:
        rows = [line.split() for line in table.readlines()[1:]]
    return sum(1 for row in rows if row[2].endswith(f":{int(port):04X}") and row[3] == "01")


@pytest.mark.parametrize("read", sorted(READS))
def test_ctrl_c_stops_the_library_then_raises_keyboard_interrupt(start_sim, read):
    # Every block is slowed: the whole log takes over 800 requests and seconds.
    sim = start_sim(scenario="slow_log")
    child = subprocess.Popen([sys.executable, "-c", CHILD.format(read=READS[read]), sim.endpoint],
                             stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "running\n"
        child.send_signal(signal.SIGINT)
        assert child.stdout.readline() == "interrupted\n"
        # The process lives on: what stopped the requests is the library.
        requests = sim.settled_count()
        assert client_connections(sim.port) == 0
        out, err = child.communicate("\n", timeout=60)
    finally:
        child.kill()
    assert (child.returncode, out) == (-signal.SIGINT, "")
    assert err.rstrip().endswith("\nKeyboardInterrupt"), err
    assert "Exception ignored" not in err
    assert 0 < requests < 400
