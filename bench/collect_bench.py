#!/usr/bin/env python3
"""`tandrel collect` against a site of simulated meters that answer every
request after a fixed delay: the wall time with --jobs 1 and more, the
speed-up next to the ideal, and the tool's own CPU time per record.

    collect_bench.py --tandrel PATH --sim PATH [--meters 32] [--delay-ms 5]
                     [--records 1000] [--jobs 1,8,32] [--store-jobs 8]

`--sim` is the simulator program (tandrel-sim), started once per meter with a
scenario that delays every answer; the CPU time counted is the tool's process
alone. With the delay dominating, every meter costs about the same
wall time, so N jobs should come close to N times faster while there are at
least N meters. One run per job count, as the other benchmarks report ratios
from one run.

Then the store: with --store-jobs, the same site into files (--out), into a
fresh SQLite store (--db) and again into that store, unchanged: what a second
run costs next to the transfers alone.
"""
import argparse
import datetime
import json
import os
import resource
import subprocess
import tempfile
import time

from machine_text import load_average, machine


def start_meters(program, work, count, delay_ms, records):
    processes, ports = [], []
    for number in range(count):
        # A serial of its own: a store knows a meter by model and serial.
        scenario = os.path.join(work, "meter%d.json" % number)
        with open(scenario, "w") as f:
            json.dump({"model": "em235", "deterministic": True, "default_logs": False,
                       "identity": {"serial": 23500001 + number, "model_id": 235},
                       "datalogs": [{"file": 1, "points": [4352, 4353, 4354, 5120],
                                     "records": records}],
                       "faults": [{"action": "delay", "delay_ms": delay_ms, "once": False}]}, f)
        process = subprocess.Popen([program, "--port", "0", "--scenario", scenario],
                                   stdout=subprocess.PIPE, text=True)
        processes.append(process)
        line = process.stdout.readline()
        if " listening on " not in line:
            stop_meters(processes)
            raise SystemExit("the simulated meters did not start: " + line)
        ports.append(int(line.split(" listening on ")[1].split()[0].rsplit(":", 1)[1]))
    return processes, ports


def stop_meters(processes):
    for process in processes:
        process.terminate()
    for process in processes:
        process.communicate(timeout=60)


def children_cpu_s():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def run_collect(tandrel, site, jobs, destination):
    """Wall seconds, CPU seconds of the tool and the summary of one run."""
    cpu_before, start = children_cpu_s(), time.monotonic()
    result = subprocess.run([tandrel, "collect", site, *destination, "--jobs", str(jobs),
                             "--json"], capture_output=True, text=True)
    wall, cpu = time.monotonic() - start, children_cpu_s() - cpu_before
    if result.returncode != 0:
        raise SystemExit("collect %s --jobs %d failed:\n%s" % (destination[0], jobs, result.stderr))
    return wall, cpu, json.loads(result.stdout)["meters"]


def collect(tandrel, site, jobs):
    """Wall seconds, CPU seconds of the tool and records read by one run."""
    with tempfile.TemporaryDirectory() as out:
        wall, cpu, meters = run_collect(tandrel, site, jobs, ["--out", out])
    records = sum(f.get("records", 0) for m in meters for f in m["files"])
    return wall, cpu, records


def store_runs(tandrel, site, jobs):
    """(name, wall, CPU, records new) for --out, a first and a second --db run."""
    runs = []
    with tempfile.TemporaryDirectory() as work:
        for name, destination in (("--out DIR", ["--out", work + "/out"]),
                                  ("--db, first run", ["--db", work + "/site.db"]),
                                  ("--db, second run", ["--db", work + "/site.db"])):
            wall, cpu, meters = run_collect(tandrel, site, jobs, destination)
            runs.append((name, wall, cpu, sum(m.get("new_records", 0) for m in meters)))
    return runs


def print_store_runs(runs, jobs):
    print("\nThe same site with --jobs %d into files, into a fresh SQLite store and again into "
          "that store, unchanged:\n" % jobs)
    print("| run | wall s | tool CPU s | new records | wall vs --out | CPU vs --out |")
    print("|---|---|---|---|---|---|")
    for name, wall, cpu, new in runs:
        print("| %s | %.2f | %.2f | %d | %.2f | %.2f |" % (
            name, wall, cpu, new, wall / runs[0][1], cpu / runs[0][2]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tandrel", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--meters", type=int, default=32)
    parser.add_argument("--delay-ms", type=int, default=5)
    parser.add_argument("--records", type=int, default=1000)
    parser.add_argument("--jobs", default="1,8,32")
    parser.add_argument("--store-jobs", type=int, default=8, help="0: no store runs")
    args = parser.parse_args()
    jobs = [int(n) for n in args.jobs.split(",") if n]

    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    about = "%s (load average at start %s)" % (machine(), load_average())
    with tempfile.TemporaryDirectory() as work:
        processes, ports = start_meters(args.sim, work, args.meters, args.delay_ms, args.records)
        try:
            site = os.path.join(work, "site.txt")
            with open(site, "w") as f:
                f.writelines("127.0.0.1:%d\n" % port for port in ports)
            runs = [(n, *collect(args.tandrel, site, n)) for n in jobs]
            stored = store_runs(args.tandrel, site, args.store_jobs) if args.store_jobs else []
        finally:
            stop_meters(processes)

    print("Measured %s on %s with bench/collect_bench.py, as `bash scripts/bench.sh` runs it "
          "(Release): %d tandrel-sim processes, each answering every request after "
          "a delay of %d ms, each with one data log of %d records; one run per job count. Tool CPU is "
          "the tool's process alone.\n" % (started, about, args.meters, args.delay_ms,
                                             args.records))
    if runs:
        print("| --jobs | wall s | speed-up | ideal | tool CPU s | tool CPU us per record |")
        print("|---|---|---|---|---|---|")
    for n, wall, cpu, records in runs:
        ideal = min(n, args.meters) / min(runs[0][0], args.meters)
        print("| %d | %.1f | %.1f | %.0f | %.2f | %.1f |" % (
            n, wall, runs[0][1] / wall, ideal, cpu, cpu / records * 1e6 if records else 0))
    if stored:
        print_store_runs(stored, args.store_jobs)


if __name__ == "__main__":
    main()
