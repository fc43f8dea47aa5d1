// The readings table cut into panels that fit the terminal.
#include "live_frame.h"

#include <algorithm>

#include "table.h"

namespace tandrel_cli {
namespace {

constexpr size_t PANEL_GAP = 4;  // blanks between two panels
constexpr int TOP_LINES = 2;     // the heading and the column titles
const std::vector<Align> ALIGNS = {Align::Left, Align::Right, Align::Left, Align::Right};

using Row = std::vector<std::string>;

// The readings as cells: NAME VALUE UNIT PID, the titles first.
struct Cells {
    std::vector<Row> rows;
    std::vector<size_t> widths;
    size_t panel_width = 0;
};

struct Layout {
    size_t panels = 1;     // side by side
    size_t per_panel = 1;  // rows in each panel
    size_t shown = 0;      // readings shown, from the first
};

Cells cells_of(const JsonValue& doc, bool with_pid) {
    Cells cells;
    cells.rows.push_back({"NAME", "VALUE", "UNIT", "PID"});
    for (const auto& reading : doc["readings"].items)
        cells.rows.push_back({reading["name"].str(), reading["value"].str(),
                              reading["unit"].str(), reading["pid"].str()});
    for (Row& row : cells.rows) {
        if (!with_pid) row.pop_back();
        cells.widths.resize(row.size());
        for (size_t i = 0; i < row.size(); ++i)
            cells.widths[i] = std::max(cells.widths[i], display_width(row[i]));
    }
    cells.panel_width = 2 * (cells.widths.size() - 1);  // two blanks between columns
    for (size_t width : cells.widths) cells.panel_width += width;
    return cells;
}

// As few panels as hold every reading, as many as the width takes at most,
// as tall as the height leaves, less a line for the note when even so not
// every reading fits.
Layout layout_for(size_t readings, size_t panel_width, int columns, int rows) {
    Layout layout;
    if (columns > 0)
        layout.panels = std::max<size_t>(1, (static_cast<size_t>(columns) - 1 + PANEL_GAP) /
                                                (panel_width + PANEL_GAP));
    size_t height = rows > 0 ? static_cast<size_t>(std::max(rows - 1 - TOP_LINES, 1))
                             : std::max<size_t>(readings, 1);
    if (readings <= layout.panels * height) {
        layout.panels = std::max<size_t>(1, (readings + height - 1) / height);
        layout.per_panel = std::max<size_t>(1, (readings + layout.panels - 1) / layout.panels);
        layout.shown = readings;
    } else {
        layout.per_panel = std::max<size_t>(height - 1, 1);
        layout.shown = layout.panels * layout.per_panel;
    }
    return layout;
}

std::string padded(const std::string& text, size_t width) {
    size_t used = display_width(text);
    return used < width ? text + std::string(width - used, ' ') : text;
}

// Row `r` of every panel that has one.
std::string panel_line(const Cells& cells, const Layout& layout, size_t r, bool titles) {
    std::string line;
    for (size_t p = 0; p < layout.panels; ++p) {
        size_t index = p * layout.per_panel + r;
        if (index >= layout.shown) break;
        if (p > 0) line = padded(line, p * (cells.panel_width + PANEL_GAP));
        line += format_row(cells.rows[titles ? 0 : 1 + index], cells.widths, ALIGNS);
    }
    return line;
}

// A line no wider than the terminal less one column, so it never wraps.
std::string cut(const std::string& line, int columns) {
    if (columns <= 1 || display_width(line) < static_cast<size_t>(columns)) return line;
    std::string out;
    size_t width = 0;
    for (unsigned char c : line) {
        if ((c & 0xC0) != 0x80 && ++width > static_cast<size_t>(columns) - 1) break;
        out += static_cast<char>(c);
    }
    return out;
}

}  // namespace

std::vector<std::string> live_frame(const JsonValue& doc, int columns, int rows) {
    Cells cells = cells_of(doc, true);
    size_t readings = cells.rows.size() - 1;
    Layout layout = layout_for(readings, cells.panel_width, columns, rows);
    // The point ids matter least on a watch screen: without them more panels may fit.
    if (layout.shown < readings) {
        Cells narrow = cells_of(doc, false);
        Layout wider = layout_for(readings, narrow.panel_width, columns, rows);
        if (wider.shown > layout.shown) {
            cells = narrow;
            layout = wider;
        }
    }
    std::vector<std::string> lines = {doc["meter"].str() + " at " + doc["host"].str() + ", " +
                                      doc["timestamp"].str()};
    lines.push_back(panel_line(cells, layout, 0, true));
    for (size_t r = 0; r < layout.per_panel; ++r) lines.push_back(panel_line(cells, layout, r, false));
    if (layout.shown < readings)
        lines.push_back("... " + std::to_string(readings - layout.shown) +
                        " more not shown: a larger window shows them, --json all of them");
    for (auto& line : lines) line = cut(line, columns);
    return lines;
}

}  // namespace tandrel_cli
