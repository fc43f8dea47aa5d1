#!/usr/bin/env python3
# Drives the built `tandrel` against tandrel-sim processes on loopback:
#     cli_test.py --tandrel PATH --sim PATH --docs PATH --completion PATH [TestClass ...]
# Command lines with their exit status and exact output are data: data/cases.json,
# run by CasesTest, which reports a failure under the case's "name". A `{name}`
# in a case's text is the endpoint of a simulator serving data/name.json
# (`{name:port}`; `{name@502:address}` for one on port 502 of a spare loopback
# address), `{refused}` a port nobody listens on, `{dir}` a scratch directory,
# `{data}` the data folder; `@file` stands for a data file's text. The classes
# here cover what a table cannot: the pseudo-terminal (progress bar, Ctrl-C),
# completion in step with --help, and the documentation.
import argparse
import fcntl
import json
import os
import pty
import random
import re
import select
import struct
import subprocess
import sys
import tempfile
import termios
import time
import unittest
from datetime import datetime, timezone

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")
ARGS = None
# Nothing listens on port 1 of loopback.
SIMS = {"refused": argparse.Namespace(port="1", endpoint="127.0.0.1:1")}


def spare_address():
    return "127.%d.%d.%d" % tuple(random.randint(1, 254) for _ in "xyz")


class Sim:
    # `key` is a scenario's name, with "@502" for port 502 of a spare address;
    # `address` puts the simulator on a given address instead.
    def __init__(self, key, address=None):
        name, _, port = key.partition("@")
        if address:
            port = port or "502"
        address = address or (spare_address() if port else "127.0.0.1")
        self.process = subprocess.Popen([ARGS.sim, "--address", address, "--port", port or "0",
                                         "--scenario", os.path.join(DATA, name + ".json")],
                                        stdout=subprocess.PIPE, text=True)
        first = self.process.stdout.readline()
        self.address, self.port = re.search(r"on ([\d.]+):(\d+) ", first).groups()
        self.endpoint = f"{self.address}:{self.port}"

    def stop(self):
        self.process.terminate()
        self.process.communicate()


def sim(key):
    if key not in SIMS:
        SIMS[key] = Sim(key)
    return SIMS[key]


def expand(text, scratch):
    def one(m):
        key, _, part = m[1].partition(":")
        if key in ("dir", "data"):
            return scratch if key == "dir" else DATA
        return getattr(sim(key), part or "endpoint")
    if text.startswith("@"):
        with open(os.path.join(DATA, text[1:])) as f:
            text = f.read()
    return re.sub(r"\{([\w@]+(?::\w+)?)\}", one, text)


# Output with what changes from run to run replaced: times of this run,
# speeds and the time stamps in exported file names.
def masked(text):
    def stamp(m):
        then = datetime.strptime(m[0], "%Y-%m-%dT%H:%M:%S.%fZ").replace(tzinfo=timezone.utc)
        return "<now>" if abs(then.timestamp() - time.time()) < 3600 else m[0]
    text = re.sub(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z", stamp, text)
    text = re.sub(r"\d+\.\d rec/s", "<rate>", text)
    text = re.sub(r"\b\d+:\d\d\.\d\b", "<time>", text)
    text = re.sub(r'"seconds":\d+\.\d+', '"seconds":0', text)
    return re.sub(r"_\d{8}_\d{6}_\d{3}\.csv", "_<time>.csv", text)


def run(*args):
    return subprocess.run([ARGS.tandrel, *args], capture_output=True, text=True, timeout=60)


# Runs tandrel on a pseudo-terminal of `size` (rows, columns) when given,
# typing Ctrl-C once ctrl_c_when(output) holds; returns (exit code,
# everything it wrote).
def run_in_terminal(args, ctrl_c_when=None, size=None):
    pid, fd = pty.fork()
    if pid == 0:
        # NOFLSH: the terminal would discard the output queued when Ctrl-C comes.
        attrs = termios.tcgetattr(0)
        attrs[3] |= termios.NOFLSH
        termios.tcsetattr(0, termios.TCSANOW, attrs)
        if size:
            fcntl.ioctl(0, termios.TIOCSWINSZ, struct.pack("HHHH", *size, 0, 0))
        os.execv(ARGS.tandrel, [ARGS.tandrel, *args])
    output, typed = b"", False
    try:
        while select.select([fd], [], [], 60)[0]:
            try:
                chunk = os.read(fd, 65536)
            except OSError:  # EIO: the child closed the terminal
                break
            output += chunk
            if not chunk:
                break
            if ctrl_c_when and not typed and ctrl_c_when(output.decode(errors="replace")):
                os.write(fd, b"\x03")
                typed = True
        else:
            os.kill(pid, 9)
    finally:
        status = os.waitpid(pid, 0)[1]
        os.close(fd)
    return os.waitstatus_to_exitcode(status), output.decode(errors="replace").replace("^C", "")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def files_below(directory):
    return sorted(os.path.relpath(os.path.join(root, name), directory)
                  for root, _, names in os.walk(directory) for name in names)


class CasesTest(unittest.TestCase):
    def test_cases(self):
        with open(os.path.join(DATA, "cases.json")) as f:
            cases = json.load(f)
        names = [case.get("name") for case in cases]
        self.assertEqual([n for n in names if not n or names.count(n) > 1], [],
                         "every case needs a name of its own")
        with tempfile.TemporaryDirectory() as scratch:
            for case in cases:
                args = [expand(arg, scratch) for arg in case["args"]]
                with self.subTest(case["name"], command=" ".join(args)):
                    for path, text in case.get("write", {}).items():
                        with open(expand(path, scratch), "w") as f:
                            f.write(expand(text, scratch))
                    result = run(*args)
                    self.assertEqual(result.returncode, case.get("exit", 0), result.stderr)
                    for stream in ("stdout", "stderr"):
                        got = masked(getattr(result, stream))
                        if stream + "_end" in case:
                            tail = expand(case[stream + "_end"], scratch)
                            self.assertEqual(got[len(got) - len(tail):], tail)
                        else:
                            self.assertEqual(got, expand(case.get(stream, ""), scratch))
                    # A file's text, None for no such file, a list for what a folder holds.
                    for path, text in case.get("files", {}).items():
                        path = expand(path, scratch)
                        if text is None:
                            self.assertFalse(os.path.exists(path), path)
                        elif isinstance(text, list):
                            self.assertEqual(files_below(path),
                                             sorted(expand(name, scratch) for name in text))
                        else:
                            with open(path, newline="") as f:
                                self.assertEqual(f.read(), expand(text, scratch), path)


class TerminalTest(unittest.TestCase):
    # The folder asked for does not exist yet: the demo creates it.
    def test_demo_runs_every_step(self):
        with tempfile.TemporaryDirectory() as scratch:
            out = os.path.join(scratch, "new", "demo")
            code, output = run_in_terminal(["demo", "--out", out])
            self.assertEqual(code, 0, output)
            for step in ("info", "live", "logs", "datalog", "events"):
                self.assertRegex(output, r"\$ tandrel " + step + r" 127\.0\.0\.1:\d+")
            # The data log and the event log, each into the folder asked for.
            self.assertEqual(len(re.findall(r"Wrote \d+ records to " + re.escape(out), output)), 2)
            # No --meter: the steps read the em133 the identity names.
            result = run("demo", "--meter", "em133", "--out", out)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertRegex(result.stdout, r"Model name\s+EM133")
            self.assertEqual(re.findall(r"^(em\d+) at 127", result.stdout, re.M), ["em133"] * 3)

    # On a 24-line terminal a frame of 61 values keeps its heading on top: it
    # is drawn from the top left each time, in lines that do not wrap, and
    # says how many values it left out.
    def test_live_watch_fits_the_terminal_and_redraws_in_place(self):
        code, output = run_in_terminal(["live", sim("em235").endpoint, "--watch", "0.1"],
                                       ctrl_c_when=lambda out: out.count("\x1b[J") >= 2,
                                       size=(24, 80))
        self.assertEqual(code, 130, output)
        frames = [f.split("\x1b[J")[0] for f in output.split("\x1b[H")[1:] if "\x1b[J" in f]
        self.assertGreaterEqual(len(frames), 2)
        for frame in frames:
            lines = frame.split("\x1b[K\r\n")[:-1]
            self.assertLessEqual(len(lines), 23, frame)
            self.assertRegex(lines[0], r"^em235 at 127\.0\.0\.1, \d{4}-")
            self.assertLess(max(len(line) for line in lines), 80, frame)
            left_out = int(re.fullmatch(r"\.\.\. (\d+) more not shown: .*", lines[-1])[1])
            values = re.findall(r"(?<!\S)-?\d+\.\d+(?!\S)", "\n".join(lines[2:-1]))
            self.assertEqual(len(values) + left_out, 61, frame)


# Ctrl-C typed into a terminal, against a meter whose every log block is 100 ms slow.
class InterruptsTest(unittest.TestCase):
    def test_ctrl_c_stops_a_csv_export_and_keeps_whole_records(self):
        with tempfile.TemporaryDirectory() as scratch:
            csv = os.path.join(scratch, "cut.csv")
            code, output = run_in_terminal(
                ["datalog", sim("slow").endpoint, "1", "--csv", csv],
                ctrl_c_when=lambda out: re.search(r"\] [1-9]\d*/300", out))
            self.assertEqual(code, 130, output)
            # On a terminal the bar is redrawn in place.
            self.assertRegex(output, r"\rdata log 1 \[[#-]{30}\] \d+/300  \d+\.\d rec/s  \d:\d\d\.\d"
                                     r"  \d+:\d\d\.\d left\x1b\[K")
            kept = int(re.search(r"\ntandrel: Cancelled by caller\r?\ntandrel: (\d+) records "
                                 r"kept in " + re.escape(csv), output)[1])
            with open(csv, newline="") as f:
                lines = f.read().split("\n")[:-1]
            self.assertEqual((len(lines), lines[-1].split(",")[0]), (kept + 1, str(kept)))
            self.assertLess(kept, 300)
            self.assertEqual(len(lines[-1].split(",")), len(lines[0].split(",")))

    def test_ctrl_c_stops_a_stream(self):
        code, output = run_in_terminal(
            ["events", sim("slow").endpoint],
            ctrl_c_when=lambda out: re.search(r"^\s+10\s+2025", out, re.M))
        self.assertEqual(code, 130, output)
        stopped = int(re.search(r"tandrel: stopped after (\d+) records", output)[1])
        self.assertLess(stopped, 164)
        self.assertEqual(len(re.findall(r"^\s+\d+\s+2025-", output, re.M)), stopped)

    # Runs collect on a terminal over a site file of `lines`, typing Ctrl-C
    # once ctrl_c_when(output) holds; returns (exit code, output, files below --out).
    def collect_until_ctrl_c(self, lines, options, ctrl_c_when):
        with tempfile.TemporaryDirectory() as scratch:
            site, out = os.path.join(scratch, "site.txt"), os.path.join(scratch, "out")
            with open(site, "w") as f:
                f.write("".join(line + "\n" for line in lines))
            code, output = run_in_terminal(["collect", site, "--out", out, *options], ctrl_c_when)
            return code, output, files_below(out)

    def test_ctrl_c_stops_collect_and_removes_unfinished_files(self):
        endpoint = sim("slow").endpoint
        code, output, files = self.collect_until_ctrl_c(
            [endpoint + " em235 1", endpoint + " em235 2"], [],
            lambda text: len(re.findall(r"\] [1-9]\d*/\d+", text)) >= 2)
        self.assertEqual(code, 130, output)
        self.assertEqual(len(re.findall(r"^127\.0\.0\.1:\d+ +[12] +em235 +cancelled +.*"
                                        r"Cancelled by caller", output, re.M)), 2, output)
        folder = endpoint.replace(":", "_")
        self.assertEqual(files, [folder + "_1/device_info.json", folder + "_1/logs.json",
                                 folder + "_2/device_info.json", folder + "_2/logs.json"])

    # Three jobs, four meters: Ctrl-C once three of them are each part-way
    # through a log. Each slow meter takes seconds, so had any of the three
    # finished first the fourth would have started: three cancelled and one
    # not started shows that three were read at once, and no more.
    def test_collect_reads_as_many_meters_at_once_as_jobs(self):
        code, output, _ = self.collect_until_ctrl_c(
            ["%s %d" % (sim("slow").endpoint, unit) for unit in range(1, 5)], ["--jobs", "3"],
            lambda text: len(set(re.findall(
                r"(127\.0\.0\.1:\d+ u\d) \S+\.csv \[[#-]{30}\] [1-9]", text))) >= 3)
        self.assertEqual(code, 130, output)
        statuses = re.findall(r"^127\.0\.0\.1:\d+ +\d +\S+ +(cancelled|not started|ok|failed)",
                              output, re.M)
        self.assertEqual(sorted(statuses), ["cancelled"] * 3 + ["not started"], output)

    # A meter that failed, listed first, and a Ctrl-C in the same run: the
    # Ctrl-C decides the exit status.
    def test_ctrl_c_wins_over_a_failed_meter(self):
        code, output, _ = self.collect_until_ctrl_c(
            [sim("refused").endpoint, sim("slow").endpoint], ["--jobs", "2"],
            lambda text: "unit 1: failed in" in text
            and re.search(r"u1 \S+\.csv \[[#-]{30}\] [1-9]", text))
        self.assertEqual(code, 130, output)
        statuses = re.findall(r"^127\.0\.0\.1:\d+ +1 +\S+ +(cancelled|failed|ok)", output, re.M)
        self.assertEqual(statuses, ["failed", "cancelled"], output)

    def test_ctrl_c_ends_live_watch(self):
        code, output = run_in_terminal(
            ["live", sim("slow").endpoint, "--watch", "0.2", "--json"],
            ctrl_c_when=lambda out: out.count('"readings"') >= 2)
        self.assertEqual(code, 130, output)
        documents = [line for line in output.splitlines() if line.startswith("{")]
        self.assertGreaterEqual(len(documents), 2)
        self.assertEqual({len(json.loads(line)["readings"]) for line in documents}, {61})

    # The polls of `live --watch` go through one session: one connection, and
    # the meter's identity read once, however many frames.
    def test_live_watch_polls_through_one_session(self):
        meter = subprocess.Popen([ARGS.sim, "--port", "0", "--trace", "--scenario",
                                  os.path.join(DATA, "em235.json")], stdout=subprocess.PIPE, text=True)
        try:
            endpoint = re.search(r"on ([\d.]+:\d+) ", meter.stdout.readline())[1]
            code, output = run_in_terminal(["live", endpoint, "--watch", "0.1", "--json"],
                                           ctrl_c_when=lambda out: out.count('"readings"') >= 3)
        finally:
            meter.terminate()
            trace = meter.communicate()[0]
        self.assertEqual(code, 130, output)
        self.assertEqual(set(re.findall(r"^conn (\d+) ", trace, re.M)), {"1"}, trace[:2000])
        self.assertEqual(len(re.findall(r" addr 0xB400 ", trace)), 1, trace[:2000])


class CollectTest(unittest.TestCase):
    # Two runs into one folder. The first reads two meters completely. In the
    # second, the first meter has no logs (its last run's CSV files must go),
    # and the second stops answering part-way through a data log (its
    # last run's folder must stay exactly as it was, and the summary says so).
    def test_a_second_run_replaces_each_folder_whole_or_keeps_the_last(self):
        addresses = [spare_address(), spare_address()]
        with tempfile.TemporaryDirectory() as scratch:
            site, out = os.path.join(scratch, "site.txt"), os.path.join(scratch, "out")
            with open(site, "w") as f:
                f.write("%s em235 1 force-model\n%s\n" % tuple(addresses))
            folders = [address + "_502_1" for address in addresses]
            first = self.collect(site, out, ["em235", "em235"])
            self.assertEqual(first.returncode, 0, first.stderr)
            kept = {name: read_bytes(os.path.join(out, name))
                    for name in files_below(out) if name.startswith(folders[1])}
            second = self.collect(site, out, ["odd_model", "broken"])
            self.assertEqual(second.returncode, 1, second.stderr)
            self.assertRegex(second.stdout, r"\n%s:502 +1 +em235 +failed +\S+ +datalog_1\.csv: "
                             r"socket recv failed \(folder kept from the previous run\)\n"
                             % re.escape(addresses[1]))
            self.assertEqual(files_below(out), sorted(
                [folders[0] + "/device_info.json", folders[0] + "/logs.json"] + list(kept)))
            for name, data in kept.items():
                self.assertEqual(read_bytes(os.path.join(out, name)), data, name)

    # One collect run against simulators of these scenarios on the spare addresses.
    def collect(self, site, out, scenarios):
        with open(site) as f:
            addresses = [line.split()[0] for line in f]
        sims = [Sim(name, address) for name, address in zip(scenarios, addresses)]
        try:
            return run("collect", site, "--out", out, "--timeout", "5")
        finally:
            for one in sims:
                one.stop()


# What the bash completion offers for the last of `words`, typed after `tandrel`.
def completions(*words):
    script = ('source "$1"; shift; COMP_WORDS=(tandrel "$@"); COMP_CWORD=$#; _tandrel; '
              'printf "%s\\n" "${COMPREPLY[@]}"')
    return subprocess.run(["bash", "-c", script, "bash", ARGS.completion, *words],
                          capture_output=True, text=True, check=True).stdout.split()


# Every option spelling, short and long, that `tandrel ARGS --help` lists.
def help_options(*args):
    text = run(*args, "--help").stdout.split("Options:")[1].split("Subcommands:")[0]
    return {name for first in re.findall(r"^  (-\S+)", text, re.M) for name in first.split(",")}


class HelpTest(unittest.TestCase):
    def test_help_completion_and_docs_name_the_same_commands_and_options(self):
        listed = re.findall(r"^  ([a-z0-9-]+) {2,}", run("--help").stdout.split("Subcommands:")[1],
                            re.M)
        self.assertEqual(completions(""), listed)
        self.assertEqual(set(completions("-")), help_options())
        self.assertEqual(completions("read", "h", "--meter", "e"), ["em133", "em235"])
        self.assertEqual(completions("demo", "--meter", ""), ["em133", "em235", "pm335"])
        with open(ARGS.docs) as f:
            docs = f.read()
        for option in ("--verbose", "--json"):
            self.assertIn(option, docs)
        for name in listed:
            with self.subTest(name):
                self.assertEqual(set(completions("-v", name, "-")), help_options(name))
                text = run(name, "--help").stdout
                self.assertIn("Example:", text)
                heading = re.search(r"^## `tandrel " + re.escape(name) + r"\b.*$", docs, re.M)
                part = re.split(r"^## ", docs[heading.end():], flags=re.M)[0]
                self.assertIn("```", part, f"no example output for {name}")
                for option in set(re.findall(r"--[a-z][a-z0-9-]*", text)) - {"--help"}:
                    self.assertIn(option, part, f"{name}: {option} is not documented")


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for name in ("--tandrel", "--sim", "--docs", "--completion"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    try:
        unittest.main(argv=[sys.argv[0], "-v", *rest])
    finally:
        for one in SIMS.values():
            if isinstance(one, Sim):
                one.process.terminate()
                one.process.communicate()


if __name__ == "__main__":
    main()
