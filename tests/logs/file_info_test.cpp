// File Info responses decoded: record count and positions, column point ids.
// The directory entries they make are checked byte for byte in tests/integration.
#include "logs/file_info.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

TEST(FileInfo, DecodesCountAndPositionsFromTheirWords) {
    std::vector<uint16_t> response(14, 0xEEEE);
    response[8] = 65535;
    response[10] = 0x1234;
    response[12] = 0x0042;
    const FileInfo info = decode_file_info(response);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.records, 65535);  // zero-extended, never negative
    EXPECT_EQ(info.current_pos, 0x1234);
    EXPECT_EQ(info.start_pos, 0x0042);
}

struct LayoutCase {
    const char* what;
    std::vector<uint16_t> response;
    std::vector<uint16_t> point_ids;
};

std::vector<uint16_t> padded(std::vector<uint16_t> words) {
    words.resize(18, 0x7777);
    return words;
}

const LayoutCase LAYOUT_CASES[] = {
    {"count in word 1", padded({0, 3, 0x1100, 0x1101, 0x1102}), {0x1100, 0x1101, 0x1102}},
    {"word 1 wins over word 0", padded({2, 1, 0x0F03, 0x0F04}), {0x0F03}},
    {"count in word 0 when word 1 is 0", padded({3, 0, 0x1100, 0x1101}), {0, 0x1100, 0x1101}},
    {"count in word 0 when word 1 is 17", padded({1, 17, 5}), {17}},
    {"both 17 or more", padded({17, 17}), {}},
    {"both 0", padded({0, 0}), {}},
    {"sixteen columns", padded({0, 16, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
     {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
};

TEST(FileLayout, DecodeTable) {
    for (const LayoutCase& c : LAYOUT_CASES) {
        const FileLayout layout = decode_file_layout(c.response);
        EXPECT_EQ(layout.point_ids, c.point_ids) << c.what;
        EXPECT_EQ(layout.column_count, static_cast<int>(c.point_ids.size())) << c.what;
    }
}

TEST(FileLayout, ShortResponseNeverReadsPastItsEnd) {
    const FileLayout layout = decode_file_layout({0, 16, 9});
    ASSERT_EQ(layout.column_count, 16);
    EXPECT_EQ(layout.point_ids[0], 9);
    EXPECT_EQ(layout.point_ids[15], 0);
}

}  // namespace
}  // namespace tandrel
