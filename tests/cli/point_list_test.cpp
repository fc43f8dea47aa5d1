// POINT arguments: numbers bare, names quoted with quotes and backslashes escaped.
#include "point_list.h"

#include <gtest/gtest.h>

namespace tandrel_cli {
namespace {

struct ListCase {
    std::vector<std::string> points;
    const char* text;
};

const ListCase LIST_CASES[] = {
    {{"4352"}, "4352"},
    {{"0x1100", "0X1a"}, "0x1100,0X1a"},
    {{"V1", "Total kW"}, "\"V1\",\"Total kW\""},
    {{"-1", "+7"}, "-1,+7"},  // the library reports the range error in its own words
    {{"0x", "12a", "1 2"}, "\"0x\",\"12a\",\"1 2\""},
    {{"a\"b", "c\\d"}, "\"a\\\"b\",\"c\\\\d\""},
    {{"[", "]", ","}, "\"[\",\"]\",\",\""},
};

TEST(PointListText, QuotesEverythingThatIsNotANumber) {
    for (const auto& c : LIST_CASES) EXPECT_EQ(point_list_text(c.points), c.text) << c.text;
}

}  // namespace
}  // namespace tandrel_cli
