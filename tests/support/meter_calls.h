// Every exported function that takes a pointer, behind one signature, and a
// runner that calls one with guarded buffers and checks what any caller is
// owed whatever the meter answered. The integration cases, the misuse tests,
// the fault matrix, the soak and the fuzz harnesses all work from this one
// table. It needs nothing but the public header, so that the fuzz build can
// link it too.
#pragma once

#include <string>
#include <vector>

#include "tandrel.h"

namespace tandrel::testing {

// How a call hands its result to the caller; the last three write files.
enum class Output {
    Document,  // JSON in `out`, all or nothing
    Lines,     // a header and one line per record through the output callback
    Rows,      // a CSV file at `path`, with a progress call per record
    Files,     // a CSV file at `path`, without progress calls
    Folder,    // CSV files in the folder `path`
};

// The register number (counted from 1) the diagnostics call reads on unit 1.
constexpr int DIAGNOSTICS_REGISTER = 0x3E81;

// Every argument of every call; a call reads the ones it takes.
struct Args {
    const char* host = "127.0.0.1";
    const char* meter = "em235";
    const char* options = nullptr;
    const char* points = "[4352, 5120, \"kWh import\", 3072, 0x0C01]";
    const char* word_order = "HI_FIRST";
    const char* path = nullptr;
    int file_id = -1;  // -1: data log 1, event log 0
    int set_clock = 0;
    int clock_param = 0;
    int unit_id = 1;
    int register_no = DIAGNOSTICS_REGISTER;
    int count = 2;
    char* out = nullptr;
    int out_len = 0;
    tandrel_output_cb cb = nullptr;
    tandrel_progress_cb progress = nullptr;
    void* user = nullptr;
    char* err = nullptr;
    int err_len = 0;
};

struct MeterCall {
    const char* name;
    Output output;
    bool takes_options;
    const char* only_model;  // the model a fixed-purpose call is for, else null
    int (*run)(const Args&);
};

const std::vector<MeterCall>& meter_calls();
const MeterCall& meter_call(const std::string& name);

struct Outcome {
    int status = 0;
    std::string err;
    // The document, the lines (each ended by \n), the CSV bytes, or each file
    // of a folder followed by \f.
    std::string output;
    int progress_calls = 0;
    std::string broken;  // the first rule of the contract the call broke, while it ran
};

// Runs `call` with an output and an error buffer of the given usable lengths
// (none for a length below 1), each followed by guard bytes, and throws
// std::logic_error naming the rule when the call broke what any caller is
// owed: a test fails, a fuzzer stops at the input. The names in
// `null_args` ("host", "out", "err", ...: the names the library's messages
// give them) are passed as null pointers.
Outcome run_call(const MeterCall& call, Args args, int out_len = 1 << 16, int err_len = 256,
                 const std::string& null_args = "");

// One JSON value written the library's way: no white space outside strings,
// control bytes escaped, numbers in JSON form (a "nan" fails).
bool is_compact_json(const std::string& text);

}  // namespace tandrel::testing
