// The frame every exported function runs in: exceptions inside, status codes
// and the caller's error buffer outside. Also the helpers that cross the
// boundary: the output buffer, the output and progress callbacks.
#pragma once

#include <exception>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "core/log_sink.h"
#include "tandrel.h"

namespace tandrel {

// Thrown only by deliver() and report_progress() when a callback asks to stop.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("Cancelled by caller") {}
};

// Copies at most err_len - 1 bytes of the message and always terminates it.
void set_error(const std::string& message, char* err, int err_len);

// Copies text and terminator when they fit, else throws "Output buffer too small".
int write_out(const std::string& text, char* out, int out_len);

void require_non_null(const void* value, const char* name);

struct NamedArgument {
    const void* value;
    const char* name;
};

// Tests the pointer arguments in order: the first null one ends the call
// with "<name> must not be null".
void require_non_null(std::initializer_list<NamedArgument> arguments);

void deliver(tandrel_output_cb cb, void* user, const std::string& text);

void report_progress(tandrel_progress_cb cb, void* user, int done, int total);

// Runs the work of one exported function: every exception becomes a status
// and the error text. The end of a host thread (glibc's pthread_exit or a
// cancellation, inside a callback or a wait) unwinds the stack without a C++
// exception behind it: it must pass, or the C library aborts the process.
template <typename Work>
int run_safe(char* err, int err_len, Work&& work) {
    if (err != nullptr && err_len >= 1) err[0] = '\0';
    try {
        return work();
    } catch (const Cancelled& c) {
        set_error(c.what(), err, err_len);
        return -2;
    } catch (const std::exception& e) {
        try {
            log_msg(LogLevel::Error, e.what());
        } catch (...) {
            if (!std::current_exception()) throw;  // the thread is ending
            // A failing log delivery must not hide the caller's error text.
        }
        set_error(e.what(), err, err_len);
        return -1;
    } catch (...) {
        if (!std::current_exception()) throw;  // the thread is ending
        set_error("Unknown error", err, err_len);
        return -1;
    }
}

// run_safe for a function that hands back a pointer: null on any failure.
template <typename T, typename Work>
T* run_safe_pointer(char* err, int err_len, Work&& work) {
    T* result = nullptr;
    run_safe(err, err_len, [&] {
        result = work();
        return 0;
    });
    return result;
}

}  // namespace tandrel
