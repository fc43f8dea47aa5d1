// The point table as the caller sees it, against tests/data/meter: the
// listing documents of both models (every point's id, name, unit and group,
// checked once against the register maps' point list, not produced by this
// code), the register families and the em235 live set.
#include <gtest/gtest.h>

#include <string>

#include "support/case_file.h"
#include "meter/point_listing.h"
#include "meter/point_selection.h"
#include "meter/point_table.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::Case;
using testing::number;
using testing::read_cases;

TEST(ListPoints, WritesTheListingOfEachModel) {
    const std::pair<const char*, int> cases[] = {{"em133", 199}, {"em235", 205}, {"PM335", 205}};
    for (const auto& [meter, count] : cases) {
        const std::string file =
            count == 199 ? "/meter/points_em133.json" : "/meter/points_em235.json";
        std::string out(64 * 1024, '\0');
        EXPECT_EQ(list_points_impl(meter, out.data(), static_cast<int>(out.size())), count);
        EXPECT_EQ(out.c_str(), testing::file_bytes(TANDREL_TEST_DATA_DIR + file)) << meter;
    }
}

TEST(PointRegister, Table) {
    for (const Case& c : read_cases("meter/registers.txt")) {
        const auto id = static_cast<uint16_t>(number(c[0]));
        const FamilyBlock* family = find_family(id);
        ASSERT_EQ(family != nullptr, c[1] != "none") << c.where;
        if (family == nullptr) continue;
        EXPECT_EQ(family->pid_base, number(c[1])) << c.where;
        EXPECT_EQ(point_register(*family, id, MeterModel::EM133), number(c[2])) << c.where;
        EXPECT_EQ(point_register(*family, id, MeterModel::EM235), number(c[3])) << c.where;
    }
}

TEST(LivePoints, Em235Set) {
    const auto expected = testing::numbers(read_cases("meter/live_points.txt").at(0)[0]);
    const auto em235 = live_points(MeterModel::EM235);
    EXPECT_EQ(std::vector<long long>(em235.begin(), em235.end()), expected);
}

}  // namespace
}  // namespace tandrel
