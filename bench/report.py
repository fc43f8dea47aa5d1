#!/usr/bin/env python3
"""Turns one run's Google Benchmark files (and callgrind profiles) into the
performance table: medians of the repetitions, ratios against libmodbus and
against requests x the bare loopback round trip, and requests per call next to
the least number their request sequence allows. Prints the Markdown of the
performance section of docs/performance.md (scripts/bench.sh writes it there)."""
import argparse
import glob
import json
import os
import platform
import re
import subprocess
import sys

RECORDS = 60000  # the transfer benchmarks' log
UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
CALLGRIND = {  # tag: (benchmark, per-record function, what it measures)
    "csv": ("BM_ExportDatalog_Ours", "tandrel::append_datalog_csv_line(", "CSV export"),
    "json": ("BM_ReadDatalog_Ours", "tandrel::append_datalog_record_json(", "JSON stream"),
}


def short_name(run_name):
    return re.sub(r"/(min_time:[^/]*|real_time|iterations:\d+)", "", run_name)


def load_runs(raw_dir):
    """Median of each benchmark's repetitions (or its single run), keyed by short name."""
    runs, context = {}, {}
    for path in sorted(glob.glob(os.path.join(raw_dir, "*_bench.json"))):
        with open(path) as f:
            doc = json.load(f)
        context = context or doc.get("context", {})
        exe = os.path.basename(path)[: -len(".json")]
        for b in doc["benchmarks"]:
            if b.get("error_occurred"):
                runs[short_name(b["run_name"])] = {"error": b.get("error_message", "error"), "exe": exe}
                continue
            median = b.get("aggregate_name") == "median"
            single = b.get("run_type") == "iteration" and b.get("repetitions", 1) <= 1
            if median or single:
                b["exe"] = exe
                # Calls of microseconds report their median per call; long
                # transfers the mean over the run.
                b["ns"] = b.get("median_ns") or b["real_time"] * UNIT_NS[b.get("time_unit", "ns")]
                runs[short_name(b["run_name"])] = b
    return runs, context


def instructions_per_record(raw_dir):
    """Callgrind: instructions per record for the whole library side and for
    the per-record decode and format function alone."""
    out = {}
    for tag, (bench, function, label) in CALLGRIND.items():
        prof = os.path.join(raw_dir, "callgrind." + tag)
        meta = prof + ".json"
        if not (os.path.exists(prof) and os.path.exists(meta)):
            continue
        with open(meta) as f:
            runs = [b for b in json.load(f)["benchmarks"] if b["run_name"].startswith(bench)]
        records = sum(b["iterations"] for b in runs) * RECORDS
        text = subprocess.run(["callgrind_annotate", "--inclusive=yes", prof],
                              capture_output=True, text=True).stdout
        total = per_record = None
        for line in text.splitlines():
            m = re.match(r"\s*([\d,]+)\s+\(?[\d.%)\s]*PROGRAM TOTALS", line)
            if m:
                total = int(m.group(1).replace(",", ""))
            if function in line and per_record is None:
                per_record = int(line.split()[0].replace(",", ""))
        if total:
            out[tag] = {"label": label, "records": records, "library_ir": total / records,
                        "format_ir": (per_record or 0) / records}
    return out


def machine():
    model = ""
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    return {"cpu": model, "cores": os.cpu_count(), "kernel": platform.release()}


def us(ns):
    return "%.1f" % (ns / 1e3)


def ms(ns):
    return "%.0f" % (ns / 1e6)


def ratio(a, b):
    return "%.2f" % (a / b) if a and b else "-"


def get(runs, name):
    r = runs.get(name)
    return r if r and "error" not in r else None


def transport_rows(runs, rtt):
    rows = []
    for n in (1, 120, 1000, 10000):
        ours = get(runs, "BM_ReadWords_Ours/%d" % n)
        peer = get(runs, "BM_ReadWords_Libmodbus/%d" % n)
        if not (ours and peer):
            continue
        req = ours.get("requests", 0)
        rows.append({"registers": n, "ours_us": ours["ns"] / 1e3, "libmodbus_us": peer["ns"] / 1e3,
                     "ratio": ours["ns"] / peer["ns"], "requests": req,
                     "limit_us": req * rtt / 1e3, "ours_over_limit": ours["ns"] / (req * rtt)})
    return rows


def transfer_rows(runs, rtt):
    """Long transfers are means over the run, so their limit takes the mean round trip."""
    peer = get(runs, "BM_ExportDatalog_Libmodbus")
    rows = []
    for name, label in (("BM_ExportDatalog_Ours", "CSV export"), ("BM_ReadDatalog_Ours", "JSON stream")):
        ours = get(runs, name)
        if not (ours and peer):
            continue
        req = ours.get("requests", 0)
        rows.append({"call": label, "ours_ms": ours["ns"] / 1e6, "libmodbus_ms": peer["ns"] / 1e6,
                     "ratio": ours["ns"] / peer["ns"], "requests": req,
                     "least_requests": ours.get("least_requests", 0),
                     "limit_ms": req * rtt / 1e6, "ours_over_limit": ours["ns"] / (req * rtt)})
    return rows


OPERATIONS = [
    ("BM_DeviceInfo/model:133", "device info, em133"),
    ("BM_DeviceInfo/model:235", "device info, em235"),
    ("BM_ReadLive/model:133", "live read, em133"),
    ("BM_ReadLive/model:235", "live read, em235"),
    ("BM_ReadPoints/model:235", "points read (4 points, 3 families), em235"),
    ("BM_ListLogs/model:133", "log directory, em133 (event log + 3 data logs)"),
    ("BM_ListLogs/model:235", "log directory, em235 (event log + 4 data logs)"),
    ("BM_DatalogBlockRequests", "one data-log block (10 records x 16 columns)"),
]


def operation_rows(runs, rtt, connect):
    rows = []
    for name, label in OPERATIONS:
        r = get(runs, name)
        if not r:
            continue
        req = r.get("requests", 0)
        row = {"call": label, "requests": req, "least_requests": r.get("least_requests", 0)}
        replay = get(runs, name.replace("BM_", "BM_Replay_", 1))
        if name != "BM_DatalogBlockRequests":
            with_connect = connect + (req - 1) * rtt
            row.update({"time_us": r["ns"] / 1e3, "limit_us": req * rtt / 1e3,
                        "ours_over_limit": r["ns"] / (req * rtt),
                        "limit_with_connect_us": with_connect / 1e3,
                        "ours_over_limit_with_connect": r["ns"] / with_connect})
        if replay:
            row.update({"replay_us": replay["ns"] / 1e3, "ours_over_replay": r["ns"] / replay["ns"]})
        rows.append(row)
    return rows


MINE = ("transport_bench", "operations_bench", "export_transfer_bench")


def other_rows(runs):
    rows = []
    for name, r in sorted(runs.items()):
        if r.get("exe") in MINE or "error" in r:
            continue
        counters = {k: v for k, v in r.items() if k not in IGNORED and isinstance(v, (int, float))}
        cpu_ns = r.get("cpu_time", 0) * UNIT_NS[r.get("time_unit", "ns")]
        rows.append({"benchmark": name, "exe": r["exe"], "time_ns": r["ns"], "cpu_ns": cpu_ns,
                     "counters": counters})
    return rows


IGNORED = {"family_index", "per_family_instance_index", "repetitions", "repetition_index",
           "threads", "iterations", "real_time", "cpu_time", "ns", "median_ns"}


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
    return lines


def fmt_counter(v):
    return "%.4g" % v if isinstance(v, float) else str(v)


def markdown(result):
    m, ctx, rtt = result["machine"], result["context"], result["round_trip_ns"]
    out = ["Measured %s on %s, %s cores, Linux %s (load average at start %s), with" % (
        ctx.get("date", "")[:16].replace("T", " "), m["cpu"], m["cores"], m["kernel"],
        ", ".join("%.1f" % x for x in ctx.get("load_avg", []))),
        "`bash scripts/bench.sh` (Release; medians of %s repetitions, randomly interleaved)." % result["repetitions"],
        "Client and simulator share the machine's cores, so every figure includes the",
        "simulator's own work."]
    load = ctx.get("load_avg", [0])[0]
    if m["cores"] and load > m["cores"]:
        out += ["**The load average exceeded the core count: other work shared the cores, so single",
                "ratios scatter by tens of percent between runs; rerun on a quiet machine.**"]
    out += ["",
        "Bare loopback round trip of one Modbus frame (raw socket, simulator): **%s us** median" % us(rtt),
        "per frame, %s us mean; with connect, accept and close: %s us." % (
            us(result["round_trip_mean_ns"]), us(result["connect_round_trip_ns"])),
        "Calls of microseconds show their median per call, the long transfers the mean over",
        "the run (and their limit the mean round trip).", ""]
    out += ["`read_words` against libmodbus `modbus_read_registers`, same requests, same connection:", ""]
    out += table(["registers", "requests", "ours us", "libmodbus us", "ours/libmodbus",
                  "requests x round trip us", "ours/limit"],
                 [[r["registers"], "%.0f" % r["requests"], "%.1f" % r["ours_us"], "%.1f" % r["libmodbus_us"],
                   "%.2f" % r["ratio"], "%.1f" % r["limit_us"], "%.2f" % r["ours_over_limit"]]
                  for r in result["transport"]])
    out += ["", "A data log of 60,000 records, 16 columns, 10 records a block, against a libmodbus",
            "reference that makes the same requests and only counts the bytes:", ""]
    out += table(["call", "requests (least)", "ours ms", "libmodbus ms", "ours/libmodbus",
                  "requests x round trip ms", "ours/limit"],
                 [[r["call"], "%.0f (%.0f)" % (r["requests"], r["least_requests"]), "%.0f" % r["ours_ms"],
                   "%.0f" % r["libmodbus_ms"], "%.2f" % r["ratio"], "%.0f" % r["limit_ms"],
                   "%.2f" % r["ours_over_limit"]] for r in result["transfer"]])
    out += ["", "Requests per call (from the simulator) next to the least its request sequence allows,",
            "and the time of the whole call, which opens and closes its own connection:", ""]
    def cell(row, key, pattern):
        return pattern % row[key] if key in row else "-"
    out += table(["call", "requests", "least", "time us", "same frames, bare socket us", "ours/bare",
                  "requests x round trip us", "ours/limit", "limit with connect us",
                  "ours/limit with connect"],
                 [[r["call"], "%.0f" % r["requests"], "%.0f" % r["least_requests"],
                   cell(r, "time_us", "%.0f"), cell(r, "replay_us", "%.0f"),
                   cell(r, "ours_over_replay", "%.2f"), cell(r, "limit_us", "%.0f"),
                   cell(r, "ours_over_limit", "%.2f"), cell(r, "limit_with_connect_us", "%.0f"),
                   cell(r, "ours_over_limit_with_connect", "%.2f")]
                  for r in result["operations"]])
    out += ["", "\"least\" is what the call's request sequence costs when every read is answered. The",
            "em133 live read costs more: the simulated EM133 has no registers for the EM235-only",
            "energies inside the energy span, so that span is refused and its five points are read",
            "one by one. The log directory probes 17 file numbers with three requests each (request",
            "write, status read, response read), and reads each data log's columns with three more."]
    if result["instructions"]:
        out += ["", "Instructions per record (callgrind, library side only: the simulator's threads are",
                "not counted):", ""]
        out += table(["path", "whole call per record", "of which decoding and formatting"],
                     [[v["label"], "%.0f" % v["library_ir"], "%.0f" % v["format_ir"]]
                      for v in result["instructions"].values()])
    csv = result["instructions"].get("csv")
    if csv:
        share = csv["format_ir"] / csv["library_ir"] * 100 if csv["library_ir"] else 0
        out += ["", "Where the time goes: the library's own work is about %.0f instructions a record in the" %
                csv["library_ir"],
                "CSV export, %.0f %% of it decoding and formatting; the rest (transport, block handling," % share,
                "file writing) comes to about %.0f instructions per request (10 records, 7 requests a" %
                ((csv["library_ir"] - csv["format_ir"]) * 10 / 7),
                "block), well under a microsecond. Everything else is",
                "waiting on the socket and the simulator, which is why the same frames replayed over a",
                "bare socket take about as long as the calls themselves."]
    if result["other"]:
        out += ["", "The other benchmarks of bench/ (medians; formatting without the network, the simulator;",
                "CPU is the benchmark thread's, which other work on the machine does not lengthen):", ""]
        out += table(["benchmark", "wall", "CPU", "counters"],
                     [[r["benchmark"], "%.0f ns" % r["time_ns"], "%.0f ns" % r["cpu_ns"],
                       ", ".join("%s=%s" % (k, fmt_counter(v)) for k, v in r["counters"].items())]
                      for r in result["other"]])
    return "\n".join(out) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("raw_dir")
    ap.add_argument("--json", required=True)
    ap.add_argument("--repetitions", default="5")
    args = ap.parse_args()
    runs, context = load_runs(args.raw_dir)
    rtt_run, connect_run = get(runs, "BM_RoundTrip_Raw"), get(runs, "BM_ConnectRoundTrip_Raw")
    if not (rtt_run and connect_run):
        sys.exit("report: the round-trip benchmarks did not run")
    rtt, connect = rtt_run["ns"], connect_run["ns"]
    rtt_mean = rtt_run["real_time"] * UNIT_NS[rtt_run.get("time_unit", "ns")]
    result = {"machine": machine(), "context": context, "repetitions": args.repetitions,
              "round_trip_ns": rtt, "round_trip_mean_ns": rtt_mean,
              "connect_round_trip_ns": connect,
              "transport": transport_rows(runs, rtt), "transfer": transfer_rows(runs, rtt_mean),
              "operations": operation_rows(runs, rtt, connect), "other": other_rows(runs),
              "instructions": instructions_per_record(args.raw_dir),
              "errors": {k: v["error"] for k, v in runs.items() if "error" in v}}
    with open(args.json, "w") as f:
        json.dump(result, f, indent=1)
    text = markdown(result)
    print(text)
    for name, message in result["errors"].items():
        print("benchmark %s failed: %s" % (name, message), file=sys.stderr)


if __name__ == "__main__":
    main()
