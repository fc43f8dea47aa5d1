// Calling the library the way any host does: a fixed error buffer, an output
// buffer grown once when the document does not fit, the status mapped to the
// tool's exit codes, and the library's log messages on stderr for --verbose.
#pragma once

#include <functional>
#include <string>

#include "arguments.h"
#include "hints.h"
#include "site_names.h"
#include "tandrel.h"

namespace tandrel_cli {

// Exit statuses of the tool, shared by every subcommand so that scripts can
// tell a failed meter call from a mistyped command line or a Ctrl-C.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_CANCELLED = 130;  // the shell's convention for SIGINT

// One call that writes a document: (out, out_len, err, err_len) -> status.
using DocumentCall = std::function<int(char*, int, char*, int)>;

// The calls that read one document from a meter: host, meter, options, out, err.
using MeterDocumentCall = int(TANDREL_CALL*)(const char* host, const char* meter,
                                             const char* options, char* out, int out_len,
                                             char* err, int err_len);

struct CallResult {
    int status = 0;
    std::string text;   // the document on success
    std::string error;  // the library's message on failure
};

// The N of "Output buffer too small: need N bytes", or -1 for other texts.
long needed_size(const std::string& message);

// Runs `call` with a generous buffer; should the document still not fit, the
// call is repeated once with exactly the size the library asked for.
CallResult fetch_document(const DocumentCall& call);
CallResult fetch_document(MeterDocumentCall call, const Target& target);

int exit_code_for_status(int status);

// Prints "tandrel: <message>" on stderr, and "hint: ..." after it where the
// message has one, and returns the exit code for `status`.
int report_failure(int status, const std::string& message, const FailureContext& context = {});

// The common tail of the document commands: prints the library's JSON as is
// (`json`) or through `view`, or the failure; returns the exit code.
using DocumentView = std::string (*)(const JsonValue& doc);
int print_document(const CallResult& result, bool json, DocumentView view,
                   const FailureContext& context);

class ErrorBuffer {
public:
    char* data() { return text_; }
    int size() const { return static_cast<int>(sizeof text_); }
    std::string str() const { return text_; }

private:
    char text_[1024] = {};
};

// "[debug] Connected to h:502\n": one library log message as --verbose prints it.
std::string log_line(int level, const char* message);
void enable_verbose_log();

}  // namespace tandrel_cli
