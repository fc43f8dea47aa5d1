// tandrel collect SITE_FILE --out DIR: every meter of a site read into files,
// several meters at once, with a summary of what was read and what failed.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "collect.h"
#include "commands.h"
#include "hints.h"
#include "library_call.h"
#include "platform.h"
#include "table.h"

namespace tandrel_cli {
namespace {

struct CollectOptions {
    std::string site_path;
    std::string out_dir;
    int jobs = 8;
    double timeout_s = 0;  // 0: not given
    bool json = false;
};

std::string read_site_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) throw UsageError("cannot read the site file " + path);
    return text.str();
}

// "device_info.json, logs.json" are always there: the logs and their record counts say more.
std::string records_text(const MeterReport& report) {
    std::string text;
    for (const auto& file : report.files) {
        if (file.records < 0) continue;
        text += (text.empty() ? "" : ", ") + file.name + " " + std::to_string(file.records);
    }
    return text.empty() ? "no logs" : text;
}

std::string failure_text(const MeterReport& report) {
    return (report.failed_file.empty() ? "" : report.failed_file + ": ") + report.message;
}

std::string outcome_text(const MeterReport& report) {
    switch (report.status) {
        case MeterStatus::Ok: return records_text(report);
        case MeterStatus::Failed:
        case MeterStatus::Cancelled: return failure_text(report);
        case MeterStatus::NotStarted: return "";
    }
    return "";
}

// A meter that did not finish leaves the last run's folder in place: say so,
// lest its files be taken for this run's.
std::string result_text(const MeterReport& report) {
    std::string text = outcome_text(report);
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
std::string finished_line(const MeterReport& report) {
    return meter_name(report.meter) + ": " + status_name(report.status) + " in " +
           elapsed_text(report.seconds) + ", " + result_text(report);
}

std::string summary_table(const std::vector<MeterReport>& reports) {
    Table table({{"METER"}, {"UNIT", Align::Right}, {"MODEL"}, {"STATUS"},
                 {"TIME", Align::Right}, {"RECORDS OR FAILURE"}});
    for (const auto& report : reports)
        table.add_row({meter_endpoint(report.meter), std::to_string(report.meter.unit),
                       model_text(report), status_name(report.status),
                       report.status == MeterStatus::NotStarted ? "" : elapsed_text(report.seconds),
                       result_text(report)});
    return table.render();
}

std::string seconds_json(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

std::string report_json(const MeterReport& report) {
    const SiteMeter& meter = report.meter;
    std::string text = "{\"host\":" + json_string(meter.host) + ",\"port\":" +
                       std::to_string(meter.port) + ",\"unit\":" + std::to_string(meter.unit) +
                       ",\"model\":" +
                       (report.model.empty() ? "null" : json_string(report.model)) + ",\"dir\":" +
                       json_string(meter_dir_name(meter)) + ",\"folder\":" +
                       json_string(folder_state_name(report.folder)) + ",\"status\":" +
                       json_string(status_name(report.status)) + ",\"seconds\":" +
                       seconds_json(report.seconds) + ",\"files\":[";
    for (size_t i = 0; i < report.files.size(); ++i) {
        const CollectedFile& file = report.files[i];
        text += (i ? ",{\"name\":" : "{\"name\":") + json_string(file.name);
        if (file.records >= 0) text += ",\"records\":" + std::to_string(file.records);
        text += "}";
    }
    text += "]";
    if (report.status == MeterStatus::Failed || report.status == MeterStatus::Cancelled)
        text += ",\"failed_file\":" + json_string(report.failed_file) +
                ",\"message\":" + json_string(report.message);
    return text + "}";
}

std::string summary_json(const std::vector<MeterReport>& reports, const std::string& out_dir) {
    std::string text = "{\"out\":" + json_string(out_dir) + ",\"meters\":[";
    for (size_t i = 0; i < reports.size(); ++i) text += (i ? "," : "") + report_json(reports[i]);
    return text + "]}\n";
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
        std::fputs(summary_json(reports, options.out_dir).c_str(), stdout);
    else
        std::printf("%s%zu of %zu meters read completely into %s\n",
                    summary_table(reports).c_str(), complete, reports.size(),
                    options.out_dir.c_str());
    std::fflush(stdout);
    for (const auto& report : reports)
        if (report.status == MeterStatus::Failed) print_failure(report);
}

// Every malformed line, as PATH:LINE: message, before anything is read.
std::vector<SiteMeter> site_meters(const std::string& path) {
    SiteFile site = parse_site_file(read_site_file(path));
    if (site.errors.empty()) return site.meters;
    for (size_t i = 0; i + 1 < site.errors.size(); ++i)
        std::fprintf(stderr, "tandrel: %s:%d: %s\n", path.c_str(), site.errors[i].line,
                     site.errors[i].message.c_str());
    const SiteError& last = site.errors.back();
    throw UsageError(path + (last.line > 0 ? ":" + std::to_string(last.line) : "") + ": " +
                     last.message);
}

int run_collect(const CollectOptions& options) {
    std::vector<SiteMeter> meters = site_meters(options.site_path);
    std::error_code ec;
    std::filesystem::create_directories(options.out_dir, ec);
    if (ec)
        return report_failure(-1, "Cannot create directory " + options.out_dir + ": " +
                                      ec.message());
    CollectSettings settings{options.out_dir, options.jobs, timeout_ms(options.timeout_s)};
    install_interrupt_handler();
    ProgressBoard board(stderr, is_terminal(stderr), options.jobs);
    std::vector<MeterReport> reports = collect_site(
        meters, settings, board, [&board](const MeterReport& r) { board.note(finished_line(r)); });
    print_summary(reports, options);
    return exit_code_for(reports);
}

}  // namespace

CommandRun declare_collect(CLI::App& parent) {
    auto options = std::make_shared<CollectOptions>();
    CLI::App* app = parent.add_subcommand(
        "collect", "Read every meter of a site file into files: identity, log directory, logs");
    app->add_option("SITE_FILE", options->site_path,
                    "One meter per line: HOST[:PORT] [MODEL] [UNIT] [force-model]; # starts a "
                    "comment")
        ->required();
    app->add_option("-o,--out", options->out_dir,
                    "Directory for the meters' folders, HOST_PORT_UNIT (created if missing; a "
                    "meter read completely replaces its folder whole)")
        ->required()
        ->type_name("DIR");
    app->add_option("-j,--jobs", options->jobs, "Meters read at once")
        ->capture_default_str()
        ->check(CLI::Range(1, 256));
    add_timeout_option(*app, options->timeout_s);
    app->add_flag("--json", options->json, "Print the summary as one JSON document");
    app->footer("Exit status 0 when every meter was read completely, 1 when one failed, 130\n"
                "after Ctrl-C, which stops every transfer and removes the unfinished files.\n"
                "Example: tandrel collect site.txt --out /var/lib/meters/$(date +%F) --jobs 16");
    return [options] { return run_collect(*options); };
}

}  // namespace tandrel_cli
