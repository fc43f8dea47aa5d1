// Aligned text tables for people: column widths from the widest cell, two
// blanks between columns, numbers right-aligned, no trailing blanks.
#pragma once

#include <string>
#include <vector>

namespace tandrel_cli {

enum class Align { Left, Right };

struct Column {
    std::string title;
    Align align = Align::Left;
};

// One line of cells padded to `widths`; the last cell is not padded when left-aligned.
std::string format_row(const std::vector<std::string>& cells, const std::vector<size_t>& widths,
                       const std::vector<Align>& aligns);

class Table {
public:
    explicit Table(std::vector<Column> columns, bool show_titles = true);
    void add_row(std::vector<std::string> cells);
    std::string render() const;
    size_t rows() const { return rows_.size(); }

private:
    std::vector<Column> columns_;
    bool show_titles_;
    std::vector<std::vector<std::string>> rows_;
};

// Display width of UTF-8 text: continuation bytes do not count.
size_t display_width(const std::string& text);

}  // namespace tandrel_cli
