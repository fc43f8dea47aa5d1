// Tables for device information, point listings, readings and log directories.
#include "views.h"

#include <cstdio>
#include <cstdlib>

#include "table.h"

namespace tandrel_cli {
namespace {

std::string hex4(const std::string& decimal) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04lX", std::strtoul(decimal.c_str(), nullptr, 10));
    return text;
}

std::string version_text(const JsonValue& part) {
    return part["version"].str() + " (build " + part["build"].str() + ")";
}

std::string columns_text(const JsonValue& log) {
    Table table({{"#", Align::Right}, {"COLUMN"}, {"UNIT"}, {"DECIMALS", Align::Right}});
    int number = 1;
    for (const auto& column : log["columns"].items)
        table.add_row({std::to_string(number++), column["name"].str(), column["unit"].str(),
                       column["decimals"].str()});
    return table.render();
}

}  // namespace

std::string name_with_unit(const std::string& name, const std::string& unit) {
    return unit.empty() ? name : name + " (" + unit + ")";
}

std::string device_info_text(const JsonValue& doc) {
    const JsonValue& setup = doc["setup"];
    Table table({{"", Align::Left}, {"", Align::Left}}, false);
    table.add_row({"Meter", doc["meter"].str() + " at " + doc["host"].str()});
    table.add_row({"Model name", doc["model_name"].str()});
    table.add_row({"Model id", doc["model_id"].str()});
    table.add_row({"Serial number", doc["serial"].str()});
    table.add_row({"Options", doc["options"].str()});
    table.add_row({"Firmware", version_text(doc["firmware"])});
    table.add_row({"Boot loader", version_text(doc["bootloader"])});
    table.add_row({"PT ratio", setup["pt_ratio"].str()});
    table.add_row({"Energy decimals", setup["energy_decimals"].str()});
    table.add_row({"High resolution", setup["high_resolution"].str() == "true" ? "yes" : "no"});
    return table.render();
}

std::string point_listing_text(const JsonValue& doc) {
    Table table({{"PID", Align::Right}, {"HEX"}, {"NAME"}, {"UNIT"}, {"GROUP"}});
    for (const auto& point : doc["points"].items)
        table.add_row({point["pid"].str(), hex4(point["pid"].str()), point["name"].str(),
                       point["unit"].str(), point["group"].str()});
    return table.render() + std::to_string(table.rows()) + " points of the " +
           doc["meter"].str() + "\n";
}

std::string readings_text(const JsonValue& doc) {
    Table table({{"NAME"}, {"VALUE", Align::Right}, {"UNIT"}, {"PID", Align::Right}});
    for (const auto& reading : doc["readings"].items)
        table.add_row({reading["name"].str(), reading["value"].str(), reading["unit"].str(),
                       reading["pid"].str()});
    return doc["meter"].str() + " at " + doc["host"].str() + ", " + doc["timestamp"].str() +
           "\n" + table.render();
}

std::string log_directory_text(const JsonValue& doc) {
    Table table({{"FILE", Align::Right}, {"TYPE"}, {"RECORDS", Align::Right},
                 {"COLUMNS", Align::Right}});
    std::string details;
    for (const auto& log : doc["logs"].items) {
        bool datalog = log["type"].str() == "datalog";
        std::string columns = datalog ? std::to_string(log["columns"].items.size()) : "";
        table.add_row({log["file_id"].str(), log["type"].str(), log["records"].str(), columns});
        if (datalog && !log["columns"].items.empty())
            details += "\nData log " + log["file_id"].str() + ":\n" + columns_text(log);
    }
    return doc["meter"].str() + " at " + doc["host"].str() + "\n" + table.render() + details;
}

}  // namespace tandrel_cli
