#!/usr/bin/env python3
"""Records per second through the Python package against the library alone.

Starts tandrel-sim with two data logs of 50,000 records each (the transfer
counts records in 16 bits, so one log holds at most 65,535) and reads both,
100,000 records per pass, in four ways:

  C export       tandrel_export_datalog_ex to /dev/null, no callback at all
  ctypes         tandrel_read_datalog with an empty ctypes callback
  iterator       for record in meter.datalog(file)
  DataFrame      meter.datalog_frame(file)

Prints records per second of wall time and per second of this process's CPU
time (both threads and the library; the simulator is another process), best
of --passes. Run from the top of a build:

  /usr/bin/python3 bench/python_binding_bench.py [--build build] [--passes 5]
"""

import argparse
import ctypes
import json
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RECORDS_PER_LOG = 50_000
FILES = (1, 2)
POINTS = [4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359]


def scenario():
    log = {"points": POINTS, "records": RECORDS_PER_LOG, "first_time": 1700000000,
           "interval_s": 60, "records_per_block": 100}
    return {"model": "em235", "deterministic": True, "default_logs": False,
            "datalogs": [dict(log, file=f) for f in FILES]}


def start_simulator(sim, path):
    process = subprocess.Popen([sim, "--port", "0", "--scenario", path],
                               stdout=subprocess.PIPE, text=True)
    first = process.stdout.readline()
    return process, int(first.split(" on ")[1].split()[0].rsplit(":", 1)[1])


def timed(run):
    wall, cpu = time.perf_counter(), time.process_time()
    records = run()
    return records, time.perf_counter() - wall, time.process_time() - cpu


def ways(tandrel, meter):
    lib = tandrel._native.library()
    options = json.dumps({"port": meter.port}).encode()
    err = ctypes.create_string_buffer(256)
    empty = tandrel._native.OUTPUT_CB(lambda text, user: 0)
    no_progress = tandrel._native.PROGRESS_CB()

    def c_export():
        return sum(lib.tandrel_export_datalog_ex(b"127.0.0.1", b"em235", f, os.devnull.encode(),
                                                 options, no_progress, None, err, len(err))
                   for f in FILES)

    def plain_ctypes():
        return sum(lib.tandrel_read_datalog(b"127.0.0.1", b"em235", f, options, empty, None,
                                            err, len(err)) for f in FILES)

    def iterator():
        return sum(sum(1 for _ in meter.datalog(f)) for f in FILES)

    def frame():
        return sum(len(meter.datalog_frame(f)) for f in FILES)

    return [("C export", c_export), ("ctypes", plain_ctypes), ("iterator", iterator),
            ("DataFrame", frame)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--passes", type=int, default=5)
    args = parser.parse_args()
    os.environ.setdefault("TANDREL_LIBRARY", os.path.join(args.build, "src", "libtandrel.so.1"))
    sys.path.insert(0, os.path.join(ROOT, "bindings", "python", "src"))
    import tandrel

    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as f:
        json.dump(scenario(), f)
    sim, port = start_simulator(os.path.join(args.build, "tools", "sim", "tandrel-sim"), f.name)
    try:
        meter = tandrel.Meter("127.0.0.1", port=port)
        best = {}
        for _ in range(args.passes):
            for name, run in ways(tandrel, meter):
                records, wall, cpu = timed(run)
                assert records == RECORDS_PER_LOG * len(FILES), (name, records)
                old = best.get(name, (wall, cpu))
                best[name] = (min(old[0], wall), min(old[1], cpu))
    finally:
        sim.terminate()
        sim.wait()
        os.unlink(f.name)
    total = RECORDS_PER_LOG * len(FILES)
    print(f"{total} records a pass, best of {args.passes} passes")
    print(f"{'way':<10} {'records/s (wall)':>17} {'records/s (CPU)':>16} {'wall vs C':>10}")
    base = best["C export"][0]
    for name, (wall, cpu) in best.items():
        print(f"{name:<10} {total / wall:>17,.0f} {total / cpu:>16,.0f} {wall / base:>9.2f}x")


if __name__ == "__main__":
    main()
