// The transfer and File Info state machines on their own, without sockets.
#include <gtest/gtest.h>

#include "sim/file_transfer.h"

using namespace tandrel_sim;
using Words = std::vector<std::uint16_t>;

namespace {

LogMap one_file(int records, int per_block) {
    std::vector<Record> recs;
    for (int i = 0; i < records; ++i) {
        recs.push_back({0, static_cast<std::uint16_t>(i + 1), 0, 0, 0, 0, 0, 0});
    }
    LogMap logs;
    logs[1] = make_raw_log(recs, per_block, {4352});
    logs[1].generation = 1;
    return logs;
}

Words header(const TransferState& st) {
    Words h;
    EXPECT_EQ(transfer_read(st, reg::BLOCK_HEADER, 8, h), 0);
    return h;
}

}  // namespace

TEST(FileTransfer, BlocksAdvanceOnlyOnAcknowledgement) {
    const LogMap logs = one_file(5, 2);
    TransferState st;
    ASSERT_EQ(transfer_command(logs, st, {5, 1, 0, 0}), 0);
    const std::vector<Words> expected_counts = {{2, 1}, {2, 1}, {2, 3}, {1, 5}, {0, 0}};
    const std::vector<bool> acknowledge = {false, true, true, true, true};
    for (std::size_t i = 0; i < expected_counts.size(); ++i) {
        ASSERT_EQ(transfer_command(logs, st, {11, 1, 0, 0, 0, 0}), 0);
        const Words h = header(st);
        EXPECT_EQ(h[4], expected_counts[i][0]) << i;
        if (h[4] > 0) {
            Words first;
            ASSERT_EQ(transfer_read(st, reg::BLOCK_DATA, 8, first), 0);
            EXPECT_EQ(first[1], expected_counts[i][1]) << i;
        }
        if (acknowledge[i]) {
            EXPECT_EQ(transfer_acknowledge(logs, st, 1), 0);
        }
    }
}

TEST(FileTransfer, ReadsBeyondTheBlockAreNotTransferReads) {
    const LogMap logs = one_file(2, 2);
    TransferState st;
    transfer_command(logs, st, {11, 1, 0, 0, 0, 0});
    Words w;
    EXPECT_EQ(transfer_read(st, reg::BLOCK_DATA + 15, 1, w), 0);
    EXPECT_EQ(transfer_read(st, reg::BLOCK_DATA + 16, 1, w), -1);
    EXPECT_EQ(transfer_read(st, reg::BLOCK_DATA + 14, 4, w), 0);  // padded past the end
    EXPECT_EQ(w, (Words{0, 0, 0, 0}));
}

TEST(FileTransfer, ReplacedFileStartsAfresh) {
    LogMap logs = one_file(4, 2);
    TransferState st;
    transfer_command(logs, st, {11, 1, 0, 0, 0, 0});
    transfer_acknowledge(logs, st, 1);
    logs[1].generation = 2;
    transfer_command(logs, st, {11, 1, 0, 0, 0, 0});
    Words first;
    ASSERT_EQ(transfer_read(st, reg::BLOCK_DATA, 8, first), 0);
    EXPECT_EQ(first[1], 1);
}

TEST(FileInfo, RequestStatusAndAnswerAreAreasOfOneRegion) {
    const LogMap logs = one_file(3, 2);
    TransferState st;
    Words w;
    EXPECT_EQ(file_info_read(st, reg::FILE_INFO_RESPONSE, 14, w), 2);  // nothing asked yet
    ASSERT_EQ(file_info_request(logs, st, {9, 1, 0, 0, 0, 0, 0, 0}), 0);
    ASSERT_EQ(file_info_read(st, reg::FILE_INFO_RESPONSE, 14, w), 0);
    EXPECT_EQ(w[8], 3);
    ASSERT_EQ(file_info_read(st, reg::FILE_INFO_STATUS, 8, w), 0);
    EXPECT_EQ(w[7], 0);
    EXPECT_EQ(file_info_read(st, reg::FILE_INFO_RESPONSE + 30, 4, w), 2);  // past the region
    EXPECT_EQ(file_info_read(st, reg::FILE_INFO_REQUEST - 1, 1, w), -1);
    ASSERT_EQ(file_info_request(logs, st, {9, 2, 0, 0, 0, 0, 0, 0}), 0);
    ASSERT_EQ(file_info_read(st, reg::FILE_INFO_STATUS, 8, w), 0);
    EXPECT_EQ(w[7], 1);  // failed: no file 2
    EXPECT_EQ(file_info_read(st, reg::FILE_INFO_RESPONSE, 14, w), 2);
}
