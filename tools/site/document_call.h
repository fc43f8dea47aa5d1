// Calling the library the way any host does: a fixed error buffer, and an
// output buffer grown once when the document does not fit.
#pragma once

#include <functional>
#include <string>

#include "endpoint.h"
#include "tandrel.h"

namespace tandrel_site {

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
CallResult fetch_document(MeterDocumentCall call, const MeterTarget& target);

class ErrorBuffer {
public:
    char* data() { return text_; }
    int size() const { return static_cast<int>(sizeof text_); }
    std::string str() const { return text_; }

private:
    char text_[1024] = {};
};

}  // namespace tandrel_site
