// Calling the library the way any host does: fixed error buffer, output
// buffer grown once when the document does not fit, status mapped to the
// tool's exit codes.
#pragma once

#include <functional>
#include <string>

namespace tandrel_cli {

// One call that writes a document: (out, out_len, err, err_len) -> status.
using DocumentCall = std::function<int(char*, int, char*, int)>;

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

int exit_code_for_status(int status);

// Prints "tandrel: <message>" on stderr and returns the exit code for `status`.
int report_failure(int status, const std::string& message);

class ErrorBuffer {
public:
    char* data() { return text_; }
    int size() const { return static_cast<int>(sizeof text_); }
    std::string str() const { return text_; }

private:
    char text_[1024] = {};
};

}  // namespace tandrel_cli
