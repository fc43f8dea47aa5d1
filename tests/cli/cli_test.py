#!/usr/bin/env python3
"""Drives the built `tandrel` binary against a simulated meter.

Run by CTest, one test class per entry:
    cli_test.py --tandrel PATH --meter PATH --docs PATH --completion PATH [TestClass ...]
`--meter` is the test meter program (tests/cli/cli_test_meter.cpp): it prints
"PORT <n>" for each meter once they listen and serves until its standard input
closes. `--docs` is the tool's user documentation, `--completion` its bash
completion script.
Terminal behaviour (progress bar, Ctrl-C) is checked in a pseudo-terminal.
"""
import argparse
import json
import os
import pty
import random
import re
import select
import socket
import subprocess
import sys
import tempfile
import termios
import unittest

TANDREL = None
METER = None
DOCS = None
COMPLETION = None

SUBCOMMANDS = ["info", "points", "read", "live", "logs", "datalog", "events",
               "export-em133", "diagnostics", "collect", "demo"]
CSV_EVENT_TITLE = ("No.,Date/Time,Event No.,Cause,Point/Source,State,Effect,Target,"
                   "Source ID,Effect ID,Value Triggered")


class Meter:
    """Test meters in one process, the first one set up by `flags` and one more
    on 127.0.0.1 for each list of flags in `more`; use as a context manager."""

    def __init__(self, *flags, address="127.0.0.1", port=0, more=()):
        self.address = address
        self.args = [METER, "--address", address, "--port", str(port), *flags]
        for extra in more:
            self.args += ["+", *extra]
        self.count = 1 + len(more)
        self.process = None
        self.ports = []
        self.port = None
        self.error = None

    def __enter__(self):
        self.process = subprocess.Popen(self.args, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True)
        for _ in range(self.count):
            line = self.process.stdout.readline().strip()
            if not line.startswith("PORT "):
                self.error = line or "the test meter did not start"
                break
            self.ports.append(int(line[5:]))
        self.port = self.ports[0] if self.ports else None
        return self

    def __exit__(self, *exc):
        self.process.stdin.close()
        self.process.wait(timeout=20)
        self.process.stdout.close()

    @property
    def endpoint(self):
        return f"{self.address}:{self.port}"


def run(*args, timeout=60):
    return subprocess.run([TANDREL, *args], capture_output=True, text=True, timeout=timeout)


def run_in_terminal(args, ctrl_c_when=None, timeout=60):
    """Runs tandrel on a pseudo-terminal; returns (exit code, everything it wrote).

    ctrl_c_when(output) -> bool: once it holds, a Ctrl-C byte is typed into the
    terminal, so the line discipline sends SIGINT as a user's keyboard would.
    """
    pid, fd = pty.fork()
    if pid == 0:
        # A terminal discards queued output on Ctrl-C unless NOFLSH is set: the
        # test must see every line the tool wrote before it was interrupted.
        attrs = termios.tcgetattr(0)
        attrs[3] |= termios.NOFLSH
        termios.tcsetattr(0, termios.TCSANOW, attrs)
        os.execv(TANDREL, [TANDREL, *args])
    output = b""
    typed = False
    try:
        while True:
            ready, _, _ = select.select([fd], [], [], timeout)
            if not ready:
                os.kill(pid, 9)
                raise AssertionError("tandrel did not finish: " + output.decode(errors="replace"))
            try:
                chunk = os.read(fd, 65536)
            except OSError:  # EIO: the child closed the terminal
                break
            if not chunk:
                break
            output += chunk
            if ctrl_c_when and not typed and ctrl_c_when(output.decode(errors="replace")):
                os.write(fd, b"\x03")
                typed = True
    finally:
        _, status = os.waitpid(pid, 0)
        os.close(fd)
    # The terminal echoes the typed Ctrl-C as "^C", wherever the output stands.
    text = output.decode(errors="replace").replace("^C", "")
    return os.waitstatus_to_exitcode(status), text


def json_lines(text):
    return [json.loads(line) for line in text.splitlines() if line]


def spare_loopback_address():
    """An address in 127.0.0.0/8 other than 127.0.0.1, for meters on port 502."""
    return "127.%d.%d.%d" % (random.randint(1, 254), random.randint(0, 255), random.randint(1, 254))


def csv_lines(path):
    with open(path, newline="") as f:
        return f.read().split("\n")[:-1]


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def refused_endpoint():
    """A loopback endpoint nobody listens on, so that connecting is refused."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return "127.0.0.1:%d" % s.getsockname()[1]


def write_site(directory, lines):
    path = os.path.join(directory, "site.txt")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


def completions(*words):
    """What the bash completion script offers for the last of `words`, typed after `tandrel`."""
    script = ('source "$1"; shift; COMP_WORDS=(tandrel "$@"); COMP_CWORD=$#; _tandrel; '
              'printf "%s\\n" "${COMPREPLY[@]}"')
    result = subprocess.run(["bash", "-c", script, "bash", COMPLETION, *words],
                            capture_output=True, text=True, check=True)
    return result.stdout.split()


def help_options(*args):
    """Every option spelling, short and long, that `tandrel ARGS --help` lists."""
    text = run(*args, "--help").stdout.split("Options:")[1].split("Subcommands:")[0]
    return {name for first in re.findall(r"^  (-\S+)", text, re.M) for name in first.split(",")}


def files_below(directory):
    return sorted(os.path.relpath(os.path.join(root, name), directory)
                  for root, _, names in os.walk(directory) for name in names)


class HelpTest(unittest.TestCase):
    def test_lists_exactly_the_known_subcommands(self):
        result = run("--help")
        self.assertEqual(result.returncode, 0)
        listed = re.findall(r"^  ([a-z0-9-]+) {2,}", result.stdout.split("Subcommands:")[1], re.M)
        self.assertEqual(listed, SUBCOMMANDS)

    def test_every_subcommand_answers_help(self):
        for name in SUBCOMMANDS:
            with self.subTest(name):
                result = run(name, "--help")
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn("Usage:", result.stdout)
                self.assertIn("Example:", result.stdout)

    def test_docs_describe_every_subcommand_and_option(self):
        with open(DOCS) as f:
            section = f.read()
        for name in SUBCOMMANDS:
            with self.subTest(name):
                heading = re.search(r"^## `tandrel " + re.escape(name) + r"\b.*$", section, re.M)
                self.assertIsNotNone(heading, f"no heading for {name}")
                rest = section[heading.end():]
                following = re.search(r"^## ", rest, re.M)
                part = rest[:following.start()] if following else rest
                self.assertIn("```", part, f"no example output for {name}")
                options = set(re.findall(r"--[a-z][a-z0-9-]*", run(name, "--help").stdout))
                for option in options - {"--help"}:
                    self.assertIn(option, part, f"{name}: {option} is not documented")
        for option in ("--verbose", "--json"):
            self.assertIn(option, section)

    def test_bash_completion_offers_what_the_help_lists(self):
        listed = re.findall(r"^  ([a-z0-9-]+) {2,}", run("--help").stdout.split("Subcommands:")[1],
                            re.M)
        self.assertEqual(completions(""), listed)
        self.assertEqual(set(completions("-")), help_options())
        for name in listed:
            with self.subTest(name):
                self.assertEqual(set(completions("-v", name, "-")), help_options(name))
        self.assertEqual(completions("read", "h", "--meter", "e"), ["em133", "em235"])

    def test_usage_errors_exit_with_2(self):
        cases = [[], ["nosuchcommand"], ["read", "127.0.0.1"], ["info", "127.0.0.1:0"],
                 ["info", "127.0.0.1:99999"], ["info", "127.0.0.1", "--meter", "em999"],
                 ["datalog", "127.0.0.1", "17"], ["info", "127.0.0.1:1502", "--port", "1503"],
                 ["info", "127.0.0.1", "--timeout", "0.01"],
                 ["export-em133", "127.0.0.1:1502", "/tmp"],
                 ["diagnostics", "127.0.0.1", "x.csv"]]
        for args in cases:
            with self.subTest(args):
                result = run(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertNotEqual(result.stderr, "")

    def test_version(self):
        result = run("--version")
        self.assertEqual(result.returncode, 0)
        self.assertIn("1.2.1", result.stdout)


class DocumentsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.meter = Meter("--datalog-records", "25").__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.meter.__exit__(None, None, None)

    def test_points_lists_every_point_of_the_model(self):
        for model, count in (("em133", 199), ("em235", 205), ("pm335", 205)):
            with self.subTest(model):
                table = run("points", "--meter", model)
                rows = re.findall(r"^\s*\d+\s+0x[0-9A-F]{4}\s", table.stdout, re.M)
                self.assertEqual(len(rows), count)
                doc = json.loads(run("points", "--meter", model, "--json").stdout)
                self.assertEqual(len(doc["points"]), count)

    def test_info_table_and_json(self):
        table = run("info", self.meter.endpoint)
        self.assertEqual(table.returncode, 0, table.stderr)
        self.assertRegex(table.stdout, r"Model name\s+EM235\n")
        doc = json.loads(run("info", self.meter.endpoint, "--json").stdout)
        self.assertEqual(doc["model_name"], "EM235")
        self.assertEqual(doc["host"], "127.0.0.1")

    def test_port_option_equals_host_port(self):
        by_option = run("info", "127.0.0.1", "--port", str(self.meter.port), "--unit", "1",
                        "--timeout", "5", "--json")
        self.assertEqual(by_option.returncode, 0, by_option.stderr)
        self.assertEqual(json.loads(by_option.stdout)["model_name"], "EM235")

    def test_read_keeps_the_order_and_accepts_names_and_ids(self):
        args = ("read", self.meter.endpoint, "V1", "total kw", "0x1101")
        doc = json.loads(run(*args, "--json").stdout)
        self.assertEqual([r["pid"] for r in doc["readings"]], [4352, 5120, 4353])
        table = run(*args).stdout.splitlines()
        self.assertEqual([line.split()[0] for line in table[2:]], ["V1", "Total", "V2"])
        raw = run(*args, "--json").stdout
        value_text = re.search(r'"pid":4352,"name":"V1","value":([-0-9.]+)', raw).group(1)
        self.assertRegex(table[2], r"^V1\s+" + re.escape(value_text) + r"\s+V\s+4352$")

    def test_live_reads_the_whole_live_set(self):
        for model, count in (("em235", 61), ("em133", 55)):
            with self.subTest(model):
                doc = json.loads(run("live", self.meter.endpoint, "--meter", model, "--json").stdout)
                self.assertEqual(len(doc["readings"]), count)
                table = run("live", self.meter.endpoint, "--meter", model).stdout.splitlines()
                self.assertEqual(len(table), count + 2)

    def test_logs_table_and_json(self):
        doc = json.loads(run("logs", self.meter.endpoint, "--json").stdout)
        datalog = [log for log in doc["logs"] if log["file_id"] == 1][0]
        self.assertEqual(datalog["records"], 25)
        table = run("logs", self.meter.endpoint).stdout
        self.assertRegex(table, r"\n\s+1\s+datalog\s+25\s+4\n")
        self.assertIn("Data log 1:", table)

    def test_failures_exit_with_1_and_end_with_the_library_message_and_its_hint(self):
        endpoint = self.meter.endpoint
        cases = [(("read", endpoint, "Nope", "-m", "em133"), "Unknown point 'Nope'",
                  "see `tandrel points --meter em133`"),
                 (("info", "127.0.0.1:1", "--timeout", "2"), "Cannot connect to 127.0.0.1:1",
                  "is the meter's Modbus TCP server on, and the port right?"),
                 (("datalog", endpoint, "9", "--timeout", "5"), "Modbus exception 2",
                  f"this meter has no data log 9; `tandrel logs {endpoint}` lists them"),
                 (("datalog", "127.0.0.1", "9", "--port", str(self.meter.port), "--csv",
                   os.devnull), "Modbus exception 2",
                  f"this meter has no data log 9; `tandrel logs {endpoint}` lists them"),
                 (("datalog", endpoint, "1", "--csv", "/nonexistent/dir/x.csv"),
                  "Cannot open CSV: /nonexistent/dir/x.csv", None)]
        for args, message, hint in cases:
            with self.subTest(args):
                result = run(*args)
                self.assertEqual(result.returncode, 1)
                tail = "tandrel: " + message + "\n" + (f"hint: {hint}\n" if hint else "")
                self.assertTrue(("\n" + result.stderr).endswith("\n" + tail), result.stderr)
                self.assertEqual(result.stdout, "")

    def test_verbose_shows_library_messages_with_level(self):
        result = run("--verbose", "info", self.meter.endpoint)
        self.assertIn(f"[debug] Connected to {self.meter.endpoint}", result.stderr)
        quiet = run("info", self.meter.endpoint)
        self.assertEqual(quiet.stderr, "")


class StreamsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.meter = Meter("--datalog-records", "25", "--events", "12").__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.meter.__exit__(None, None, None)

    def test_datalog_json_lines_and_rows_match(self):
        raw = run("datalog", self.meter.endpoint, "1", "--json")
        self.assertEqual(raw.returncode, 0, raw.stderr)
        objects = json_lines(raw.stdout)
        self.assertEqual(objects[0]["type"], "header")
        self.assertEqual([o["no"] for o in objects[1:]], list(range(1, 26)))
        table = run("datalog", self.meter.endpoint, "1").stdout
        rows = [line.split() for line in table.splitlines()[2:]]
        self.assertEqual(len(rows), 25)
        for row, record in zip(rows, objects[1:]):
            self.assertEqual(row[0], str(record["no"]))
            self.assertEqual(row[1], record["timestamp"])
        values = re.search(r'"values":\[([^\]]*)\]', raw.stdout.splitlines()[1]).group(1).split(",")
        self.assertEqual(rows[0][3:], values)  # the library's digits, unchanged

    def test_events_json_and_rows(self):
        objects = json_lines(run("events", self.meter.endpoint, "--json").stdout)
        self.assertEqual(objects[0]["total"], 12)
        self.assertEqual(len(objects), 13)
        rows = run("events", self.meter.endpoint).stdout.splitlines()[2:]
        self.assertEqual([row.split()[0] for row in rows], [str(n) for n in range(1, 13)])

class ExportsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.meter = Meter("--datalog-records", "25", "--events", "40").__enter__()
        cls.unknown = Meter("--datalog-records", "25", "--unknown-total").__enter__()
        cls.dir = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.meter.__exit__(None, None, None)
        cls.unknown.__exit__(None, None, None)
        cls.dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def test_datalog_csv_with_plain_progress_lines(self):
        csv = self.path("dl1.csv")
        result = run("datalog", self.meter.endpoint, "1", "--csv", csv)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, f"Wrote 25 records to {csv}\n")
        self.assertNotIn("\r", result.stderr)
        self.assertRegex(result.stderr.splitlines()[-1], r"^data log 1 25/25 records ")
        lines = csv_lines(csv)
        self.assertEqual(lines[0], "No.,Date/Time,Trigger,V1 (V),V2 (V),V3 (V),Total kW (kW)")
        self.assertEqual([line.split(",")[0] for line in lines[1:]], [str(n) for n in range(1, 26)])

    def test_csv_json_summary(self):
        csv = self.path("ev.csv")
        result = run("events", self.meter.endpoint, "--csv", csv, "--json")
        self.assertEqual(json.loads(result.stdout), {"csv": csv, "records": 40})
        self.assertEqual(csv_lines(csv)[0], CSV_EVENT_TITLE)
        self.assertEqual(len(csv_lines(csv)), 41)

    def test_progress_bar_on_a_terminal(self):
        code, output = run_in_terminal(["events", self.meter.endpoint, "--csv", self.path("t.csv")])
        self.assertEqual(code, 0, output)
        self.assertIn("\r", output)
        self.assertIn("[##############################] 40/40", output)
        self.assertIn("rec/s", output)

    def test_spinner_when_the_total_is_unknown(self):
        code, output = run_in_terminal(["datalog", self.unknown.endpoint, "1", "--csv",
                                        self.path("u.csv")])
        self.assertEqual(code, 0, output)
        self.assertRegex(output, r"[|/\\-] 25 records ")
        self.assertNotIn("25/", output)
        self.assertEqual(len(csv_lines(self.path("u.csv"))), 26)

    def test_broken_connection_fails_and_says_what_the_file_kept(self):
        csv = self.path("broken.csv")
        with Meter("--datalog-records", "400", "--close-at-request", "40") as meter:
            result = run("datalog", meter.endpoint, "1", "--csv", csv, "--timeout", "5")
        self.assertEqual(result.returncode, 1, result.stderr)
        kept = int(re.search(r"tandrel: (\d+) records kept in ", result.stderr).group(1))
        lines = csv_lines(csv)
        self.assertLess(kept, 400)
        self.assertEqual(len(lines), kept + 1)
        self.assertEqual(lines[-1].split(",")[0], str(kept))

    def test_export_em133_writes_four_files(self):
        with Meter("--model", "em133", "--datalog-records", "7", "--events", "5",
                   address=spare_loopback_address(), port=502) as meter:
            if meter.error:
                self.skipTest("cannot listen on port 502: " + meter.error)
            out = tempfile.mkdtemp(dir=self.dir.name)
            result = run("export-em133", meter.address, out, "--json")
            self.assertEqual(result.returncode, 0, result.stderr)
            summary = json.loads(result.stdout)
            self.assertEqual(len(summary["files"]), 4)
            self.assertEqual(sorted(summary["files"]), sorted(os.listdir(out)))
            rows = sum(len(csv_lines(os.path.join(out, name))) - 1 for name in summary["files"]
                       if csv_lines(os.path.join(out, name)))
            self.assertEqual(summary["records"], rows)

    def test_diagnostics_shows_the_set_bits(self):
        with Meter("--diagnostics-register", "1001", address=spare_loopback_address(),
                   port=502) as meter:
            if meter.error:
                self.skipTest("cannot listen on port 502: " + meter.error)
            csv = self.path("diag.csv")
            result = run("diagnostics", meter.address, csv, "--register", "1001")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("Diagnostics word 0x100001", result.stdout)
            set_bits = re.findall(r"^\s*(\d+)\s+SET\s", result.stdout, re.M)
            self.assertEqual(set_bits, ["0", "20"])
            self.assertEqual(len(csv_lines(csv)), 30)


class CollectTest(unittest.TestCase):
    """One site, its meters in one process: three read completely (both models,
    other logs, one on unit 3), one falls silent in the middle of a data log,
    and one port refuses connections."""

    @classmethod
    def setUpClass(cls):
        cls.meters = Meter("--datalog-records", "25", "--events", "12", more=[
            ["--model", "em133"],
            ["--no-default-logs", "--events", "5"],
            ["--no-default-logs", "--datalog-records", "60", "--silent-at-block-request", "40"],
        ]).__enter__()
        cls.dir = tempfile.TemporaryDirectory()
        em235, em133, unit3, silent = ["127.0.0.1:%d" % port for port in cls.meters.ports]
        cls.complete = [(em235, "em235", 1), (em133, "em133", 1), (unit3, "em235", 3)]
        cls.silent, cls.refused = silent, refused_endpoint()
        cls.site = write_site(cls.dir.name, [
            "# the plant", em235, em133 + " em133", "", unit3 + " EM235 3  # on a gateway",
            silent + " em235 1", cls.refused])
        cls.out = os.path.join(cls.dir.name, "out")
        cls.result = run("collect", cls.site, "--out", cls.out, "--jobs", "3", "--timeout", "2",
                         "--json")
        cls.meters_by_endpoint = {"%s:%d" % (m["host"], m["port"]): m
                                  for m in json.loads(cls.result.stdout)["meters"]}

    @classmethod
    def tearDownClass(cls):
        cls.meters.__exit__(None, None, None)
        cls.dir.cleanup()

    def folder(self, endpoint, unit):
        return os.path.join(self.out, endpoint.replace(":", "_") + "_%d" % unit)

    def single_command_csv(self, endpoint, model, unit, name):
        csv = os.path.join(self.dir.name, "single.csv")
        log = ["events", endpoint] if name == "events.csv" else ["datalog", endpoint, name[8:-4]]
        result = run(*log, "--meter", model, "--unit", str(unit), "--csv", csv, "--json")
        self.assertEqual(result.returncode, 0, result.stderr)
        return read_bytes(csv), json.loads(result.stdout)["records"]

    def test_files_equal_what_the_single_commands_write(self):
        for endpoint, model, unit in self.complete:
            with self.subTest(endpoint):
                summary = self.meters_by_endpoint[endpoint]
                self.assertEqual(summary["status"], "ok")
                folder = self.folder(endpoint, unit)
                same = ("--meter", model, "--unit", str(unit), "--json")
                for name, command in (("device_info.json", "info"), ("logs.json", "logs")):
                    expected = run(command, endpoint, *same).stdout
                    self.assertEqual(read_bytes(os.path.join(folder, name)), expected.encode())
                logs = json.loads(run("logs", endpoint, *same).stdout)["logs"]
                names = ["events.csv" if log["type"] == "eventlog" else
                         "datalog_%d.csv" % log["file_id"] for log in logs]
                self.assertEqual(sorted(os.listdir(folder)),
                                 sorted(names + ["device_info.json", "logs.json"]))
                records = {f["name"]: f.get("records") for f in summary["files"]}
                for name in names:
                    text, count = self.single_command_csv(endpoint, model, unit, name)
                    self.assertEqual(read_bytes(os.path.join(folder, name)), text, name)
                    self.assertEqual(records[name], count, name)

    def test_failed_meters_are_listed_and_leave_no_unfinished_file(self):
        self.assertEqual(self.result.returncode, 1, self.result.stderr)
        silent = self.meters_by_endpoint[self.silent]
        self.assertEqual((silent["status"], silent["failed_file"]), ("failed", "datalog_1.csv"))
        self.assertEqual(sorted(os.listdir(self.folder(self.silent, 1))),
                         ["device_info.json", "logs.json"])
        refused = self.meters_by_endpoint[self.refused]
        self.assertEqual((refused["status"], refused["message"]),
                         ("failed", "Cannot connect to " + self.refused))
        self.assertFalse(os.path.exists(self.folder(self.refused, 1)))
        for meter in (silent, refused):
            self.assertIn("tandrel: %s:%d unit 1: %s: %s\n" % (
                meter["host"], meter["port"], meter["failed_file"], meter["message"]),
                self.result.stderr)
        self.assertIn(refused["message"] + "\nhint: is the meter's Modbus TCP server on",
                      self.result.stderr)
        self.assertEqual([f for f in files_below(self.out) if not f.endswith((".csv", ".json"))],
                         [])

    def test_summary_lists_the_meters_in_the_site_files_order(self):
        endpoints = [e for e, _, _ in self.complete] + [self.silent, self.refused]
        self.assertEqual(list(self.meters_by_endpoint), endpoints)

    def test_table_and_exit_0_when_every_meter_is_read(self):
        with tempfile.TemporaryDirectory() as out:
            site = write_site(out, ["%s %s %d" % meter for meter in self.complete[:2]])
            result = run("collect", site, "--out", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = result.stdout.splitlines()
        self.assertRegex(rows[1], r"^127\.0\.0\.1:\d+\s+1\s+em235\s+ok\s+\d:\d\d\.\d\s+"
                                  r"events\.csv 12, datalog_1\.csv 25, datalog_2\.csv 250")
        self.assertEqual(rows[-1], "2 of 2 meters read completely into " + out)

    def test_site_file_errors_are_reported_before_anything_is_read(self):
        good = self.complete[0][0]
        site = write_site(self.dir.name, [good, "%s em999" % good, "# fine", "%s em133 256" % good,
                                          good])
        out = os.path.join(self.dir.name, "never")
        result = run("collect", site, "--out", out)
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertEqual(re.findall(r"site\.txt:(\d+): ", result.stderr), ["2", "4", "5"])
        self.assertFalse(os.path.exists(out))


class InterruptsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # 400 records, 10 a block, each block slowed: long enough to interrupt.
        cls.meter = Meter("--datalog-records", "400", "--events", "400",
                          "--block-delay-ms", "100").__enter__()
        cls.dir = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.meter.__exit__(None, None, None)
        cls.dir.cleanup()

    def test_ctrl_c_stops_a_csv_export_and_keeps_whole_records(self):
        csv = os.path.join(self.dir.name, "cut.csv")
        code, output = run_in_terminal(
            ["datalog", self.meter.endpoint, "1", "--csv", csv],
            ctrl_c_when=lambda out: re.search(r"\] [1-9]\d*/400", out) is not None)
        self.assertEqual(code, 130, output)
        self.assertIn("tandrel: Cancelled by caller", output)
        kept = int(re.search(r"tandrel: (\d+) records kept in " + re.escape(csv), output).group(1))
        lines = csv_lines(csv)
        self.assertLess(kept, 400)
        self.assertEqual(len(lines), kept + 1)
        self.assertEqual(lines[-1].split(",")[0], str(kept))
        self.assertEqual(len(lines[-1].split(",")), len(lines[0].split(",")))

    def test_ctrl_c_stops_a_stream(self):
        code, output = run_in_terminal(
            ["events", self.meter.endpoint],
            ctrl_c_when=lambda out: re.search(r"^\s+10\s+2026", out, re.M) is not None)
        self.assertEqual(code, 130, output)
        stopped = int(re.search(r"tandrel: stopped after (\d+) records", output).group(1))
        self.assertLess(stopped, 400)
        rows = re.findall(r"^\s+\d+\s+2026-", output, re.M)
        self.assertEqual(len(rows), stopped)

    def test_ctrl_c_stops_collect_and_removes_unfinished_files(self):
        site = write_site(self.dir.name, [self.meter.endpoint + " em235 1",
                                          self.meter.endpoint + " em235 2"])
        out = os.path.join(self.dir.name, "site")
        code, output = run_in_terminal(
            ["collect", site, "--out", out],
            ctrl_c_when=lambda out: len(re.findall(r"\] [1-9]\d*/400", out)) >= 2)
        self.assertEqual(code, 130, output)
        self.assertEqual(len(re.findall(r"^127\.0\.0\.1:\d+ +[12] +em235 +cancelled +.*"
                                        r"Cancelled by caller", output, re.M)), 2, output)
        folder = self.meter.endpoint.replace(":", "_")
        self.assertEqual(files_below(out), [folder + "_1/device_info.json", folder + "_1/logs.json",
                                            folder + "_2/device_info.json", folder + "_2/logs.json"])

    def test_ctrl_c_ends_live_watch(self):
        code, output = run_in_terminal(
            ["live", self.meter.endpoint, "--watch", "0.2", "--json"],
            ctrl_c_when=lambda out: out.count('"readings"') >= 2)
        self.assertEqual(code, 130, output)
        documents = [line for line in output.splitlines() if line.startswith("{")]
        self.assertGreaterEqual(len(documents), 2)
        for line in documents:
            self.assertEqual(len(json.loads(line)["readings"]), 61)


class DemoTest(unittest.TestCase):
    def test_demo_runs_every_step_on_a_terminal(self):
        with tempfile.TemporaryDirectory() as out:
            code, output = run_in_terminal(["demo", "--out", out])
            self.assertEqual(code, 0, output)
            for step in ("info", "live", "logs", "datalog", "events"):
                self.assertRegex(output, r"\$ tandrel " + step + r" 127\.0\.0\.1:\d+")
            self.assertIn("[##############################]", output)
            written = re.findall(r"Wrote (\d+) records to (\S+)\r?\n", output)
            self.assertEqual(len(written), 2)
            for count, path in written:
                self.assertEqual(len(csv_lines(path)), int(count) + 1)

    def test_demo_with_an_em133(self):
        with tempfile.TemporaryDirectory() as out:
            result = run("demo", "--meter", "em133", "--out", out)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertRegex(result.stdout, r"Model name\s+EM133")


def main():
    global TANDREL, METER, DOCS, COMPLETION
    parser = argparse.ArgumentParser()
    parser.add_argument("--tandrel", required=True)
    parser.add_argument("--meter", required=True)
    parser.add_argument("--docs", required=True)
    parser.add_argument("--completion", required=True)
    args, rest = parser.parse_known_args()
    TANDREL, METER, DOCS, COMPLETION = args.tandrel, args.meter, args.docs, args.completion
    unittest.main(argv=[sys.argv[0], "-v", *rest])


if __name__ == "__main__":
    main()
