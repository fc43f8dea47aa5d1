#!/usr/bin/env python3
"""`tandrel collect` against a site of simulated meters that answer every
request after a fixed delay: the wall time with --jobs 1 and more, the
speed-up next to the ideal, and the tool's own CPU time per record.

    collect_bench.py --tandrel PATH --sim PATH [--meters 32] [--delay-ms 5]
                     [--records 1000] [--jobs 1,8,32]

`--sim` is the simulator program (tandrel-sim), started once per meter with a
scenario that delays every answer; the CPU time counted is the tool's process
alone. With the delay dominating, every meter costs about the same
wall time, so N jobs should come close to N times faster while there are at
least N meters. One run per job count, as the other benchmarks report ratios
from one run.
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
    scenario = os.path.join(work, "meter.json")
    with open(scenario, "w") as f:
        json.dump({"model": "em235", "deterministic": True, "default_logs": False,
                   "datalogs": [{"file": 1, "points": [4352, 4353, 4354, 5120],
                                 "records": records}],
                   "faults": [{"action": "delay", "delay_ms": delay_ms, "once": False}]}, f)
    processes, ports = [], []
    for _ in range(count):
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


def collect(tandrel, site, jobs):
    """Wall seconds, CPU seconds of the tool and records read by one run."""
    with tempfile.TemporaryDirectory() as out:
        cpu_before, start = children_cpu_s(), time.monotonic()
        result = subprocess.run([tandrel, "collect", site, "--out", out, "--jobs", str(jobs),
                                 "--json"], capture_output=True, text=True)
        wall, cpu = time.monotonic() - start, children_cpu_s() - cpu_before
    if result.returncode != 0:
        raise SystemExit("collect --jobs %d failed:\n%s" % (jobs, result.stderr))
    meters = json.loads(result.stdout)["meters"]
    records = sum(f.get("records", 0) for m in meters for f in m["files"])
    return wall, cpu, records


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tandrel", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--meters", type=int, default=32)
    parser.add_argument("--delay-ms", type=int, default=5)
    parser.add_argument("--records", type=int, default=1000)
    parser.add_argument("--jobs", default="1,8,32")
    args = parser.parse_args()
    jobs = [int(n) for n in args.jobs.split(",")]

    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    about = "%s (load average at start %s)" % (machine(), load_average())
    with tempfile.TemporaryDirectory() as work:
        processes, ports = start_meters(args.sim, work, args.meters, args.delay_ms, args.records)
        try:
            site = os.path.join(work, "site.txt")
            with open(site, "w") as f:
                f.writelines("127.0.0.1:%d\n" % port for port in ports)
            runs = [(n, *collect(args.tandrel, site, n)) for n in jobs]
        finally:
            stop_meters(processes)

    print("Measured %s on %s with bench/collect_bench.py, as `bash scripts/bench.sh` runs it "
          "(Release): %d tandrel-sim processes, each answering every request after "
          "a delay of %d ms, each with one data log of %d records; one run per job count. Tool CPU is "
          "the tool's process alone.\n" % (started, about, args.meters, args.delay_ms,
                                             args.records))
    print("| --jobs | wall s | speed-up | ideal | tool CPU s | tool CPU us per record |")
    print("|---|---|---|---|---|---|")
    base = runs[0][1]
    for n, wall, cpu, records in runs:
        ideal = min(n, args.meters) / min(runs[0][0], args.meters)
        print("| %d | %.1f | %.1f | %.0f | %.2f | %.1f |" % (
            n, wall, base / wall, ideal, cpu, cpu / records * 1e6 if records else 0))


if __name__ == "__main__":
    main()
