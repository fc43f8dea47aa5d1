// Parsing of the tandrel-sim command line; see sim_cli.h.
#include "sim_cli.h"

#include <stdexcept>

namespace tandrel_sim {

namespace {

std::uint16_t parse_port(const std::string& text) {
    std::size_t used = 0;
    long v = -1;
    try {
        v = std::stol(text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != text.size() || v < 0 || v > 65535) throw std::runtime_error("Bad port: " + text);
    return static_cast<std::uint16_t>(v);
}

}  // namespace

CliOptions parse_cli(const std::vector<std::string>& args) {
    CliOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw std::runtime_error("Missing value after " + a);
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--model" || a == "-m") {
            o.model = value();
            o.model_given = true;
        } else if (a == "--address" || a == "-a") {
            o.address = value();
        } else if (a == "--port" || a == "-p") {
            o.port = parse_port(value());
        } else if (a == "--scenario" || a == "-s") {
            o.scenario = value();
        } else if (a == "--trace" || a == "-t") {
            o.trace = true;
        } else if (a == "--deterministic") {
            o.deterministic = true;
        } else if (a == "--no-default-logs") {
            o.no_default_logs = true;
        } else {
            throw std::runtime_error("Unknown option: " + a + " (see --help)");
        }
    }
    return o;
}

std::string help_text() {
    return R"(tandrel-sim: a simulated EM133 / EM235 energy meter serving Modbus TCP.

Usage: tandrel-sim [options]

  -m, --model NAME      em133, em235 or pm335 (read as an em235); default em235
  -a, --address ADDR    IPv4 address to listen on; default 127.0.0.1
  -p, --port N          TCP port; default 5020 (0 picks a free port)
  -s, --scenario FILE   load registers, logs and faults from a JSON file
  -t, --trace           print each request and its answer on one line
      --deterministic   fixed values and a fixed clock (2026-01-01 00:00:00)
      --no-default-logs start without data logs and event log
  -h, --help            this text

Without a scenario the meter serves a plausible live installation: a
three-phase 230/400 V, 50 Hz load with varying currents and power factors
and growing energies; the identification block at 0xB400; the setup
registers; data logs 1-3 (plus a 16-column log 4 on an em235) with a few
hundred records each; an event log of over a hundred events; the em133
clock at 4352-4358 and the em235 diagnostics word at 0x0800 (register 2049),
unit id 1. The meter answers every unit id. Ctrl-C stops it.

Scenario file (every member optional; numbers may be "0x..." texts):
  {
    "model": "em133", "deterministic": false, "default_logs": true,
    "fixed_time": 1767225600, "clock": 1767225600,
    "identity": {"serial": 1, "model_id": 133, "name": "EM133", "options": 0,
                 "firmware_version": 1, "firmware_build": 1,
                 "bootloader_version": 1, "bootloader_build": 1},
    "setup": {"pt_ratio_x10": 10, "high_resolution": 1, "energy_decimals": 2,
              "summary_units": [1, 2, 3]},
    "registers": [{"address": "0x0100", "values": [1, 2, 3]}],
    "points": [{"id": 4352, "raw": 2305}],
    "reject": [{"from": "0x3880", "to": "0x3881", "exception": 2}],
    "diagnostics": {"address": "0x0800", "unit_id": 1, "words": [1, 16]},
    "datalogs": [{"file": 1, "points": [4352, 4353], "records": 300,
                  "first_time": 1767225600, "interval_s": 900, "first_seq": 1,
                  "trigger": 0, "record_words": 0, "records_per_block": 10,
                  "file_info": true, "layout": true, "announced_records": -1,
                  "start_pos": 0, "current_pos": -1, "eof_flag": true,
                  "layout_override": [],
                  "scenarios": [{"kind": "repeat_block", "presentation": 2, "times": 1},
                                {"kind": "empty_header", "presentation": 1, "times": 1},
                                {"kind": "record_flags", "record": 5, "flags": "0x0400"},
                                {"kind": "oversize_header", "presentation": 3,
                                 "count": 7000, "size": 10}]}],
    "eventlog": {"events": [{"source": "0x5A00", "effect": "0x2000", "event_no": 1,
                             "value": -5, "time": 1767225600, "microseconds": 0}],
                 "first_seq": 1, "records_per_block": 10},
    "raw_logs": [{"file": 5, "records": [[1, 1, 0, 0, 0, 0, 0, 0]],
                  "records_per_block": 1, "points": []}],
    "faults": [{"function": 3, "address_lo": "0xB400", "address_hi": "0xB419",
                "request": 2, "unit_id": 1, "once": true, "action": "exception",
                "code": 2, "delay_ms": 0, "mbap_length": 0}]
  }
Fault actions: exception, delay, silence, close, one_byte_segments,
wrong_transaction_id, wrong_function_code, bad_byte_count, mbap_length.
A fault matches when all its given criteria hold; "request" counts from 1 on
each connection. A fault acts once, on the first matching request of any
connection, unless it says "once": false; then it acts on every match.

A member the format does not know is refused, with its place, e.g.
"unknown key 'actoin' in faults[2]" (lists count from 0); "call" and
"expect", which test cases add, are let through. A log whose blocks would
run past the last register (more than 2376 words of records from 0xF6B8) is
refused too, as no meter serves one; "oversize_header" announces such a block.
)";
}

}  // namespace tandrel_sim
