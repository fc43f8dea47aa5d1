// Data-log and event-log streams as text: a title block from the header
// object, then one row per record as it arrives. Widths are fixed up front
// (a stream cannot be measured before it ends); a long cell widens its row.
#pragma once

#include <string>
#include <vector>

#include "json_reader.h"
#include "table.h"

namespace tandrel_cli {

enum class LogKind { Datalog, Eventlog };

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
