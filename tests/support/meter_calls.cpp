#include "support/meter_calls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "support/temp_dir.h"

namespace tandrel::testing {
namespace {

namespace fs = std::filesystem;

int file_or(const Args& a, int fallback) { return a.file_id >= 0 ? a.file_id : fallback; }

const std::vector<MeterCall> CALLS = {
    {"read_device_info", Output::Document, "host meter out options model", nullptr, [](const Args& a) {
         return tandrel_read_device_info(a.host, a.meter, a.options, a.out, a.out_len, a.err, a.err_len); }},
    {"list_logs", Output::Document, "host meter out options model", nullptr, [](const Args& a) {
         return tandrel_list_logs(a.host, a.meter, a.options, a.out, a.out_len, a.err, a.err_len); }},
    {"read_live", Output::Document, "host meter out model", nullptr, [](const Args& a) {
         return tandrel_read_live(a.host, a.meter, a.out, a.out_len, a.err, a.err_len); }},
    {"read_live_ex", Output::Document, "host meter out options model", nullptr, [](const Args& a) {
         return tandrel_read_live_ex(a.host, a.meter, a.options, a.out, a.out_len, a.err, a.err_len); }},
    {"list_points", Output::Document, "meter out model", nullptr, [](const Args& a) {
         return tandrel_list_points(a.meter, a.out, a.out_len, a.err, a.err_len); }},
    {"read_points", Output::Document, "host meter out model points options", nullptr, [](const Args& a) {
         return tandrel_read_points(a.host, a.meter, a.options, a.points, a.out, a.out_len, a.err, a.err_len); }},
    {"read_datalog", Output::Lines, "host meter cb options model", nullptr, [](const Args& a) {
         return tandrel_read_datalog(a.host, a.meter, file_or(a, 1), a.options, a.cb, a.user, a.err, a.err_len); }},
    {"read_eventlog", Output::Lines, "host meter cb options model", nullptr, [](const Args& a) {
         return tandrel_read_eventlog(a.host, a.meter, file_or(a, 0), a.options, a.cb, a.user, a.err, a.err_len); }},
    {"export_datalog", Output::Files, "host meter csv_path model", nullptr, [](const Args& a) {
         return tandrel_export_datalog(a.host, a.meter, file_or(a, 1), a.path, a.err, a.err_len); }},
    {"export_datalog_ex", Output::Rows, "host meter csv_path options model", nullptr, [](const Args& a) {
         return tandrel_export_datalog_ex(a.host, a.meter, file_or(a, 1), a.path, a.options, a.progress,
                                          a.user, a.err, a.err_len); }},
    {"export_eventlog", Output::Files, "host meter csv_path model", nullptr, [](const Args& a) {
         return tandrel_export_eventlog(a.host, a.meter, file_or(a, 0), a.path, a.err, a.err_len); }},
    {"export_eventlog_ex", Output::Rows, "host meter csv_path model options", nullptr, [](const Args& a) {
         return tandrel_export_eventlog_ex(a.host, a.meter, file_or(a, 0), a.path, a.options, a.progress,
                                           a.user, a.err, a.err_len); }},
    {"export_em133_all", Output::Folder, "host out_dir", "em133", [](const Args& a) {
         return tandrel_export_em133_all(a.host, 0, 0, a.path, a.err, a.err_len); }},
    {"export_em235_diagnostics", Output::Files, "host word_order csv_path", "em235", [](const Args& a) {
         return tandrel_export_em235_diagnostics(a.host, 1, DIAGNOSTICS_REGISTER, 2, a.word_order, a.path,
                                                 a.err, a.err_len); }},
};

void note(std::string& broken, bool kept, const char* rule) {
    if (!kept && broken.empty()) broken = rule;
}

// What the callbacks received.
struct Received {
    std::string lines;
    int count = 0;
    int headers = 0;
    int progress = 0;
    std::string broken;
};

int TANDREL_CALL take_line(const char* text, void* user) {
    auto& r = *static_cast<Received*>(user);
    const std::string line(text);
    const bool header = line.rfind("{\"type\":\"header\"", 0) == 0;
    note(r.broken, line[0] == '{' && is_compact_json(line), "stream line is not a JSON object");
    note(r.broken, header == (r.count == 0), "header missing, repeated or late");
    r.lines += line + '\n';
    r.count += 1;
    r.headers += header ? 1 : 0;
    return 0;
}

int TANDREL_CALL take_progress(int done, int, void* user) {
    auto& r = *static_cast<Received*>(user);
    r.progress += 1;
    note(r.broken, done == r.progress, "progress count skipped or repeated");
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
    bool untouched() const { return filled(bytes.data(), usable); }
    bool terminated() const { return std::memchr(bytes.data(), '\0', usable) != nullptr; }
    std::string text() const { return terminated() ? std::string(bytes.data()) : std::string(); }
    std::size_t usable;
    std::vector<char> bytes;
};

void null_argument(Args& a, const std::string& name) {
    const std::vector<std::pair<const char*, const char**>> texts = {
        {"host", &a.host}, {"meter", &a.meter}, {"points", &a.points}, {"word_order", &a.word_order},
        {"csv_path", &a.path}, {"out_dir", &a.path}};
    for (const auto& t : texts) {
        if (name == t.first) *t.second = nullptr;
    }
    if (name == "out") a.out = nullptr;
    if (name == "err") a.err = nullptr;
    if (name == "cb") a.cb = nullptr;
}

// The files a call wrote, each whole; a folder's in name order (the names
// carry the time), each followed by \f.
std::string written(const MeterCall& call, const char* path, std::string& broken) {
    std::vector<std::string> files;
    if (call.output == Output::Folder) {
        for (const auto& entry : fs::directory_iterator(path)) files.push_back(entry.path().string());
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(path);
    }
    std::string all;
    for (const std::string& f : files) {
        const std::string bytes = file_bytes(f);
        note(broken, bytes.empty() || bytes.back() == '\n', "a CSV file ends inside a line");
        all += call.output == Output::Folder ? bytes + '\f' : bytes;
    }
    return all;
}

void check_error(const Outcome& o, const Guarded& err, std::string& broken) {
    note(broken, o.status >= -1, "status below -1 with no callback asking to stop");
    note(broken, err.guard_intact(), "error buffer overrun");
    note(broken, err.usable == 0 || err.terminated(), "error text not terminated");
    note(broken, err.usable < 2 || o.err.empty() == (o.status != -1), "error text and status disagree");
    note(broken, o.err.find('\n') == std::string::npos, "error text spans lines");
}

void check_output(const MeterCall& call, Outcome& o, const Guarded& out, const Received& got) {
    std::string& broken = o.broken;
    const long lines = std::count(o.output.begin(), o.output.end(), '\n');
    switch (call.output) {
        case Output::Document:
            note(broken, out.guard_intact(), "output buffer overrun");
            note(broken, o.status >= 0 || out.untouched(), "failed call wrote to the output buffer");
            note(broken, o.status < 0 || (out.terminated() && is_compact_json(o.output)),
                 "document is not compact JSON");
            break;
        case Output::Lines:
            note(broken, o.status < 0 || (got.headers == 1 && got.count == o.status + 1),
                 "records delivered differ from the status");
            break;
        case Output::Rows:
            note(broken, o.status < 0 || got.progress == o.status, "progress calls differ from the status");
            note(broken, o.output.empty() ? o.status <= 0 : lines == got.progress + 1,
                 "CSV rows differ from the progress calls");
            break;
        case Output::Files:
        case Output::Folder:
            break;
    }
}

}  // namespace

std::size_t MeterCall::checked_at(const char* what) const {
    return (std::string(" ") + checks + " ").find(std::string(" ") + what + " ");
}

const std::vector<MeterCall>& meter_calls() { return CALLS; }

const MeterCall& meter_call(const std::string& name) {
    for (const MeterCall& c : CALLS) {
        if (name == c.name) return c;
    }
    throw std::invalid_argument("no call " + name);
}

Outcome run_call(const MeterCall& call, Args a, int out_len, int err_len, const std::string& null_args) {
    Guarded out(out_len), err(err_len);
    Received got;
    a.out = out.bytes.data();
    a.out_len = out_len;
    a.err = err.bytes.data();
    a.err_len = err_len;
    a.cb = take_line;
    a.progress = take_progress;
    a.user = &got;
    const bool writes_files =
        call.output != Output::Document && call.output != Output::Lines && a.path != nullptr;
    std::error_code ignored;
    if (writes_files) fs::remove_all(a.path, ignored);
    if (writes_files && call.output == Output::Folder) fs::create_directories(a.path);
    std::istringstream names(null_args);
    for (std::string name; names >> name;) null_argument(a, name);

    Outcome o;
    o.status = call.run(a);
    o.err = err.text();
    o.progress_calls = got.progress;
    o.broken = got.broken;
    if (a.err != nullptr) check_error(o, err, o.broken);
    if (call.output == Output::Document && a.out != nullptr) {
        o.output = o.status >= 0 ? out.text() : "";
    } else if (call.output == Output::Lines) {
        o.output = got.lines;
    } else if (writes_files && a.path != nullptr && fs::exists(a.path)) {
        o.output = written(call, a.path, o.broken);
    }
    if (a.out != nullptr) check_output(call, o, out, got);
    return o;
}

namespace {

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : s_(text) {}
    bool whole() { return value(0) && i_ == s_.size(); }

private:
    bool value(int depth) {
        if (depth > 64) return false;
        if (eat('{')) return items('}', depth, true);
        if (eat('[')) return items(']', depth, false);
        if (peek('"')) return string();
        for (const char* word : {"true", "false", "null"}) {
            if (s_.compare(i_, std::strlen(word), word) == 0) return i_ += std::strlen(word), true;
        }
        return number();
    }
    bool items(char close, int depth, bool object) {
        if (eat(close)) return true;
        do {
            if (object && !(string() && eat(':'))) return false;
            if (!value(depth + 1)) return false;
        } while (eat(','));
        return eat(close);
    }
    bool string() {
        if (!eat('"')) return false;
        while (i_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return true;
            if (c < 0x20 || (c == '\\' && !escape())) return false;
        }
        return false;
    }
    bool escape() {
        if (eat('u')) return hex() && hex() && hex() && hex();
        return i_ < s_.size() && s_[i_] != '\0' && std::strchr("\"\\/bfnrt", s_[i_++]) != nullptr;
    }
    bool hex() { return i_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[i_++])); }
    bool number() {
        eat('-');
        if (!eat('0') && !digits()) return false;
        if (eat('.') && !digits()) return false;
        if (eat('e') || eat('E')) {
            if (!eat('+')) eat('-');
            return digits();
        }
        return true;
    }
    bool digits() {
        const std::size_t start = i_;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
        return i_ > start;
    }
    bool peek(char c) const { return i_ < s_.size() && s_[i_] == c; }
    bool eat(char c) { return peek(c) && (++i_, true); }

    const std::string& s_;
    std::size_t i_ = 0;
};

}  // namespace

bool is_compact_json(const std::string& text) { return JsonReader(text).whole(); }

}  // namespace tandrel::testing
