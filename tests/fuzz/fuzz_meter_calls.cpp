// Meter answers to each kind of call. Byte 0 of an input picks the model and
// the call's variant (buffer size, point list, file, stream or CSV); the rest
// is the tape the fake peer answers from (fuzz_script.h).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "call_checks.h"
#include "fuzz_peer.h"
#include "harnesses.h"
#include "tandrel.h"

namespace tandrel::fuzz {
namespace {

const char* const MODELS[] = {"em133", "em235", "pm335"};

const char* const POINT_LISTS[] = {
    "[3072, 0x0C01, \"V1\"]", "5888 5889 5890", "\"kWh import\", 18304", "14083, 4352, 4352",
    "\"Frequency\"",          "[5120,5121,3840]", "0x1700,0x1701",       "4224",
};

struct Input {
    unsigned selector = 0;
    std::string options;
};

Input take_input(const std::uint8_t* data, std::size_t size) {
    Input in;
    in.selector = size > 0 ? data[0] : 0;
    in.options = install_tape(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
    return in;
}

const char* model_of(unsigned selector) { return MODELS[selector % 3]; }

// Mostly roomy, sometimes tight, so that "Output buffer too small" is reached.
int out_len_of(unsigned selector) { return (selector & 0x80) ? int(selector & 0x7F) * 8 : 65536; }

struct Progress {
    int calls = 0;
    int last_done = 0;
};

int count_progress(int done, int /*total*/, void* user) {
    auto& p = *static_cast<Progress*>(user);
    p.calls += 1;
    p.last_done = done;
    return 0;
}

// One file per process, so that parallel fuzzing jobs do not share it.
std::string csv_path() {
    static const std::string path =
        (std::filesystem::temp_directory_path() /
         ("tandrel_fuzz_" + std::to_string(std::random_device{}()) + ".csv"))
            .string();
    return path;
}

void count_outcome(int status) {
    CallOutcomes& o = call_outcomes();
    (status >= 0 ? o.succeeded : o.failed) += 1;
}

template <typename Call>
int document_call(const Input& in, Call&& call) {
    GuardedBuffer out(out_len_of(in.selector), '\x5A');
    GuardedBuffer err(in.selector & 0x40 ? 12 : 256, '\x5A');
    const int status = call(out.data(), out.usable(), err.data(), err.usable());
    check_error_buffer(status, err);
    check_document(status, out);
    count_outcome(status);
    return status;
}

}  // namespace

int fuzz_device_info(const std::uint8_t* data, std::size_t size) {
    const Input in = take_input(data, size);
    document_call(in, [&](char* out, int out_len, char* err, int err_len) {
        const int s = tandrel_read_device_info("127.0.0.1", model_of(in.selector),
                                               in.options.c_str(), out, out_len, err, err_len);
        harness_check(s < 0 || static_cast<int>(std::strlen(out)) == s,
                      "device info status is not the document length");
        return s;
    });
    return 0;
}

int fuzz_point_reading(const std::uint8_t* data, std::size_t size) {
    const Input in = take_input(data, size);
    const unsigned variant = (in.selector / 3) % 9;
    document_call(in, [&](char* out, int out_len, char* err, int err_len) {
        if (variant == 8) {
            return tandrel_read_live_ex("127.0.0.1", model_of(in.selector), in.options.c_str(),
                                        out, out_len, err, err_len);
        }
        return tandrel_read_points("127.0.0.1", model_of(in.selector), in.options.c_str(),
                                   POINT_LISTS[variant], out, out_len, err, err_len);
    });
    return 0;
}

int fuzz_log_directory(const std::uint8_t* data, std::size_t size) {
    const Input in = take_input(data, size);
    document_call(in, [&](char* out, int out_len, char* err, int err_len) {
        return tandrel_list_logs("127.0.0.1", model_of(in.selector), in.options.c_str(), out,
                                 out_len, err, err_len);
    });
    return 0;
}

namespace {

void stream_or_export(const Input& in, int file_id, bool eventlog) {
    GuardedBuffer err(256, '\x5A');
    const char* model = model_of(in.selector);
    if (in.selector & 0x80) {
        const std::string path = csv_path();
        Progress progress;
        const int status =
            eventlog ? tandrel_export_eventlog_ex("127.0.0.1", model, file_id, path.c_str(),
                                                  in.options.c_str(), count_progress, &progress,
                                                  err.data(), err.usable())
                     : tandrel_export_datalog_ex("127.0.0.1", model, file_id, path.c_str(),
                                                 in.options.c_str(), count_progress, &progress,
                                                 err.data(), err.usable());
        check_error_buffer(status, err);
        check_csv(status, path, progress.calls, progress.last_done);
        count_outcome(status);
        std::remove(path.c_str());
        return;
    }
    StreamCheck stream;
    const int status =
        eventlog ? tandrel_read_eventlog("127.0.0.1", model, file_id, in.options.c_str(),
                                         record_line, &stream, err.data(), err.usable())
                 : tandrel_read_datalog("127.0.0.1", model, file_id, in.options.c_str(),
                                        record_line, &stream, err.data(), err.usable());
    check_error_buffer(status, err);
    check_stream(status, stream);
    count_outcome(status);
}

}  // namespace

int fuzz_datalog(const std::uint8_t* data, std::size_t size) {
    const Input in = take_input(data, size);
    stream_or_export(in, 1 + static_cast<int>((in.selector / 3) % 16), false);
    return 0;
}

int fuzz_eventlog(const std::uint8_t* data, std::size_t size) {
    const Input in = take_input(data, size);
    stream_or_export(in, 0, true);
    return 0;
}

}  // namespace tandrel::fuzz
