#include "support/meter_calls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "support/temp_dir.h"

namespace tandrel::testing {
namespace {

namespace fs = std::filesystem;

int file_or(const Args& a, int fallback) { return a.file_id >= 0 ? a.file_id : fallback; }

const std::vector<MeterCall> CALLS = {
    {"read_device_info", Output::Document, true, nullptr, [](const Args& a) {
         return tandrel_read_device_info(a.host, a.meter, a.options, a.out, a.out_len, a.err, a.err_len); }},
    {"list_logs", Output::Document, true, nullptr, [](const Args& a) {
         return tandrel_list_logs(a.host, a.meter, a.options, a.out, a.out_len, a.err, a.err_len); }},
    {"read_live", Output::Document, false, nullptr, [](const Args& a) {
         return tandrel_read_live(a.host, a.meter, a.out, a.out_len, a.err, a.err_len); }},
    {"read_live_ex", Output::Document, true, nullptr, [](const Args& a) {
         return tandrel_read_live_ex(a.host, a.meter, a.options, a.out, a.out_len, a.err, a.err_len); }},
    {"list_points", Output::Document, false, nullptr, [](const Args& a) {
         return tandrel_list_points(a.meter, a.out, a.out_len, a.err, a.err_len); }},
    {"read_points", Output::Document, true, nullptr, [](const Args& a) {
         return tandrel_read_points(a.host, a.meter, a.options, a.points, a.out, a.out_len, a.err, a.err_len); }},
    {"read_datalog", Output::Lines, true, nullptr, [](const Args& a) {
         return tandrel_read_datalog(a.host, a.meter, file_or(a, 1), a.options, a.cb, a.user, a.err, a.err_len); }},
    {"read_eventlog", Output::Lines, true, nullptr, [](const Args& a) {
         return tandrel_read_eventlog(a.host, a.meter, file_or(a, 0), a.options, a.cb, a.user, a.err, a.err_len); }},
    {"export_datalog", Output::Files, false, nullptr, [](const Args& a) {
         return tandrel_export_datalog(a.host, a.meter, file_or(a, 1), a.path, a.err, a.err_len); }},
    {"export_datalog_ex", Output::Rows, true, nullptr, [](const Args& a) {
         return tandrel_export_datalog_ex(a.host, a.meter, file_or(a, 1), a.path, a.options, a.progress,
                                          a.user, a.err, a.err_len); }},
    {"export_eventlog", Output::Files, false, nullptr, [](const Args& a) {
         return tandrel_export_eventlog(a.host, a.meter, file_or(a, 0), a.path, a.err, a.err_len); }},
    {"export_eventlog_ex", Output::Rows, true, nullptr, [](const Args& a) {
         return tandrel_export_eventlog_ex(a.host, a.meter, file_or(a, 0), a.path, a.options, a.progress,
                                           a.user, a.err, a.err_len); }},
    {"export_em133_all", Output::Folder, false, "em133", [](const Args& a) {
         return tandrel_export_em133_all(a.host, a.set_clock, a.clock_param, a.path, a.err, a.err_len); }},
    {"export_em235_diagnostics", Output::Files, false, "em235", [](const Args& a) {
         return tandrel_export_em235_diagnostics(a.host, a.unit_id, a.register_no, a.count, a.word_order,
                                                 a.path, a.err, a.err_len); }},
};

void note(std::string& broken, bool kept, const char* rule) {
    if (!kept && broken.empty()) broken = rule;
}

int TANDREL_CALL take_line(const char* text, void* user) {
    auto& o = *static_cast<Outcome*>(user);
    const std::string line(text);
    note(o.broken, line[0] == '{' && is_compact_json(line), "stream line is not a JSON object");
    note(o.broken, o.output.empty() == (line.rfind("{\"type\":\"header\"", 0) == 0),
         "header missing, repeated or late");
    o.output += line + '\n';
    return 0;
}

int TANDREL_CALL take_progress(int done, int, void* user) {
    auto& o = *static_cast<Outcome*>(user);
    note(o.broken, done == ++o.progress_calls, "progress count skipped or repeated");
    return 0;
}

constexpr std::size_t GUARD = 16;
constexpr char FILL = 'Z';

// Every byte holds the fill: the range equals itself shifted by one. One
// memcmp, where a byte loop under the sanitizers was a tenth of a fuzz run.
bool filled(const char* p, std::size_t n) {
    return n == 0 || (p[0] == FILL && std::memcmp(p, p + 1, n - 1) == 0);
}

// A caller's buffer: `usable` bytes, then guard bytes.
struct Guarded {
    explicit Guarded(int len) : usable(len > 0 ? std::size_t(len) : 0), bytes(usable + GUARD, FILL) {}
    bool guard_intact() const { return filled(bytes.data() + usable, GUARD); }
    bool terminated() const { return std::memchr(bytes.data(), '\0', usable) != nullptr; }
    std::string text() const { return terminated() ? std::string(bytes.data()) : std::string(); }
    std::size_t usable;
    std::vector<char> bytes;
};

void null_argument(Args& a, const std::string& name) {
    if (name == "host") a.host = nullptr;
    if (name == "meter") a.meter = nullptr;
    if (name == "points") a.points = nullptr;
    if (name == "word_order") a.word_order = nullptr;
    if (name == "csv_path" || name == "out_dir") a.path = nullptr;
    if (name == "out") a.out = nullptr;
    if (name == "err") a.err = nullptr;
    if (name == "cb") a.cb = nullptr;
}

// The files a call wrote, each whole; a folder's in name order (the names
// carry the time), each followed by \f.
std::string written(Output output, const char* path, std::string& broken) {
    std::set<std::string> files;
    if (output != Output::Folder) files.insert(path);
    if (output == Output::Folder) {
        for (const auto& entry : fs::directory_iterator(path)) files.insert(entry.path().string());
    }
    std::string all;
    for (const std::string& f : files) {
        const std::string bytes = file_bytes(f);
        note(broken, bytes.empty() || bytes.back() == '\n', "a CSV file ends inside a line");
        all += output == Output::Folder ? bytes + '\f' : bytes;
    }
    return all;
}

void check_output(const MeterCall& call, Outcome& o, const Guarded& out) {
    const long lines = std::count(o.output.begin(), o.output.end(), '\n');
    const bool length_kept = call.name != std::string("read_device_info") || o.output.size() == std::size_t(o.status);
    note(o.broken, o.status < 0 || length_kept, "device info status is not the document length");
    if (call.output == Output::Document) {
        note(o.broken, out.guard_intact(), "output buffer overrun");
        note(o.broken, o.status >= 0 || filled(out.bytes.data(), out.usable),
             "failed call wrote to the output buffer");
        note(o.broken, o.status < 0 || (out.terminated() && is_compact_json(o.output)),
             "document is not compact JSON");
    } else if (call.output == Output::Lines) {
        note(o.broken, o.status < 0 || lines == o.status + 1, "records delivered differ from the status");
    } else if (call.output == Output::Rows) {
        note(o.broken, o.status < 0 || o.progress_calls == o.status, "progress calls differ from the status");
        note(o.broken, o.output.empty() ? o.status <= 0 : lines == o.progress_calls + 1,
             "CSV rows differ from the progress calls");
    }
}

}  // namespace

// Bytes above 0x7F stand in for themselves: the library passes a meter's
// text through as it came, and the JSON grammar is what is checked here.
bool is_compact_json(const std::string& text) {
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            in_string = !in_string;
        } else if (in_string && text[i] == '\\') {
            ++i;
        } else if (!in_string && std::isspace(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    std::string ascii = text;
    std::replace_if(ascii.begin(), ascii.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; }, 'x');
    return nlohmann::json::accept(ascii);
}

const std::vector<MeterCall>& meter_calls() { return CALLS; }

const MeterCall& meter_call(const std::string& name) {
    const auto c = std::find_if(CALLS.begin(), CALLS.end(), [&](const MeterCall& m) { return name == m.name; });
    if (c == CALLS.end()) throw std::invalid_argument("no call " + name);
    return *c;
}

Outcome run_call(const MeterCall& call, Args a, int out_len, int err_len, const std::string& null_args) {
    Guarded out(out_len), err(err_len);
    Outcome o;
    a.out = out.bytes.data();
    a.out_len = out_len;
    a.err = err.bytes.data();
    a.err_len = err_len;
    a.cb = take_line;
    a.progress = take_progress;
    a.user = &o;
    const bool files = call.output >= Output::Rows && a.path != nullptr;
    std::error_code ignored;
    if (files) fs::remove_all(a.path, ignored);
    if (files && call.output == Output::Folder) fs::create_directories(a.path);
    std::istringstream names(null_args);
    for (std::string name; names >> name;) null_argument(a, name);

    o.status = call.run(a);
    o.err = err.text();
    if (call.output == Output::Document && o.status >= 0) o.output = out.text();
    if (files && a.path != nullptr && fs::exists(a.path)) o.output = written(call.output, a.path, o.broken);
    note(o.broken, o.status >= -1, "status below -1 with no callback asking to stop");
    if (a.err != nullptr) {
        note(o.broken, err.guard_intact(), "error buffer overrun");
        note(o.broken, err.usable == 0 || err.terminated(), "error text not terminated");
        note(o.broken, err.usable < 2 || o.err.empty() == (o.status != -1), "error text and status disagree");
        note(o.broken, o.err.find('\n') == std::string::npos, "error text spans lines");
    }
    if (a.out != nullptr) check_output(call, o, out);
    if (!o.broken.empty()) throw std::logic_error(std::string(call.name) + ": " + o.broken + " (" + o.err + ")");
    return o;
}

}  // namespace tandrel::testing
