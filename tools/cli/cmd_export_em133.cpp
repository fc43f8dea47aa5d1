// tandrel export-em133 HOST DIR: an em133's three data logs and event log to
// CSV files in DIR, optionally after setting its clock.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "commands.h"
#include "library_call.h"
#include "model_check.h"
#include "tandrel.h"

namespace tandrel_cli {
namespace {

namespace fs = std::filesystem;

struct ExportEm133Options {
    std::string host;
    std::string dir;
    bool set_clock = false;
    int clock_param = 0;
    bool force_model = false;
    bool json = false;
};

std::set<std::string> em133_csv_files(const std::string& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.rfind("EM133_", 0) == 0) names.insert(name);
    }
    return names;
}

void print_result(const ExportEm133Options& options, int records,
                  const std::set<std::string>& created) {
    if (options.json) {
        std::printf("{\"dir\":%s,\"records\":%d,\"files\":[", json_string(options.dir).c_str(),
                    records);
        const char* separator = "";
        for (const auto& name : created) {
            std::printf("%s%s", separator, json_string(name).c_str());
            separator = ",";
        }
        std::printf("]}\n");
        return;
    }
    std::printf("Wrote %d records into %s:\n", records, options.dir.c_str());
    for (const auto& name : created) std::printf("  %s\n", name.c_str());
}

int run_export_em133(const ExportEm133Options& options) {
    std::string host = host_on_port_502(options.host, "export-em133");
    Target target{host, "em133", "{}", host, !options.force_model};
    if (int code = check_model(target, ModelSetting::Implied)) return code;
    std::set<std::string> before = em133_csv_files(options.dir);
    ErrorBuffer err;
    int status = tandrel_export_em133_all(host.c_str(), options.set_clock ? 1 : 0,
                                          options.clock_param, options.dir.c_str(), err.data(),
                                          err.size());
    FailureContext context;
    context.address = host;
    if (status < 0) return report_failure(status, err.str(), context);
    std::set<std::string> created;
    for (const auto& name : em133_csv_files(options.dir))
        if (before.count(name) == 0) created.insert(name);
    print_result(options, status, created);
    return EXIT_OK;
}

}  // namespace

CommandRun declare_export_em133(CLI::App& parent) {
    auto options = std::make_shared<ExportEm133Options>();
    CLI::App* app = parent.add_subcommand(
        "export-em133", "Export an em133's data logs 1-3 and event log as CSV files into DIR");
    app->add_option("HOST", options->host, "Meter address (the export always uses port 502)")
        ->required();
    app->add_option("DIR", options->dir, "Existing directory for the four CSV files")->required();
    app->add_flag("--set-clock", options->set_clock,
                  "Set the meter's clock from this computer's local time first");
    app->add_option("--clock-param", options->clock_param,
                    "Value for register 2575 while the clock is set (default: the library's)")
        ->check(CLI::Range(0, 65535));
    add_force_model_flag(*app, options->force_model, "an em133");
    app->add_flag("--json", options->json, "Print the record count and file names as JSON");
    app->footer("Example: tandrel export-em133 192.0.2.10 /var/lib/meters --set-clock");
    return [options] { return run_export_em133(*options); };
}

}  // namespace tandrel_cli
