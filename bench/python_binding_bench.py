#!/usr/bin/env python3
"""Records per second through the Python package against the library alone,
by records per block.

Starts tandrel-sim with two data logs of 50,000 records of 8 columns (24
words a record; the transfer counts records in 16 bits, so one log holds at
most 65,535) and reads both, 100,000 records per pass, in four ways:

  C export       tandrel_export_datalog_ex to /dev/null, no callback at all
  ctypes         tandrel_read_datalog with an empty ctypes callback
  iterator       for record in meter.datalog(file)
  DataFrame      meter.datalog_frame(file)

for each number of records the meter hands out per block, one simulator each.
A block costs three requests besides the reads of its records (120 registers
at most each), so small blocks cost more round trips per record; a block
holds at most 2376 words (the registers from 0xF6B8 to the last), 99 records
of 24 words. Every pass goes through all block sizes and ways in turn, so a
change in the machine's load falls on every column alike.

Prints the machine and its load average, then records per second of wall
time and per second of this process's CPU time (both threads and the
library; the simulators are other processes), best of --passes, as Markdown
tables. Run from the top of the tree:

  /usr/bin/python3 bench/python_binding_bench.py [--build build] [--passes 5]
                                                 [--per-block 10,25,50,99]
"""

import argparse
import ctypes
import json
import os
import subprocess
import sys
import tempfile
import time

from machine_text import load_average, machine

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RECORDS_PER_LOG = 50_000
FILES = (1, 2)
POINTS = [4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359]
WAYS = {"C export": "C export to /dev/null, no callback",
        "ctypes": "`tandrel_read_datalog`, empty ctypes callback",
        "iterator": "`for record in meter.datalog(f)`",
        "DataFrame": "`meter.datalog_frame(f)`"}


def scenario(per_block):
    log = {"points": POINTS, "records": RECORDS_PER_LOG, "first_time": 1700000000,
           "interval_s": 60, "records_per_block": per_block}
    return {"model": "em235", "deterministic": True, "default_logs": False,
            "datalogs": [dict(log, file=f) for f in FILES]}


def start_simulator(sim, path):
    process = subprocess.Popen([sim, "--port", "0", "--scenario", path],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    first = process.stdout.readline()
    if " on " not in first:
        process.wait()
        sys.exit(process.stderr.read().strip() or "tandrel-sim did not start")
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

    return dict(zip(WAYS, (c_export, plain_ctypes, iterator, frame)))


def start_simulators(sim_program, sizes, folder):
    """{records per block: (process, port)}, one simulator each."""
    started = {}
    for n in sizes:
        path = os.path.join(folder, f"{n}.json")
        with open(path, "w") as f:
            json.dump(scenario(n), f)
        started[n] = start_simulator(sim_program, path)
    return started


def stop_simulator(process):
    """The requests it answered ("tandrel-sim: stopped after N requests on M connections")."""
    process.terminate()
    said, _ = process.communicate()
    return int(said.split(" stopped after ")[1].split()[0])


def measure(tandrel, sim_program, sizes, passes):
    """{records per block: ({way: (best wall s, best CPU s)}, requests per record)}.
    Each pass goes through every block size and way in turn, so that a
    change in the machine's load falls on all of them alike."""
    total = RECORDS_PER_LOG * len(FILES)
    best: dict = {n: {} for n in sizes}
    with tempfile.TemporaryDirectory() as folder:
        sims = start_simulators(sim_program, sizes, folder)
        try:
            for _ in range(passes):
                for n, (_, port) in sims.items():
                    for name, run in ways(tandrel, tandrel.Meter("127.0.0.1", port=port)).items():
                        records, wall, cpu = timed(run)
                        assert records == total, (n, name, records)
                        old = best[n].get(name, (wall, cpu))
                        best[n][name] = (min(old[0], wall), min(old[1], cpu))
        finally:
            requests = {n: stop_simulator(process) for n, (process, _) in sims.items()}
    return {n: (best[n], requests[n] / (passes * len(WAYS) * total)) for n in sizes}


def table(title, sizes, results, column):
    total = RECORDS_PER_LOG * len(FILES)
    print(f"\n{title}\n")
    print("| records per block | " + " | ".join(str(n) for n in sizes) + " |")
    print("|---|" + "---:|" * len(sizes))
    print("| requests per record | " + " | ".join(f"{results[n][1]:.2f}" for n in sizes) + " |")
    for name, label in WAYS.items():
        cells = [f"{total / results[n][0][name][column]:,.0f}" for n in sizes]
        print(f"| {label} | " + " | ".join(cells) + " |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--passes", type=int, default=5)
    parser.add_argument("--per-block", default="10,25,50,99",
                        help="records per block, comma-separated (at most 99)")
    args = parser.parse_args()
    sizes = [int(n) for n in args.per_block.split(",")]
    os.environ.setdefault("TANDREL_LIBRARY", os.path.join(args.build, "src", "libtandrel.so.1"))
    sys.path.insert(0, os.path.join(ROOT, "bindings", "python", "src"))
    import tandrel

    sim_program = os.path.join(args.build, "tools", "sim", "tandrel-sim")
    started = time.strftime("%Y-%m-%d %H:%M")
    load_before = load_average()
    results = measure(tandrel, sim_program, sizes, args.passes)
    print(f"Measured {started} on {machine()} (load average {load_before} at start, "
          f"{load_average()} at the end) with `/usr/bin/python3 bench/python_binding_bench.py "
          f"--passes {args.passes} --per-block {args.per_block}`: "
          f"{RECORDS_PER_LOG * len(FILES):,} records of 8 columns a pass, best of {args.passes}.")
    table("Records per second, wall time:", sizes, results, 0)
    table("Records per second of this process's CPU time (the simulator is another process):",
          sizes, results, 1)


if __name__ == "__main__":
    main()
