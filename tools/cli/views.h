// The library's JSON documents and log streams rendered as text for people.
// Each function takes parsed JSON and returns the text to print; none does I/O.
#pragma once

#include <string>
#include <vector>

#include "site_names.h"
#include "table.h"

namespace tandrel_cli {

std::string device_info_text(const JsonValue& doc);
std::string point_listing_text(const JsonValue& doc);
std::string readings_text(const JsonValue& doc);
std::string log_directory_text(const JsonValue& doc);

// "V1 (V)", or the bare name when the unit is empty.
std::string name_with_unit(const std::string& name, const std::string& unit);

enum class LogKind { Datalog, Eventlog };

// Data-log and event-log streams as text: a title block from the header
// object, then one row per record as it arrives. Widths are fixed up front
// (a stream cannot be measured before it ends); a long cell widens its row.
class StreamView {
public:
    explicit StreamView(LogKind kind) : kind_(kind) {}
    // The text to print for one stream object, ending in a line feed.
    std::string text_for(const JsonValue& object);

private:
    LogKind kind_;
    std::vector<size_t> widths_;
    std::vector<Align> aligns_;

    std::string header_text(const JsonValue& header);
    std::string record_text(const JsonValue& record) const;
    std::string title_row(const std::vector<std::string>& titles, const std::vector<size_t>& minimum,
                          const std::vector<Align>& aligns);
};

}  // namespace tandrel_cli
