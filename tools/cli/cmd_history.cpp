// tandrel history TARGET: what a store holds, without SQL. With no --log, the
// meters and their logs with the times they span; with --meter and --log,
// that log's records over --from/--to.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>

#include "commands.h"
#include "history.h"
#include "history_output.h"
#include "record_time.h"
#include "store.h"

namespace tandrel_cli {
namespace {

struct HistoryOptions {
    std::string target;
    uint32_t serial = 0;
    std::string model;
    int file_id = -1;  // -1: not given
    std::string from, to;
    bool json = false;
    bool csv = false;
};

tandrel_site::TimeRange time_range(const HistoryOptions& options) {
    try {
        return {options.from.empty() ? "" : tandrel_site::time_argument(options.from),
                options.to.empty() ? "" : tandrel_site::time_argument(options.to)};
    } catch (const std::runtime_error& e) {
        throw UsageError(e.what());
    }
}

int print_log(tandrel_site::Store& store, const HistoryOptions& options, HistoryFormat format) {
    tandrel_site::StoredMeter meter =
        tandrel_site::find_meter(store, options.serial, options.model);
    const tandrel_site::StoredLog& log = tandrel_site::find_log(meter, options.file_id);
    tandrel_site::TimeRange range = time_range(options);
    StoredLogOutput output(format, meter, options.file_id, stdout);
    if (log.kind == tandrel_site::LogKind::Eventlog)
        tandrel_site::read_stored_events(store, meter, options.file_id, range,
                                         [&](const auto& event) { output.event(event); });
    else
        tandrel_site::read_stored_datalog(store, meter, options.file_id, range,
                                          [&](const auto& record) { output.datalog(record); });
    output.finish();
    return EXIT_OK;
}

int run_history(HistoryOptions options, bool meter_given) {
    if (options.file_id >= 0 && !meter_given) throw UsageError("--log needs --meter SERIAL");
    if (options.file_id < 0 && (!options.from.empty() || !options.to.empty()))
        throw UsageError("--from and --to need --meter SERIAL and --log N");
    HistoryFormat format = options.json  ? HistoryFormat::Json
                           : options.csv ? HistoryFormat::Csv
                                         : HistoryFormat::Table;
    std::unique_ptr<tandrel_site::Store> store =
        tandrel_site::open_store(options.target, tandrel_site::OpenMode::Read);
    if (options.file_id >= 0) return print_log(*store, options, format);
    std::vector<tandrel_site::StoredMeter> meters;
    if (meter_given)
        meters.push_back(tandrel_site::find_meter(*store, options.serial, options.model));
    else
        meters = tandrel_site::stored_meters(*store);
    std::fputs(stored_meters_text(meters, format).c_str(), stdout);
    return EXIT_OK;
}

}  // namespace

CommandRun declare_history(CLI::App& parent) {
    auto options = std::make_shared<HistoryOptions>();
    CLI::App* app = parent.add_subcommand(
        "history", "Show what a store holds: its meters and logs, or one log over a time range");
    app->add_option("TARGET", options->target,
                    "The store: a SQLite file, or a PostgreSQL connection string "
                    "(postgresql://... or \"host=... dbname=...\")")
        ->required();
    CLI::Option* meter = app->add_option("--meter", options->serial, "The meter's serial number")
                             ->type_name("SERIAL");
    app->add_option("--model", options->model, "The meter's model, where one serial names two")
        ->type_name("MODEL");
    app->add_option("--log", options->file_id, "The log: 0 the event log, 1-16 a data log")
        ->type_name("N")
        ->check(CLI::Range(0, 65535));
    app->add_option("--from", options->from, "First time, UTC: 2026-12-05 or 2026-12-05T13:00")
        ->type_name("TIME");
    app->add_option("--to", options->to, "End time (not included), UTC")->type_name("TIME");
    CLI::Option* json = app->add_flag("--json", options->json,
                                      "JSON: one document, or one object per line for a log");
    app->add_flag("--csv", options->csv, "CSV on stdout")->excludes(json);
    app->footer(
        "The store is only read, never changed. Exit status 0, 1 when the store cannot be\n"
        "read or holds no such meter or log, 2 for a usage error.\n"
        "Example: tandrel history site.db --meter 23501178 --log 1 --from 2026-12-01 --to "
        "2026-12-08");
    return [options, meter] { return run_history(*options, meter->count() > 0); };
}

}  // namespace tandrel_cli
