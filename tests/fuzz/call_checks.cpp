#include "call_checks.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "harnesses.h"
#include "json_check.h"

namespace tandrel::fuzz {
namespace {
constexpr int GUARD = 16;
}

GuardedBuffer::GuardedBuffer(int usable, char fill)
    : bytes_(static_cast<size_t>(usable) + GUARD, fill), usable_(usable), fill_(fill) {}

namespace {
// Every byte of [begin, begin + size) holds fill: the range equals itself
// shifted by one byte. One memcmp, where a byte loop under the sanitizers was
// a tenth of a fuzz run.
bool all_fill(const char* begin, size_t size, char fill) {
    if (size == 0) return true;
    return begin[0] == fill && std::memcmp(begin, begin + 1, size - 1) == 0;
}
}  // namespace

bool GuardedBuffer::guard_intact() const {
    return all_fill(bytes_.data() + usable_, bytes_.size() - static_cast<size_t>(usable_), fill_);
}

bool GuardedBuffer::untouched() const {
    return all_fill(bytes_.data(), static_cast<size_t>(usable_), fill_);
}

std::string GuardedBuffer::text() const {
    const char* begin = bytes_.data();
    const void* nul = std::memchr(begin, '\0', static_cast<size_t>(usable_));
    return nul ? std::string(begin, static_cast<const char*>(nul)) : std::string();
}

void check_error_buffer(int status, GuardedBuffer& err) {
    harness_check(status >= -1, "status below -1 without a callback asking to stop");
    harness_check(err.guard_intact(), "error buffer overrun");
    harness_check(std::memchr(err.data(), '\0', static_cast<size_t>(err.usable())) != nullptr,
                  "error text not terminated");
    harness_check((status == -1) == !err.text().empty() || err.usable() < 2,
                  "error text and status disagree");
    harness_check(err.text().find('\n') == std::string::npos, "error text spans lines");
}

void check_document(int status, GuardedBuffer& out) {
    harness_check(out.guard_intact(), "output buffer overrun");
    if (status < 0) {
        harness_check(out.untouched(), "failed call wrote to the output buffer");
        return;
    }
    const std::string doc = out.text();
    harness_check(std::memchr(out.data(), '\0', static_cast<size_t>(out.usable())) != nullptr,
                  "document not terminated");
    harness_check(is_compact_json(doc), "document is not compact JSON");
}

int record_line(const char* text, void* user) {
    auto& stream = *static_cast<StreamCheck*>(user);
    const std::string line(text);
    harness_check(is_compact_json(line) && line[0] == '{', "stream line is not a JSON object");
    const bool header = line.rfind("{\"type\":\"header\"", 0) == 0;
    harness_check(header == (stream.lines == 0), "header missing, repeated or late");
    stream.lines += 1;
    stream.headers += header ? 1 : 0;
    return 0;
}

void check_stream(int status, const StreamCheck& stream) {
    if (status < 0) return;
    harness_check(stream.headers == 1, "successful stream without exactly one header");
    harness_check(stream.lines == status + 1, "status differs from the records delivered");
}

void check_csv(int status, const std::string& path, int progress_calls, int last_done) {
    harness_check(progress_calls == (status < 0 ? progress_calls : status),
                  "progress calls differ from the records written");
    harness_check(last_done == progress_calls, "progress count skipped or repeated");
    if (status < 0) return;
    std::ifstream file(path, std::ios::binary);
    const std::string body((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    harness_check(body.empty() || body.back() == '\n', "CSV ends inside a line");
    long lines = 0;
    for (const char c : body) lines += c == '\n' ? 1 : 0;
    harness_check(status == 0 || lines == status + 1, "CSV lines differ from the status");
}

}  // namespace tandrel::fuzz
