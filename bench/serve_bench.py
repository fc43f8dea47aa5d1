#!/usr/bin/env python3
"""`tandrel serve` polling a large site of simulated meters that answer every
request after a fixed delay: whether every meter is polled at every interval,
the service's CPU time per meter poll, and its share of one core.

    serve_bench.py --tandrel PATH --sim PATH [--meters 1000] [--sims 10]
                   [--delay-ms 5] [--every 10] [--seconds 60] [--per-host 4]

The meters are unit ids 1..N of `--sims` tandrel-sim processes (each answers
every unit id); the CPU counted is the service's process alone, read from
/proc, over `--seconds` after every meter has answered once.
"""
import argparse
import datetime
import os
import re
import signal
import subprocess
import tempfile
import time
import urllib.request

from machine_text import load_average, machine


def start_sims(program, work, count, delay_ms):
    scenario = os.path.join(work, "meter.json")
    with open(scenario, "w") as f:
        f.write('{"model": "em235", "default_logs": false, "faults": [{"action": "delay", '
                '"delay_ms": %d, "once": false}]}' % delay_ms)
    processes, ports = [], []
    for _ in range(count):
        process = subprocess.Popen([program, "--port", "0", "--scenario", scenario],
                                   stdout=subprocess.PIPE, text=True)
        processes.append(process)
        ports.append(int(re.search(r":(\d+) ", process.stdout.readline())[1]))
    return processes, ports


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def totals(port):
    """Sum of polls, failures and skipped intervals, meters up, and the seconds a scrape took."""
    start = time.monotonic()
    with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=60) as r:
        text = r.read().decode()
    scrape = time.monotonic() - start
    sums = {}
    for name in ("polls_total", "poll_failures_total", "polls_skipped_total", "up"):
        sums[name] = sum(float(v) for v in re.findall(r"^tandrel_meter_%s\{.*\} (\S+)$" % name,
                                                      text, re.M))
    sums["rss"] = float(re.search(r"^process_resident_memory_bytes (\S+)$", text, re.M)[1])
    return sums, scrape, len(text)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tandrel", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--meters", type=int, default=1000)
    parser.add_argument("--sims", type=int, default=10)
    parser.add_argument("--delay-ms", type=int, default=5)
    parser.add_argument("--every", type=float, default=10)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--per-host", type=int, default=4)
    parser.add_argument("--workers", type=int, default=8)
    args = parser.parse_args()

    started = datetime.datetime.now().strftime("%Y-%m-%d %H:%M")
    about = "%s (load average at start %s)" % (machine(), load_average())
    with tempfile.TemporaryDirectory() as work:
        sims, ports = start_sims(args.sim, work, args.sims, args.delay_ms)
        site = os.path.join(work, "site.txt")
        with open(site, "w") as f:
            for i in range(args.meters):
                f.write("127.0.0.1:%d em235 %d\n" % (ports[i % len(ports)], 1 + i // len(ports)))
        log = open(os.path.join(work, "log.txt"), "w+")
        serve = subprocess.Popen([args.tandrel, "serve", site, "--listen", "127.0.0.1:0",
                                  "--live-every", str(args.every), "--per-host",
                                  str(args.per_host), "--workers", str(args.workers)], stderr=log)
        try:
            port = None
            while port is None:
                time.sleep(0.5)
                with open(log.name) as f:
                    found = re.search(r"http://127\.0\.0\.1:(\d+)/", f.read())
                port = found and int(found[1])
            while totals(port)[0]["up"] < args.meters:
                time.sleep(1)
            # The window runs from one scrape's counts to the next's; the CPU of
            # the first scrape, inside it, is measured and taken out.
            cpu0, t0 = cpu_seconds(serve.pid), time.monotonic()
            first, _, _ = totals(port)
            scrape_cpu = cpu_seconds(serve.pid) - cpu0
            time.sleep(args.seconds)
            cpu1, wall = cpu_seconds(serve.pid), time.monotonic() - t0
            last, scrape, size = totals(port)
        finally:
            serve.send_signal(signal.SIGTERM)
            serve.wait(30)
            for sim in sims:
                sim.terminate()
                sim.wait(30)
    polls = last["polls_total"] - first["polls_total"]
    cpu = cpu1 - cpu0 - scrape_cpu
    print("Measured %s on %s with bench/serve_bench.py: %d meters, unit ids of %d "
          "tandrel-sim processes each answering every request after %d ms, polled every %g s "
          "(--per-host %d, --workers %d) for %.0f s after all answered once. CPU is the service's "
          "process alone, without the scrapes; a scrape took %.2f s of CPU.\n" % (
              started, about, args.meters, args.sims, args.delay_ms, args.every, args.per_host,
              args.workers, wall, scrape_cpu))
    print("| meters | polls | expected | failures | skipped | CPU s | CPU us per poll | "
          "share of a core | one /metrics scrape | resident memory |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    print("| %d | %d | %d | %d | %d | %.2f | %.0f | %.3f | %.2f s, %.1f MB | %.0f MB |" % (
        args.meters, polls, args.meters * int(wall / args.every),
        last["poll_failures_total"] - first["poll_failures_total"],
        last["polls_skipped_total"] - first["polls_skipped_total"], cpu,
        cpu / polls * 1e6 if polls else 0, cpu / wall, scrape, size / 1e6, last["rss"] / 1e6))


if __name__ == "__main__":
    main()
