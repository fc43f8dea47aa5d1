#include "meter/point_listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>


namespace tandrel {
namespace {

bool listed(const std::vector<uint16_t>& ids, uint16_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

std::string listing(const char* meter, int expected_count) {
    std::string out(64 * 1024, '\0');
    EXPECT_EQ(list_points_impl(meter, out.data(), static_cast<int>(out.size())), expected_count);
    out.resize(out.find('\0'));
    return out;
}

TEST(ListedPoints, LeavesOutTheEm235OnlyPointsOnAnEm133) {
    const auto em133 = listed_points(MeterModel::EM133);
    const auto em235 = listed_points(MeterModel::EM235);
    EXPECT_EQ(em133.size(), 199u);
    EXPECT_EQ(em235.size(), 205u);
    EXPECT_TRUE(std::is_sorted(em133.begin(), em133.end()));
    for (const uint16_t id : {5377, 5386, 5888, 5889, 5892, 5893, 5896, 5899, 5900, 5378}) {
        EXPECT_TRUE(listed(em133, id)) << id;
    }
    for (const uint16_t id : {5376, 5390, 5890, 5891, 5894, 5895}) {
        EXPECT_FALSE(listed(em133, id)) << id;
        EXPECT_TRUE(listed(em235, id)) << id;
    }
    EXPECT_FALSE(listed(em235, 28672));
    EXPECT_TRUE(listed(em235, 4098) && listed(em235, 4104));
}

TEST(ListPoints, WritesOneObjectPerPointBetweenTheModelAndTheClosingBracket) {
    const std::string doc = listing("em133", 199);
    const std::string head =
        "{\"meter\":\"em133\",\"points\":[{\"pid\":3072,\"name\":\"V1\",\"unit\":\"V\","
        "\"group\":\"1-cycle phase values\"},{\"pid\":3073,";
    EXPECT_EQ(doc.substr(0, head.size()), head);
    const std::string tail =
        "},{\"pid\":18319,\"name\":\"Max demand REG16\",\"unit\":\"\","
        "\"group\":\"billing summary maximum demands\"}]}";
    ASSERT_GE(doc.size(), tail.size());
    EXPECT_EQ(doc.substr(doc.size() - tail.size()), tail);
    EXPECT_NE(doc.find("{\"pid\":5386,\"name\":\"Frequency\",\"unit\":\"Hz\","
                       "\"group\":\"1-second auxiliary values\"}"),
              std::string::npos);
    EXPECT_EQ(doc.find("\"pid\":5376,"), std::string::npos);
    EXPECT_EQ(doc.find(' ' + std::string("{")), std::string::npos);
}

}  // namespace
}  // namespace tandrel
