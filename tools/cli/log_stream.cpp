// Log streams through the output callback.
#include <cstdio>
#include <cstring>
#include <exception>

#include "exit_codes.h"
#include "interrupt.h"
#include "library_call.h"
#include "log_runs.h"
#include "tandrel.h"

namespace tandrel_cli {
namespace {

struct StreamState {
    StreamState(LogKind kind, bool json_lines) : view(kind), json(json_lines) {}
    StreamView view;
    bool json;
    int records = 0;
    std::string failure;  // why the tool itself stopped the stream
};

// --json passes each line through untouched; only the tables need it parsed.
void handle_line(StreamState& state, const char* text) {
    static const char RECORD_PREFIX[] = "{\"type\":\"record\"";
    if (std::strncmp(text, RECORD_PREFIX, sizeof RECORD_PREFIX - 1) == 0) ++state.records;
    if (state.json) {
        std::fputs(text, stdout);
        std::fputc('\n', stdout);
        return;
    }
    std::fputs(state.view.text_for(parse_json(text)).c_str(), stdout);
}

// Runs on the calling thread; an exception must not cross the library, so a
// bad line stops the call and is reported afterwards.
int TANDREL_CALL on_line(const char* text, void* user) {
    auto& state = *static_cast<StreamState*>(user);
    try {
        handle_line(state, text);
    } catch (const std::exception& e) {
        state.failure = e.what();
        return 1;
    }
    return interrupt_requested() ? 1 : 0;
}

}  // namespace

int stream_log(const Target& target, LogKind kind, int file_id, bool json) {
    StreamState state(kind, json);
    ErrorBuffer err;
    auto read = kind == LogKind::Datalog ? tandrel_read_datalog : tandrel_read_eventlog;
    int status = read(target.host.c_str(), target.meter.c_str(), file_id, target.options.c_str(),
                      on_line, &state, err.data(), err.size());
    std::fflush(stdout);
    if (status >= 0) return EXIT_OK;
    if (!state.failure.empty()) return report_failure(-1, state.failure);
    int code = report_failure(status, err.str());
    if (status == -2)
        std::fprintf(stderr, "tandrel: stopped after %d records\n", state.records);
    return code;
}

}  // namespace tandrel_cli
