// Status handling shared by every subcommand.
#include "library_call.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "exit_codes.h"

namespace tandrel_cli {
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

int exit_code_for_status(int status) {
    if (status >= 0) return EXIT_OK;
    return status == -2 ? EXIT_CANCELLED : EXIT_FAILED;
}

int report_failure(int status, const std::string& message) {
    std::fprintf(stderr, "tandrel: %s\n", message.c_str());
    return exit_code_for_status(status);
}

}  // namespace tandrel_cli
