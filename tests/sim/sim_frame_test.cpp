// The simulator's own request framing and PDU decoding; headers that cannot
// be framed are checked on the wire, where they close the connection.
#include <gtest/gtest.h>

#include "sim/sim_frame.h"

using namespace tandrel_sim;

namespace {

struct DecodeCase {
    const char* what;
    std::vector<std::uint8_t> pdu;
    int exception;
};

const DecodeCase DECODE_CASES[] = {
    {"read 1", {3, 0, 0, 0, 1}, 0},
    {"read 125", {3, 0, 0, 0, 125}, 0},
    {"read 0", {3, 0, 0, 0, 0}, 3},
    {"read 126", {3, 0, 0, 0, 126}, 3},
    {"read short", {3, 0, 0, 0}, 3},
    {"read long", {3, 0, 0, 0, 1, 0}, 3},
    {"write single", {6, 0x0A, 0x0F, 0, 7}, 0},
    {"write single short", {6, 0x0A, 0x0F, 0}, 3},
    {"write multiple", {16, 0, 1, 0, 2, 4, 0, 1, 0, 2}, 0},
    {"write multiple bad byte count", {16, 0, 1, 0, 2, 3, 0, 1, 0, 2}, 3},
    {"write multiple missing data", {16, 0, 1, 0, 2, 4, 0, 1}, 3},
    {"write multiple count 0", {16, 0, 1, 0, 0, 0}, 3},
    {"read input registers", {4, 0, 0, 0, 1}, 1},
    {"empty pdu", {}, 1},
};

}  // namespace

TEST(SimFrame, DecodesRequestsAndNamesTheirFaults) {
    for (const DecodeCase& c : DECODE_CASES) {
        EXPECT_EQ(decode_request(c.pdu).exception, c.exception) << c.what;
    }
}

TEST(SimFrame, DecodesWriteMultipleValues) {
    const PduRequest r = decode_request({16, 0xF6, 0x90, 0, 2, 4, 0, 11, 0x12, 0x34});
    EXPECT_EQ(r.address, 0xF690);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.values, (std::vector<std::uint16_t>{11, 0x1234}));
}

TEST(SimFrame, WaitsForTheWholeFrame) {
    const std::vector<std::uint8_t> f = build_frame(7, 1, {3, 0, 0, 0, 1});
    Frame out;
    std::size_t used = 0;
    for (std::size_t n = 0; n < f.size(); ++n) {
        EXPECT_EQ(parse_frame(f.data(), n, out, used), ParseStatus::Incomplete) << n;
    }
    ASSERT_EQ(parse_frame(f.data(), f.size(), out, used), ParseStatus::Complete);
    EXPECT_EQ(used, f.size());
    EXPECT_EQ(out.transaction_id, 7);
    EXPECT_EQ(out.pdu, (std::vector<std::uint8_t>{3, 0, 0, 0, 1}));
}

TEST(SimFrame, CutsTheFirstOfTwoFrames) {
    std::vector<std::uint8_t> two = build_frame(1, 1, {3, 0, 0, 0, 1});
    const std::vector<std::uint8_t> second = build_frame(2, 1, {3, 0, 5, 0, 2});
    two.insert(two.end(), second.begin(), second.end());
    Frame out;
    std::size_t used = 0;
    ASSERT_EQ(parse_frame(two.data(), two.size(), out, used), ParseStatus::Complete);
    EXPECT_EQ(used, two.size() - second.size());
    EXPECT_EQ(out.transaction_id, 1);
}

TEST(SimFrame, BuildsAnswers) {
    EXPECT_EQ(read_response(3, {0x1234, 0x0001}),
              (std::vector<std::uint8_t>{3, 4, 0x12, 0x34, 0, 1}));
    EXPECT_EQ(exception_response(16, 2), (std::vector<std::uint8_t>{0x90, 2}));
    EXPECT_EQ(build_frame(0x0102, 9, {6}), (std::vector<std::uint8_t>{1, 2, 0, 0, 0, 2, 9, 6}));
}
