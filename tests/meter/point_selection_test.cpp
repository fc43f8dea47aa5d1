#include "meter/point_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tandrel {
namespace {

struct ScanCase {
    const char* text;
    std::vector<std::pair<std::string, bool>> items;  // text, quoted
};

const ScanCase SCAN_CASES[] = {
    {"[3072, 0x0C01, \"V1\"]", {{"3072", false}, {"0x0C01", false}, {"V1", true}}},
    {"3072 3073", {{"3072", false}, {"3073", false}}},
    {"3072,,3073", {{"3072", false}, {"3073", false}}},
    {" ,\t[\n3072\n]", {{"3072", false}}},
    {"3072 ] 3073", {{"3072", false}}},
    {"[3072", {{"3072", false}}},
    {"[]", {}},
    {"", {}},
    {", ,", {}},
    {"[\"\"]", {{"", true}}},
    {"\"a\\\"b\\\\c\"", {{"a\"b\\c", true}}},
    {"\"open ended", {{"open ended", true}}},
    {"\"trailing\\", {{"trailing\\", true}}},
    {"\"V1\"\"V2\"", {{"V1", true}, {"V2", true}}},
    {"\"V1\"x", {{"V1", true}, {"x", false}}},
    {"a\"b c", {{"a\"b", false}, {"c", false}}},
    {"[[3072]", {{"[3072", false}}},
};

TEST(ScanPointList, SplitsItemsAtCommasBlanksAndTheClosingBracket) {
    for (const ScanCase& c : SCAN_CASES) {
        SCOPED_TRACE(c.text);
        const std::vector<PointItem> items = scan_point_list(c.text);
        ASSERT_EQ(items.size(), c.items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].text, c.items[i].first);
            EXPECT_EQ(items[i].quoted, c.items[i].second);
        }
    }
}

struct ParseCase {
    const char* text;
    std::vector<uint16_t> selection;
};

const ParseCase PARSE_CASES[] = {
    {"[3072, 0x0C01, \"V1\"]", {3072, 3073, 4352}},
    {"\"3072\"", {3072}},
    {"0X0c00", {3072}},
    {"\"0x1100\"", {4352}},
    {"+3072", {3072}},
    {"\" 3072\"", {3072}},
    {"3150", {3150}},
    {"3072, 3072", {3072, 3072}},
    {"\"total kw\"", {5120}},
    {"\"V1\"", {4352}},
    {"\"Frequency\"", {5378}},
    {"\"kWh import\"", {5888}},
    {"\"V1 mag\"", {4224}},
    {"\"Max demand REG1\"", {18304}},
    {"\"I1 max demand\"", {14083}},
    {"\"energy reg16\"", {6031}},
    {"\"FREQ4C\"", {4107}},
    {"\"V1 THD\"", {4370}},
    {"\"I4\"", {5376}},
    {"\"v1 DEMAND\"", {5632}},
};

TEST(ParsePointList, ResolvesNumbersAndQuotedNamesInTextOrder) {
    for (const ParseCase& c : PARSE_CASES) {
        EXPECT_EQ(parse_point_list(c.text), c.selection) << c.text;
    }
}

struct FailCase {
    const char* text;
    const char* message;
};

const FailCase FAIL_CASES[] = {
    {"V1", "points: unexpected item V1"},
    {"[\"3072\", \"\"]", "points: empty item"},
    {"70000", "points: 70000 is not a 16-bit point ID"},
    {"-1", "points: -1 is not a 16-bit point ID"},
    {"\"-1\"", "points: -1 is not a 16-bit point ID"},
    {"4294970368", "points: 4294970368 is not a 16-bit point ID"},
    {"-4294963200", "points: -4294963200 is not a 16-bit point ID"},
    {"0x100000C00", "points: 0x100000C00 is not a 16-bit point ID"},
    {"28672", "Point 0x7000 is not in a readable register block"},
    {"0", "Point 0x0000 is not in a readable register block"},
    {"0x0C80", "Point 0x0C80 is not in a readable register block"},
    {"\"Tariff 1 energy\"", "Unknown point 'Tariff 1 energy'"},
    {"\"V1 \"", "Unknown point 'V1 '"},
    {"\"V\"", "Unknown point 'V'"},
    {"0x", "points: unexpected item 0x"},
    {"3072abc", "points: unexpected item 3072abc"},
    {"12.5", "points: unexpected item 12.5"},
    {"3072, 70000, \"\"", "points: 70000 is not a 16-bit point ID"},
    {"3072, V1, 70000", "points: unexpected item V1"},
};

TEST(ParsePointList, StopsAtTheFirstBadItemWithItsMessage) {
    for (const FailCase& c : FAIL_CASES) {
        try {
            parse_point_list(c.text);
            ADD_FAILURE() << "no failure for " << c.text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), c.message) << c.text;
        }
    }
}

// The em133 set is checked point by point in the live document it gives
// (tests/integration); the em235 adds its own points to it.
TEST(LivePoints, Em235SetAddsItsOwnPointsInAscendingOrder) {
    const auto em235 = live_points(MeterModel::EM235);
    EXPECT_EQ(em235.size(), 61u);
    EXPECT_TRUE(std::is_sorted(em235.begin(), em235.end()));
    EXPECT_TRUE(std::adjacent_find(em235.begin(), em235.end()) == em235.end());
    for (const uint16_t id : {5376, 5390, 5890, 5891, 5894, 5895}) {
        EXPECT_EQ(std::count(em235.begin(), em235.end(), id), 1) << id;
    }
    for (const uint16_t id : {5386, 5899, 5900}) {
        EXPECT_EQ(std::count(em235.begin(), em235.end(), id), 0) << id;
    }
}

}  // namespace
}  // namespace tandrel
