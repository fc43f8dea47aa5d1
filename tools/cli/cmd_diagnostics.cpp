// tandrel diagnostics HOST CSV: an em235's diagnostics word to a CSV file,
// shown afterwards as a table of its labelled bits.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "commands.h"
#include "library_call.h"
#include "model_check.h"
#include "table.h"
#include "tandrel.h"

namespace tandrel_cli {
namespace {

struct DiagnosticsOptions {
    std::string host;
    std::string csv_path;
    int unit = 1;
    int register_no = 0;
    int count = 2;
    std::string word_order = "HI_FIRST";
    bool force_model = false;
    bool json = false;
};

std::vector<std::string> split_fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ',')) fields.push_back(field);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

// The file's bit rows cover the bits that have a meaning (0-25). A bit set
// beyond them is shown too, or the table would call that word clean.
void add_unlisted_bits(std::map<long, std::vector<std::string>>& rows, const std::string& value) {
    unsigned long word = std::strtoul(value.c_str(), nullptr, 16);
    for (long bit = 0; bit < 32; ++bit)
        if ((word >> bit & 1u) != 0 && rows.count(bit) == 0)
            rows[bit] = {std::to_string(bit), "SET", "(beyond the bit table)"};
}

// Line 2 holds the words and value; the bit rows follow the "bit,label,state" title.
std::string bits_text(const std::string& csv_path) {
    std::ifstream in(csv_path);
    std::string line;
    std::vector<std::string> words;
    std::map<long, std::vector<std::string>> rows;
    for (int number = 1; std::getline(in, line); ++number) {
        std::vector<std::string> fields = split_fields(line);
        if (number == 2) words = fields;
        if (number >= 5 && fields.size() >= 3)
            rows[std::strtol(fields[0].c_str(), nullptr, 10)] = {
                fields[0], fields[2] == "1" ? "SET" : "-", fields[1]};
    }
    if (words.size() < 4) return "";
    add_unlisted_bits(rows, words[2]);
    Table table({{"BIT", Align::Right}, {"STATE"}, {"LABEL"}});
    for (auto& row : rows) table.add_row(std::move(row.second));
    return "Diagnostics word " + words[2] + " (words " + words[0] + " " + words[1] + ", " +
           words[3] + ")\n" + table.render();
}

int run_diagnostics(const DiagnosticsOptions& options) {
    std::string host = host_on_port_502(options.host, "diagnostics");
    Target target{host, "em235", options_text(0, options.unit, 0), host, !options.force_model};
    if (int code = check_model(target, ModelSetting::Implied)) return code;
    ErrorBuffer err;
    int status = tandrel_export_em235_diagnostics(host.c_str(), options.unit, options.register_no,
                                                  options.count, options.word_order.c_str(),
                                                  options.csv_path.c_str(), err.data(), err.size());
    FailureContext context;
    context.address = host;
    if (status < 0) return report_failure(status, err.str(), context);
    if (options.json)
        std::printf("{\"csv\":%s,\"bits\":%d}\n", json_string(options.csv_path).c_str(), status);
    else
        std::printf("%sWrote %d bit rows to %s\n", bits_text(options.csv_path).c_str(), status,
                    options.csv_path.c_str());
    return EXIT_OK;
}

}  // namespace

CommandRun declare_diagnostics(CLI::App& parent) {
    auto options = std::make_shared<DiagnosticsOptions>();
    CLI::App* app = parent.add_subcommand(
        "diagnostics", "Export an em235's diagnostics word with its bits labelled to a CSV file");
    app->add_option("HOST", options->host, "Meter address (the read always uses port 502)")
        ->required();
    app->add_option("CSV", options->csv_path, "CSV file to write")->required();
    app->add_option("-r,--register", options->register_no,
                    "Register number of the diagnostics word, counted from 1")
        ->required()
        ->check(CLI::Range(1, 65536));
    app->add_option("-u,--unit", options->unit, "Modbus unit id")
        ->capture_default_str()
        ->check(CLI::Range(0, 255));
    app->add_option("--count", options->count, "Registers to read, at least 2")
        ->capture_default_str()
        ->check(CLI::Range(2, 125));
    app->add_option("--word-order", options->word_order,
                    "HI_FIRST takes the second word as the high half; anything else the first")
        ->capture_default_str();
    add_force_model_flag(*app, options->force_model, "an em235");
    app->add_flag("--json", options->json, "Print the file name and row count as JSON");
    app->footer("Example: tandrel diagnostics 192.0.2.10 diag.csv --register 1001");
    return [options] { return run_diagnostics(*options); };
}

}  // namespace tandrel_cli
