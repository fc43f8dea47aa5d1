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
import json
import os
import pty
import random
import re
import select
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


class Sim:
    def __init__(self, key):
        name, _, port = key.partition("@")
        address = "127.%d.%d.%d" % tuple(random.randint(1, 254) for _ in "xyz")
        address = address if port else "127.0.0.1"
        self.process = subprocess.Popen([ARGS.sim, "--address", address, "--port", port or "0",
                                         "--scenario", os.path.join(DATA, name + ".json")],
                                        stdout=subprocess.PIPE, text=True)
        first = self.process.stdout.readline()
        self.address, self.port = re.search(r"on ([\d.]+):(\d+) ", first).groups()
        self.endpoint = f"{self.address}:{self.port}"


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


# Runs tandrel on a pseudo-terminal, typing Ctrl-C once ctrl_c_when(output)
# holds; returns (exit code, everything it wrote).
def run_in_terminal(args, ctrl_c_when=None):
    pid, fd = pty.fork()
    if pid == 0:
        # NOFLSH: the terminal would discard the output queued when Ctrl-C comes.
        attrs = termios.tcgetattr(0)
        attrs[3] |= termios.NOFLSH
        termios.tcsetattr(0, termios.TCSANOW, attrs)
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
    def test_demo_runs_every_step(self):
        with tempfile.TemporaryDirectory() as out:
            code, output = run_in_terminal(["demo", "--out", out])
            self.assertEqual(code, 0, output)
            for step in ("info", "live", "logs", "datalog", "events"):
                self.assertRegex(output, r"\$ tandrel " + step + r" 127\.0\.0\.1:\d+")
            # The data log and the event log, each into the folder asked for.
            self.assertEqual(len(re.findall(r"Wrote \d+ records to " + re.escape(out), output)), 2)
            result = run("demo", "--meter", "em133", "--out", out)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertRegex(result.stdout, r"Model name\s+EM133")


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
            self.assertRegex(output, r"\rdata log 1 \[[#-]{30}\] \d+/300  \d+\.\d rec/s  \d:\d\d\.\d\x1b\[K")
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

    def test_ctrl_c_stops_collect_and_removes_unfinished_files(self):
        with tempfile.TemporaryDirectory() as scratch:
            site, out = os.path.join(scratch, "site.txt"), os.path.join(scratch, "out")
            with open(site, "w") as f:
                f.write("%s em235 1\n%s em235 2\n" % (sim("slow").endpoint, sim("slow").endpoint))
            code, output = run_in_terminal(
                ["collect", site, "--out", out],
                ctrl_c_when=lambda text: len(re.findall(r"\] [1-9]\d*/\d+", text)) >= 2)
            self.assertEqual(code, 130, output)
            self.assertEqual(len(re.findall(r"^127\.0\.0\.1:\d+ +[12] +em235 +cancelled +.*"
                                            r"Cancelled by caller", output, re.M)), 2, output)
            folder = sim("slow").endpoint.replace(":", "_")
            self.assertEqual(files_below(out), [
                folder + "_1/device_info.json", folder + "_1/logs.json",
                folder + "_2/device_info.json", folder + "_2/logs.json"])

    def test_ctrl_c_ends_live_watch(self):
        code, output = run_in_terminal(
            ["live", sim("slow").endpoint, "--watch", "0.2", "--json"],
            ctrl_c_when=lambda out: out.count('"readings"') >= 2)
        self.assertEqual(code, 130, output)
        documents = [line for line in output.splitlines() if line.startswith("{")]
        self.assertGreaterEqual(len(documents), 2)
        self.assertEqual({len(json.loads(line)["readings"]) for line in documents}, {61})


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
