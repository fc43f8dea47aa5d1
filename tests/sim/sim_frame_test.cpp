// The simulator's own request framing and PDU decoding; headers that cannot
// be framed are checked on the wire, where they close the connection.
#include <gtest/gtest.h>

#include <sstream>

#include "support/case_file.h"
#include "sim/sim_frame.h"

using namespace tandrel_sim;
using tandrel::testing::numbers;

TEST(SimFrame, DecodesRequestsAndNamesTheirFaults) {
    for (const auto& c : tandrel::testing::read_cases("sim/decode.txt")) {
        std::istringstream hex(c[0]);
        std::vector<std::uint8_t> pdu;
        for (std::string b; hex >> b;) {
            pdu.push_back(static_cast<std::uint8_t>(std::stoul(b, nullptr, 16)));
        }
        const PduRequest r = decode_request(pdu);
        EXPECT_EQ(r.exception, numbers(c[1]).at(0)) << c.where;
        if (c.fields.size() < 3) continue;
        std::vector<long long> got = {r.address, r.count};
        got.insert(got.end(), r.values.begin(), r.values.end());
        EXPECT_EQ(got, numbers(c[2])) << c.where;
    }
}

// The first of two frames is cut out only once all of it has arrived.
TEST(SimFrame, CutsTheFirstFrameWhenWhole) {
    std::vector<std::uint8_t> two = build_frame(7, 1, {3, 0, 0, 0, 1});
    const std::size_t first = two.size();
    const std::vector<std::uint8_t> second = build_frame(8, 1, {3, 0, 5, 0, 2});
    two.insert(two.end(), second.begin(), second.end());
    Frame out;
    std::size_t used = 0;
    for (std::size_t n = 0; n < first; ++n) {
        EXPECT_EQ(parse_frame(two.data(), n, out, used), ParseStatus::Incomplete) << n;
    }
    ASSERT_EQ(parse_frame(two.data(), two.size(), out, used), ParseStatus::Complete);
    EXPECT_EQ(used, first);
    EXPECT_EQ(out.transaction_id, 7);
    EXPECT_EQ(out.pdu, (std::vector<std::uint8_t>{3, 0, 0, 0, 1}));
}
