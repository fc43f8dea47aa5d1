// What every exported call owes its caller whatever the meter answered: a
// status of -1 or more, a terminated error text inside the error buffer, and
// nothing written outside (or, on failure, inside) the output buffer.
#pragma once

#include <string>
#include <vector>

namespace tandrel::fuzz {

// A caller's buffer with guard bytes behind its usable length.
class GuardedBuffer {
public:
    GuardedBuffer(int usable, char fill);
    char* data() { return bytes_.data(); }
    int usable() const { return usable_; }
    bool guard_intact() const;
    bool untouched() const;   // every usable byte still holds the fill
    std::string text() const;  // up to the first NUL within the usable bytes

private:
    std::vector<char> bytes_;
    int usable_;
    char fill_;
};

// Status, error buffer and, for documents, the output buffer after a call.
void check_error_buffer(int status, GuardedBuffer& err);
void check_document(int status, GuardedBuffer& out);

// Checks on the lines an output callback received and on a CSV file written.
struct StreamCheck {
    int lines = 0;
    int headers = 0;
};
int record_line(const char* text, void* user);  // an output callback
void check_stream(int status, const StreamCheck& stream);
void check_csv(int status, const std::string& path, int progress_calls, int last_done);

}  // namespace tandrel::fuzz
