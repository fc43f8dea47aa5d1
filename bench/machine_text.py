"""The machine a benchmark ran on, and how busy it was, for its report.
Run as a program, prints the line that opens a section of a benchmark that
prints its table alone (scripts/bench.sh): `machine_text.py start` before it,
`machine_text.py end` after it."""
import os
import platform
import sys
import time


def machine():
    """CPU model, cores and kernel."""
    model = ""
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%s, %d cores, Linux %s" % (model, os.cpu_count(), platform.release())


def load_average():
    """The 1, 5 and 15 minute load averages: other work on the machine slows the figures."""
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


if __name__ == "__main__":
    if sys.argv[1:] == ["start"]:
        print("Measured %s on %s (load average %s at the start)." % (
            time.strftime("%Y-%m-%d %H:%M"), machine(), load_average()))
        print()
    else:
        print()
        print("Load average at the end: %s." % load_average())
