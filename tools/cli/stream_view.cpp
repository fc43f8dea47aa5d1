// Row layout of log streams.
#include "stream_view.h"

#include <algorithm>

#include "views.h"

namespace tandrel_cli {
namespace {

constexpr size_t ISO_TIME_WIDTH = 24;  // 2026-12-05T13:42:07.123Z
constexpr size_t VALUE_WIDTH = 10;

std::string total_text(const std::string& total) {
    return total == "-1" ? "record count not announced" : total + " records";
}

}  // namespace

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
