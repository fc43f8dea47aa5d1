// Table layout: widths from the widest cell, right-aligned numbers, no trailing blanks.
#include "table.h"

#include <gtest/gtest.h>

namespace tandrel_cli {
namespace {

TEST(Table, AlignsColumnsToTheWidestCell) {
    Table table({{"NAME"}, {"VALUE", Align::Right}, {"UNIT"}});
    table.add_row({"V1", "230.5", "V"});
    table.add_row({"Total kW", "26.266", ""});
    EXPECT_EQ(table.render(),
              "NAME       VALUE  UNIT\n"
              "V1         230.5  V\n"
              "Total kW  26.266\n");
}

TEST(Table, CountsUtf8CharactersNotBytes) {
    Table table({{"A"}, {"B"}});
    table.add_row({"\xC2\xB0" "C", "x"});  // "°C" is two characters wide
    table.add_row({"abc", "y"});
    EXPECT_EQ(table.render(), "A    B\n\xC2\xB0" "C   x\nabc  y\n");
}

TEST(Table, ShortRowsArePaddedAndLongRowsKept) {
    Table table({{"A"}, {"B"}}, false);
    table.add_row({"1"});
    table.add_row({"2", "x", "extra"});
    EXPECT_EQ(table.render(), "1\n2  x  extra\n");
}

TEST(FormatRow, LongCellWidensOnlyItsRow) {
    std::vector<size_t> widths = {3, 4};
    std::vector<Align> aligns = {Align::Right, Align::Right};
    EXPECT_EQ(format_row({"1", "2"}, widths, aligns), "  1     2");
    EXPECT_EQ(format_row({"12345", "2"}, widths, aligns), "12345     2");
}

}  // namespace
}  // namespace tandrel_cli
