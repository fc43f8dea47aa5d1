// Plain-text table layout.
#include "table.h"

#include <algorithm>

namespace tandrel_cli {

size_t display_width(const std::string& text) {
    size_t width = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++width;
    return width;
}

std::string format_row(const std::vector<std::string>& cells, const std::vector<size_t>& widths,
                       const std::vector<Align>& aligns) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        size_t width = i < widths.size() ? widths[i] : 0;
        size_t used = display_width(cells[i]);
        std::string pad(width > used ? width - used : 0, ' ');
        bool right = i < aligns.size() && aligns[i] == Align::Right;
        bool last = i + 1 == cells.size();
        if (i > 0) line += "  ";
        line += right ? pad + cells[i] : cells[i] + (last ? "" : pad);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

Table::Table(std::vector<Column> columns, bool show_titles)
    : columns_(std::move(columns)), show_titles_(show_titles) {}

void Table::add_row(std::vector<std::string> cells) {
    cells.resize(std::max(cells.size(), columns_.size()));
    rows_.push_back(std::move(cells));
}

std::string Table::render() const {
    size_t count = columns_.size();
    for (const auto& row : rows_) count = std::max(count, row.size());
    std::vector<size_t> widths(count, 0);
    std::vector<Align> aligns(count, Align::Left);
    std::vector<std::string> titles(count);
    for (size_t i = 0; i < columns_.size(); ++i) {
        titles[i] = columns_[i].title;
        aligns[i] = columns_[i].align;
        if (show_titles_) widths[i] = display_width(titles[i]);
    }
    for (const auto& row : rows_)
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], display_width(row[i]));
    std::string text;
    if (show_titles_) text += format_row(titles, widths, aligns) + "\n";
    for (const auto& row : rows_) text += format_row(row, widths, aligns) + "\n";
    return text;
}

}  // namespace tandrel_cli
