// Log exports to CSV through the progress callback.
#include <unistd.h>

#include <cstdio>

#include "exit_codes.h"
#include "interrupt.h"
#include "json_out.h"
#include "library_call.h"
#include "log_runs.h"
#include "progress_bar.h"
#include "tandrel.h"

namespace tandrel_cli {
namespace {

struct ExportState {
    ProgressBar bar;
    int done = 0;  // rows the file holds: progress comes after each row is written
};

int TANDREL_CALL on_progress(int done, int total, void* user) {
    auto& state = *static_cast<ExportState*>(user);
    state.done = done;
    state.bar.update(done, total);
    return interrupt_requested() ? 1 : 0;
}

void report_success(const std::string& csv_path, int records, bool json) {
    if (json)
        std::printf("{\"csv\":%s,\"records\":%d}\n", json_string(csv_path).c_str(), records);
    else
        std::printf("Wrote %d records to %s\n", records, csv_path.c_str());
    std::fflush(stdout);
}

}  // namespace

int export_log(const Target& target, LogKind kind, int file_id, const std::string& csv_path,
               bool json) {
    std::string label = kind == LogKind::Datalog ? "data log " + std::to_string(file_id)
                                                 : std::string("event log");
    ExportState state{ProgressBar(stderr, isatty(STDERR_FILENO) != 0, label)};
    ErrorBuffer err;
    auto export_ex = kind == LogKind::Datalog ? tandrel_export_datalog_ex : tandrel_export_eventlog_ex;
    int status = export_ex(target.host.c_str(), target.meter.c_str(), file_id, csv_path.c_str(),
                           target.options.c_str(), on_progress, &state, err.data(), err.size());
    if (state.done > 0 || status >= 0) state.bar.finish();
    if (status >= 0) {
        report_success(csv_path, status, json);
        return EXIT_OK;
    }
    int code = report_failure(status, err.str());
    if (status == -2 || state.done > 0)
        std::fprintf(stderr, "tandrel: %d records kept in %s\n", state.done, csv_path.c_str());
    return code;
}

}  // namespace tandrel_cli
