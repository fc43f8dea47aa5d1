// The harnesses. Caller texts go to the options and point-list
// parsers, cut at their first NUL as a C string would be. Meter answers go to
// each kind of call: byte 0 of an input picks the model and the call's variant
// (buffer sizes, point list, file, stream or CSV), the rest is the tape the
// fake meter answers from.
#include "harnesses.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <stdexcept>

#include "core/options.h"
#include "meter/point_selection.h"
#include "support/meter_calls.h"

namespace tandrel::fuzz {
namespace {

std::string c_text(const std::uint8_t* data, std::size_t size) {
    const auto* begin = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(begin, '\0', size);
    return std::string(begin, nul ? static_cast<const char*>(nul) : begin + size);
}

int fuzz_options(const std::uint8_t* data, std::size_t size) {
    try {
        const Options o = parse_options(c_text(data, size).c_str());
        harness_check(o.port >= 1, "options: port 0 accepted");
        harness_check(o.timeout_ms >= 100 && o.timeout_ms <= 3600000,
                      "options: time-out outside 100-3600000 accepted");
    } catch (const std::runtime_error& e) {
        const std::string m = e.what();
        harness_check(m == "options.port must be 1-65535" || m == "options.unit_id must be 0-255" ||
                          m == "options.timeout_ms must be 100-3600000",
                      "options: unexpected message");
    }
    return 0;
}

int fuzz_point_list(const std::uint8_t* data, std::size_t size) {
    const std::string text = c_text(data, size);
    try {
        harness_check(parse_point_list(text).size() == scan_point_list(text).size(),
                      "point list: an item lost or added");
    } catch (const std::runtime_error& e) {
        static const std::regex EXPECTED("^(points: |Point 0x|Unknown point ')");
        harness_check(std::regex_search(e.what(), EXPECTED), "point list: unexpected message");
    }
    return 0;
}

const char* const POINT_LISTS[] = {
    "[3072, 0x0C01, \"V1\"]", "5888 5889 5890", "\"kWh import\", 18304", "14083, 4352, 4352",
    "\"Frequency\"",          "[5120,5121,3840]", "0x1700,0x1701",       "4224",
};

unsigned selector(const std::uint8_t* data, std::size_t size) { return size > 0 ? data[0] : 0; }

// Runs the call against the tape in data[1...]. Byte 0 picks the model and,
// for a document, mostly a roomy buffer, sometimes a tight one (so that
// "Output buffer too small" is reached) and sometimes a short error buffer.
testing::Outcome call_meter(const char* name, const std::uint8_t* data, std::size_t size,
                            testing::Args a = {}) {
    static const char* const MODELS[] = {"em133", "em235", "pm335"};
    // One file per process, so that parallel fuzzing jobs do not share it.
    static const std::string csv_path =
        (std::filesystem::temp_directory_path() / ("tandrel_fuzz_" + std::to_string(std::random_device{}()) + ".csv"))
            .string();
    const unsigned byte0 = selector(data, size);
    const std::string options = install_tape(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
    a.meter = MODELS[byte0 % 3];
    a.options = options.c_str();
    a.path = csv_path.c_str();
    const testing::MeterCall& call = testing::meter_call(name);
    const bool document = call.output == testing::Output::Document;
    const testing::Outcome o = testing::run_call(call, a, document && (byte0 & 0x80) ? int(byte0 & 0x7F) * 8 : 65536,
                                                 document && (byte0 & 0x40) ? 12 : 256);
    std::remove(a.path);
    return o;
}

int fuzz_point_reading(const std::uint8_t* data, std::size_t size) {
    const unsigned variant = (selector(data, size) / 3) % 9;
    testing::Args a;
    if (variant < 8) a.points = POINT_LISTS[variant];
    call_meter(variant < 8 ? "read_points" : "read_live_ex", data, size, a);
    return 0;
}

// Byte 0's top bit picks the CSV export over the stream.
int fuzz_datalog(const std::uint8_t* data, std::size_t size) {
    testing::Args a;
    a.file_id = 1 + static_cast<int>((selector(data, size) / 3) % 16);
    call_meter(selector(data, size) & 0x80 ? "export_datalog_ex" : "read_datalog", data, size, a);
    return 0;
}

}  // namespace

const NamedHarness HARNESSES[7] = {
    {"options", fuzz_options},
    {"point_list", fuzz_point_list},
    {"device_info", [](const std::uint8_t* data, std::size_t size) {
         call_meter("read_device_info", data, size);
         return 0; }},
    {"point_reading", fuzz_point_reading},
    {"log_directory", [](const std::uint8_t* data, std::size_t size) {
         call_meter("list_logs", data, size);
         return 0; }},
    {"datalog", fuzz_datalog},
    {"eventlog", [](const std::uint8_t* data, std::size_t size) {
         call_meter(selector(data, size) & 0x80 ? "export_eventlog_ex" : "read_eventlog", data, size);
         return 0; }},
};

void harness_check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

}  // namespace tandrel::fuzz
