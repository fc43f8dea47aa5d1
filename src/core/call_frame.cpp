// Boundary helpers shared by every exported function.
#include "core/call_frame.h"

#include <algorithm>
#include <cstring>

namespace tandrel {

void set_error(const std::string& message, char* err, int err_len) {
    if (err == nullptr || err_len <= 0) return;
    const size_t n = std::min(static_cast<size_t>(err_len) - 1, message.size());
    std::memcpy(err, message.data(), n);
    err[n] = '\0';
}

int write_out(const std::string& text, char* out, int out_len) {
    // Compare in 64 bits: a text of 2 GiB must not wrap into a "fit".
    const long long need = static_cast<long long>(text.size()) + 1;
    if (static_cast<long long>(out_len) < need) {
        throw std::runtime_error("Output buffer too small: need " + std::to_string(need) +
                                 " bytes");
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

void require_non_null(const void* value, const char* name) {
    if (value == nullptr) throw std::runtime_error(std::string(name) + " must not be null");
}

void require_non_null(std::initializer_list<NamedArgument> arguments) {
    for (const NamedArgument& a : arguments) require_non_null(a.value, a.name);
}

void deliver(tandrel_output_cb cb, void* user, const std::string& text) {
    if (cb == nullptr) return;
    if (cb(text.c_str(), user) != 0) throw Cancelled();
}

void report_progress(tandrel_progress_cb cb, void* user, int done, int total) {
    if (cb == nullptr) return;
    if (cb(done, total, user) != 0) throw Cancelled();
}

}  // namespace tandrel
