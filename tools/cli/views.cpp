// Tables for device information, point listings, readings and log directories;
// rows for log streams.
#include "views.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

constexpr size_t ISO_TIME_WIDTH = 24;  // 2026-12-05T13:42:07.123Z
constexpr size_t VALUE_WIDTH = 10;

std::string total_text(const std::string& total) {
    return total == "-1" ? "record count not announced" : total + " records";
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

std::string StreamView::text_for(const JsonValue& object) {
    const std::string& type = object["type"].str();
    if (type == "header") return header_text(object);
    if (type == "record") return record_text(object);
    return "";
}

std::string StreamView::title_row(const std::vector<std::string>& titles,
                                  const std::vector<size_t>& minimum,
                                  const std::vector<Align>& aligns) {
    widths_.clear();
    for (size_t i = 0; i < titles.size(); ++i)
        widths_.push_back(std::max(display_width(titles[i]), minimum[i]));
    aligns_ = aligns;
    return format_row(titles, widths_, aligns_) + "\n";
}

std::string StreamView::header_text(const JsonValue& header) {
    std::string intro = (kind_ == LogKind::Datalog ? "Data log " + header["file_id"].str()
                                                   : std::string("Event log")) +
                        " of the " + header["meter"].str() + " at " + header["host"].str() +
                        ": " + total_text(header["total"].str()) + "\n";
    if (kind_ == LogKind::Eventlog) {
        return intro + title_row({"NO", "TIME (UTC)", "EVENT", "CAUSE", "POINT", "STATE", "EFFECT",
                                  "TARGET", "VALUE"},
                                 {6, ISO_TIME_WIDTH, 5, 20, 14, 8, 18, 10, 8},
                                 {Align::Right, Align::Left, Align::Right, Align::Left, Align::Left,
                                  Align::Left, Align::Left, Align::Left, Align::Right});
    }
    std::vector<std::string> titles = {"NO", "TIME (UTC)", "TRIGGER"};
    std::vector<size_t> minimum = {6, ISO_TIME_WIDTH, 7};
    std::vector<Align> aligns = {Align::Right, Align::Left, Align::Left};
    for (const auto& column : header["columns"].items) {
        titles.push_back(name_with_unit(column["name"].str(), column["unit"].str()));
        minimum.push_back(VALUE_WIDTH);
        aligns.push_back(Align::Right);
    }
    return intro + title_row(titles, minimum, aligns);
}

std::string StreamView::record_text(const JsonValue& record) const {
    std::vector<std::string> cells = {record["no"].str(), record["timestamp"].str()};
    if (kind_ == LogKind::Eventlog) {
        for (const char* key : {"event_no", "cause", "point", "state", "effect", "target",
                                "value_triggered"})
            cells.push_back(record[key].str());
    } else {
        cells.push_back(record["trigger"].str());
        for (const auto& value : record["values"].items) cells.push_back(value.str());
    }
    return format_row(cells, widths_, aligns_) + "\n";
}

}  // namespace tandrel_cli
