// Document buffers for the library's calls.
#include "document_call.h"

#include <cstdlib>
#include <vector>

namespace tandrel_site {
namespace {

constexpr int FIRST_BUFFER_SIZE = 256 * 1024;

int call_once(const DocumentCall& call, std::vector<char>& out, CallResult& result) {
    ErrorBuffer err;
    int status = call(out.data(), static_cast<int>(out.size()), err.data(), err.size());
    result.status = status;
    result.error = status < 0 ? err.str() : std::string();
    if (status >= 0) result.text = out.data();
    return status;
}

}  // namespace

long needed_size(const std::string& message) {
    static const std::string PREFIX = "Output buffer too small: need ";
    if (message.compare(0, PREFIX.size(), PREFIX) != 0) return -1;
    const char* digits = message.c_str() + PREFIX.size();
    char* end = nullptr;
    long n = std::strtol(digits, &end, 10);
    if (end == digits || n <= 0) return -1;
    return n;
}

CallResult fetch_document(const DocumentCall& call) {
    CallResult result;
    std::vector<char> out(FIRST_BUFFER_SIZE, '\0');
    if (call_once(call, out, result) != -1) return result;
    long need = needed_size(result.error);
    if (need <= 0 || need > 0x7FFFFFFF) return result;
    out.assign(static_cast<size_t>(need), '\0');
    call_once(call, out, result);
    return result;
}

CallResult fetch_document(MeterDocumentCall call, const MeterTarget& target) {
    return fetch_document([&](char* out, int out_len, char* err, int err_len) {
        return call(target.host.c_str(), target.meter.c_str(), target.options.c_str(), out,
                    out_len, err, err_len);
    });
}

}  // namespace tandrel_site
