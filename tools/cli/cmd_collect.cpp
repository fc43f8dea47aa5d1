// tandrel collect SITE_FILE --out DIR --db TARGET: every meter of a site read
// into files, into a store or both, several meters at once, with a summary of
// what was read and what failed. The work is the site layer's collect_site;
// this file shows its progress and prints its reports.
#include <CLI/CLI.hpp>
#include <atomic>
#include <cstdio>
#include <memory>

#include "collect_site.h"
#include "commands.h"
#include "hints.h"
#include "library_call.h"
#include "platform.h"
#include "progress.h"
#include "store_target.h"
#include "table.h"

namespace tandrel_cli {
namespace {

using tandrel_site::FolderState;
using tandrel_site::MeterReport;
using tandrel_site::MeterStatus;

struct CollectOptions {
    std::string site_path;
    std::string out_dir;
    std::string db_target;
    int jobs = 8;
    double timeout_s = 0;  // 0: not given
    bool json = false;
};

// "device_info.json, logs.json" are always there: the logs and their record counts say more.
std::string records_text(const MeterReport& report) {
    std::string text;
    for (const auto& file : report.files) {
        if (file.records < 0) continue;
        text += (text.empty() ? "" : ", ") + file.name + " " + std::to_string(file.records);
    }
    return text.empty() ? "no logs" : text;
}

// Under --out the files and their records; under --db what the store added.
std::string read_text(const MeterReport& report, const CollectOptions& options) {
    if (options.db_target.empty()) return records_text(report);
    if (options.out_dir.empty()) return stored_text(report);
    return records_text(report) + "; " + stored_text(report);
}

std::string failure_text(const MeterReport& report) {
    return (report.failed_file.empty() ? "" : report.failed_file + ": ") + report.message;
}

std::string outcome_text(const MeterReport& report, const CollectOptions& options) {
    switch (report.status) {
        case MeterStatus::Ok: return read_text(report, options);
        case MeterStatus::Failed:
        case MeterStatus::Cancelled: return failure_text(report);
        case MeterStatus::NotStarted: return "";
    }
    return "";
}

// A meter that did not finish leaves the last run's folder in place: say so,
// lest its files be taken for this run's. Into a store it keeps the whole
// records that arrived: say how many.
std::string result_text(const MeterReport& report, const CollectOptions& options) {
    std::string text = outcome_text(report, options);
    bool stopped = report.status == MeterStatus::Failed || report.status == MeterStatus::Cancelled;
    if (stopped && !options.db_target.empty())
        text += report.new_records == 0 && report.new_events == 0
                    ? " (nothing new stored)"
                    : " (" + stored_text(report) + " kept)";
    if (report.status == MeterStatus::Ok || report.folder != FolderState::Previous) return text;
    return text + (text.empty() ? "" : " ") + "(folder kept from the previous run)";
}

std::string model_text(const MeterReport& report) {
    return report.model.empty() ? "-" : report.model;
}

std::string meter_name(const SiteMeter& meter) {
    return meter_endpoint(meter) + " unit " + std::to_string(meter.unit);
}

// The line a finished meter leaves above the progress board.
std::string finished_line(const MeterReport& report, const CollectOptions& options) {
    return meter_name(report.meter) + ": " + status_name(report.status) + " in " +
           elapsed_text(report.seconds) + ", " + result_text(report, options);
}

std::string summary_table(const std::vector<MeterReport>& reports,
                          const CollectOptions& options) {
    Table table({{"METER"}, {"UNIT", Align::Right}, {"MODEL"}, {"STATUS"},
                 {"TIME", Align::Right}, {"RECORDS OR FAILURE"}});
    for (const auto& report : reports)
        table.add_row({meter_endpoint(report.meter), std::to_string(report.meter.unit),
                       model_text(report), status_name(report.status),
                       report.status == MeterStatus::NotStarted ? "" : elapsed_text(report.seconds),
                       result_text(report, options)});
    return table.render();
}

std::string seconds_json(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// Members only for what the run wrote: files under --out, counts under --db.
std::string report_json(const MeterReport& report, const CollectOptions& options) {
    const SiteMeter& meter = report.meter;
    std::string text = "{\"host\":" + json_string(meter.host) + ",\"port\":" +
                       std::to_string(meter.port) + ",\"unit\":" + std::to_string(meter.unit) +
                       ",\"model\":" + (report.model.empty() ? "null" : json_string(report.model));
    if (!options.out_dir.empty())
        text += ",\"dir\":" + json_string(meter_dir_name(meter)) + ",\"folder\":" +
                json_string(folder_state_name(report.folder));
    text += ",\"status\":" + json_string(status_name(report.status)) + ",\"seconds\":" +
            seconds_json(report.seconds);
    if (!options.out_dir.empty()) {
        text += ",\"files\":[";
        for (size_t i = 0; i < report.files.size(); ++i) {
            const tandrel_site::CollectedFile& file = report.files[i];
            text += (i ? ",{\"name\":" : "{\"name\":") + json_string(file.name);
            if (file.records >= 0) text += ",\"records\":" + std::to_string(file.records);
            text += "}";
        }
        text += "]";
    }
    if (!options.db_target.empty())
        text += ",\"new_records\":" + std::to_string(report.new_records) +
                ",\"new_events\":" + std::to_string(report.new_events);
    if (report.status == MeterStatus::Failed || report.status == MeterStatus::Cancelled)
        text += ",\"failed_file\":" + json_string(report.failed_file) +
                ",\"message\":" + json_string(report.message);
    return text + "}";
}

// Where the run wrote; a connection string only with its password masked.
std::string destinations_json(const CollectOptions& options) {
    std::string text;
    if (!options.out_dir.empty()) text += "\"out\":" + json_string(options.out_dir) + ",";
    if (!options.db_target.empty())
        text += "\"db\":" + json_string(tandrel_site::redacted_target(options.db_target)) + ",";
    return text;
}

std::string summary_json(const std::vector<MeterReport>& reports, const CollectOptions& options) {
    std::string text = "{" + destinations_json(options) + "\"meters\":[";
    for (size_t i = 0; i < reports.size(); ++i)
        text += (i ? "," : "") + report_json(reports[i], options);
    return text + "]}\n";
}

std::string destinations_text(const CollectOptions& options) {
    std::string db = tandrel_site::redacted_target(options.db_target);
    if (options.db_target.empty()) return options.out_dir;
    return options.out_dir.empty() ? db : options.out_dir + " and " + db;
}

int exit_code_for(const std::vector<MeterReport>& reports) {
    int code = EXIT_OK;
    for (const auto& report : reports) {
        if (report.status == MeterStatus::Cancelled || report.status == MeterStatus::NotStarted)
            return EXIT_CANCELLED;
        if (report.status == MeterStatus::Failed) code = EXIT_FAILED;
    }
    return code;
}

// The meter's failure on stderr, with the hint its message has.
void print_failure(const MeterReport& report) {
    FailureContext context;
    context.address = meter_endpoint(report.meter);
    context.meter = report.model;
    context.timeout_option = true;
    context.model_setting = ModelSetting::SiteFile;
    std::string hint = failure_hint(report.message, context);
    std::fprintf(stderr, "tandrel: %s: %s\n", meter_name(report.meter).c_str(),
                 failure_text(report).c_str());
    if (!hint.empty()) std::fprintf(stderr, "hint: %s\n", hint.c_str());
}

void print_summary(const std::vector<MeterReport>& reports, const CollectOptions& options) {
    size_t complete = 0;
    for (const auto& report : reports) complete += report.status == MeterStatus::Ok;
    if (options.json)
        std::fputs(summary_json(reports, options).c_str(), stdout);
    else
        std::printf("%s%zu of %zu meters read completely into %s\n",
                    summary_table(reports, options).c_str(), complete, reports.size(),
                    destinations_text(options).c_str());
    std::fflush(stdout);
    for (const auto& report : reports)
        if (report.status == MeterStatus::Failed) print_failure(report);
}

// Every malformed line, as PATH:LINE: message, before anything is read.
SiteFile checked_site_file(const std::string& path) {
    SiteFile site = parse_site_file(read_site_file(path));
    if (site.errors.empty()) return site;
    for (size_t i = 0; i + 1 < site.errors.size(); ++i)
        std::fprintf(stderr, "tandrel: %s:%d: %s\n", path.c_str(), site.errors[i].line,
                     site.errors[i].message.c_str());
    const SiteError& last = site.errors.back();
    throw UsageError(path + (last.line > 0 ? ":" + std::to_string(last.line) : "") + ": " +
                     last.message);
}

// The progress board on stderr: worker threads only record their state; the
// waiting thread draws it, and turns Ctrl-C into the collection's stop.
class BoardObserver : public tandrel_site::CollectObserver {
public:
    BoardObserver(const CollectOptions& options, std::atomic<bool>& stop)
        : options_(options), stop_(stop), board_(stderr, is_terminal(stderr), options.jobs) {}

    void step_started(int slot, const std::string& label, bool counted) override {
        board_.begin(slot, label, counted);
    }
    void step_progress(int slot, int done, int total) override { board_.update(slot, done, total); }
    void meter_finished(int slot, const MeterReport& report) override {
        board_.end(slot);
        board_.note(finished_line(report, options_));
    }
    void waiting() override {
        if (interrupt_requested()) stop_ = true;
        board_.draw();
    }
    void close() { board_.close(); }

private:
    const CollectOptions& options_;
    std::atomic<bool>& stop_;
    ProgressBoard board_;
};

int run_collect(const CollectOptions& options) {
    if (options.out_dir.empty() && options.db_target.empty())
        throw UsageError("collect needs --out DIR, --db TARGET or both");
    SiteFile site = checked_site_file(options.site_path);
    tandrel_site::CollectOptions settings{options.out_dir, options.db_target, options.jobs,
                                          timeout_ms(options.timeout_s)};
    install_interrupt_handler();
    std::atomic<bool> stop{false};
    BoardObserver observer(options, stop);
    std::vector<MeterReport> reports = tandrel_site::collect_site(site, settings, observer, stop);
    observer.close();
    print_summary(reports, options);
    return exit_code_for(reports);
}

}  // namespace

CommandRun declare_collect(CLI::App& parent) {
    auto options = std::make_shared<CollectOptions>();
    CLI::App* app = parent.add_subcommand(
        "collect",
        "Read every meter of a site file into files or a store: identity, log directory, logs");
    app->add_option("SITE_FILE", options->site_path,
                    "One meter per line: HOST[:PORT] [MODEL] [UNIT] [force-model]; # starts a "
                    "comment")
        ->required();
    app->add_option("-o,--out", options->out_dir,
                    "Directory for the meters' folders, HOST_PORT_UNIT (created if missing; a "
                    "meter read completely replaces its folder whole)")
        ->type_name("DIR");
    app->add_option("--db", options->db_target,
                    "Store every record not stored before: a SQLite file (created if missing) or "
                    "a PostgreSQL connection string (postgresql://... or \"host=... dbname=...\"; "
                    "the password from PGPASSWORD, ~/.pgpass or a service file)")
        ->type_name("TARGET");
    app->add_option("-j,--jobs", options->jobs, "Meters read at once")
        ->capture_default_str()
        ->check(CLI::Range(1, 256));
    add_timeout_option(*app, options->timeout_s);
    app->add_flag("--json", options->json, "Print the summary as one JSON document");
    app->footer("--out, --db or both. Exit status 0 when every meter was read completely, 1 when\n"
                "one failed or the store cannot be opened, 130 after Ctrl-C, which stops every\n"
                "transfer and removes the unfinished files (the store keeps the whole records\n"
                "that arrived).\n"
                "Example: tandrel collect site.txt --out /var/lib/meters/$(date +%F) --jobs 16\n"
                "Example: tandrel collect site.txt --db /var/lib/meters/site.db");
    return [options] { return run_collect(*options); };
}

}  // namespace tandrel_cli
