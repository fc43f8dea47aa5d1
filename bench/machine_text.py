"""The machine a benchmark ran on, and how busy it was, for its report."""
import os
import platform


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
