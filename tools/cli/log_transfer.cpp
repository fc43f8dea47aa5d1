// Log streams through the output callback, CSV exports through the progress callback.
#include "log_transfer.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <exception>

#include "library_call.h"
#include "model_check.h"
#include "platform.h"
#include "progress.h"
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

struct ExportState {
    ProgressLine progress;
    int done = 0;  // rows the file holds: progress comes after each row is written
};

int TANDREL_CALL on_progress(int done, int total, void* user) {
    auto& state = *static_cast<ExportState*>(user);
    state.done = done;
    state.progress.update(done, total);
    return interrupt_requested() ? 1 : 0;
}

// The log number goes with the context: an exception 2 on it means there is no such log.
FailureContext log_context(const Target& target, LogKind kind, int file_id) {
    FailureContext context = failure_context(target);
    if (kind == LogKind::Datalog)
        context.datalog = file_id;
    else
        context.event_file = file_id;
    return context;
}

void report_export(const std::string& csv_path, int records, bool json) {
    if (json)
        std::printf("{\"csv\":%s,\"records\":%d}\n", json_string(csv_path).c_str(), records);
    else
        std::printf("Wrote %d records to %s\n", records, csv_path.c_str());
    std::fflush(stdout);
}

}  // namespace

void add_log_output_options(CLI::App& app, LogCommandOptions& options) {
    app.add_option("--csv", options.csv_path, "Write the log to this CSV file, with a progress bar")
        ->type_name("PATH");
    add_json_flag(app, options.json);
}

int run_log_command(LogKind kind, const LogCommandOptions& options) {
    Target target = resolve_target(options.connection);
    install_interrupt_handler();
    if (!options.csv_path.empty())
        return export_log(target, kind, options.file_id, options.csv_path, options.json);
    return stream_log(target, kind, options.file_id, options.json);
}

int stream_log(Target& target, LogKind kind, int file_id, bool json) {
    if (int code = check_model(target)) return code;
    StreamState state(kind, json);
    ErrorBuffer err;
    auto read = kind == LogKind::Datalog ? tandrel_read_datalog : tandrel_read_eventlog;
    int status = read(target.host.c_str(), target.meter.c_str(), file_id, target.options.c_str(),
                      on_line, &state, err.data(), err.size());
    std::fflush(stdout);
    if (status >= 0) return EXIT_OK;
    if (!state.failure.empty()) return report_failure(-1, state.failure);
    int code = report_failure(status, err.str(), log_context(target, kind, file_id));
    if (status == -2)
        std::fprintf(stderr, "tandrel: stopped after %d records\n", state.records);
    return code;
}

int export_log(Target& target, LogKind kind, int file_id, const std::string& csv_path,
               bool json) {
    if (int code = check_model(target)) return code;
    std::string label = kind == LogKind::Datalog ? "data log " + std::to_string(file_id)
                                                 : std::string("event log");
    ExportState state{ProgressLine(stderr, is_terminal(stderr), label)};
    ErrorBuffer err;
    auto export_ex = kind == LogKind::Datalog ? tandrel_export_datalog_ex : tandrel_export_eventlog_ex;
    int status = export_ex(target.host.c_str(), target.meter.c_str(), file_id, csv_path.c_str(),
                           target.options.c_str(), on_progress, &state, err.data(), err.size());
    if (state.done > 0 || status >= 0) state.progress.finish();
    if (status >= 0) {
        report_export(csv_path, status, json);
        return EXIT_OK;
    }
    int code = report_failure(status, err.str(), log_context(target, kind, file_id));
    if (status == -2 || state.done > 0)
        std::fprintf(stderr, "tandrel: %d records kept in %s\n", state.done, csv_path.c_str());
    return code;
}

}  // namespace tandrel_cli
