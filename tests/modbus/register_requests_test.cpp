// Register reads in chunks of 120 and the checks on write replies. The
// write requests themselves are checked on the wire by the simulator in
// tests/integration (clock writes, log commands).
#include <gtest/gtest.h>

#include <stdexcept>

#include "modbus/modbus_tcp_client.h"
#include "support/scripted_server.h"

namespace tandrel {
namespace {

using testing::Frame;
using testing::Peer;
using testing::ScriptedServer;

uint16_t be16(const std::vector<uint8_t>& pdu, size_t at) {
    return static_cast<uint16_t>((pdu[at] << 8) | pdu[at + 1]);
}

// Answers every read with each register's own address.
void serve_addresses(Peer& peer) {
    Frame f;
    while (peer.read_frame(f)) {
        const uint16_t address = be16(f.pdu, 1);
        const uint16_t count = be16(f.pdu, 3);
        std::vector<uint8_t> pdu{3, static_cast<uint8_t>(count * 2)};
        for (uint16_t i = 0; i < count; ++i) {
            const uint16_t a = static_cast<uint16_t>(address + i);
            pdu.push_back(static_cast<uint8_t>(a >> 8));
            pdu.push_back(static_cast<uint8_t>(a & 0xFF));
        }
        peer.send(testing::response_frame(f.transaction_id, pdu));
    }
}

struct ChunkCase {
    uint16_t address;
    uint16_t count;
    std::vector<std::pair<uint16_t, uint16_t>> requests;
};

TEST(ReadWords, SplitsIntoRequestsOfAtMost120InOrder) {
    const ChunkCase cases[] = {
        {0xDD60, 250, {{0xDD60, 120}, {0xDDD8, 120}, {0xDE50, 10}}},
        {0, 120, {{0, 120}}},
        {0, 121, {{0, 120}, {120, 1}}},
        {0, 0, {}},
        {0xFFF0, 130, {{0xFFF0, 120}, {0x0068, 10}}},
    };
    for (const auto& c : cases) {
        ScriptedServer server(serve_addresses);
        ModbusTcpClient client("127.0.0.1", server.port(), 1, 2000);
        client.connect();
        const auto words = read_words(client, c.address, c.count);
        ASSERT_EQ(words.size(), c.count);
        for (size_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(words[i], static_cast<uint16_t>(c.address + i)) << "word " << i;
        }
        const auto frames = server.received();
        ASSERT_EQ(frames.size(), c.requests.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(be16(frames[i].pdu, 1), c.requests[i].first);
            EXPECT_EQ(be16(frames[i].pdu, 3), c.requests[i].second);
        }
    }
}

TEST(ReadWords, FailingChunkFailsTheWholeRead) {
    ScriptedServer server([](Peer& peer) {
        Frame f;
        int n = 0;
        while (peer.read_frame(f)) {
            if (++n == 2) {
                peer.send(testing::response_frame(f.transaction_id, {0x83, 0x02}));
            } else {
                peer.send(testing::read_answer(f));
            }
        }
    });
    ModbusTcpClient client("127.0.0.1", server.port(), 1, 2000);
    client.connect();
    EXPECT_THROW(read_words(client, 0, 200), std::runtime_error);
}

struct WriteReplyCase {
    bool multiple;
    std::vector<uint8_t> reply;
    const char* message;
};

TEST(WriteRegisters, RejectRepliesOfTheWrongShape) {
    const WriteReplyCase cases[] = {
        {false, {6, 0, 1, 0, 2, 0}, "Invalid write single response"},
        {false, {6, 0, 1, 0}, "Invalid write single response"},
        {false, {16, 0, 1, 0, 2}, "Invalid write single response"},
        {true, {16, 0, 1, 0}, "Invalid write multiple response"},
        {true, {6, 0, 1, 0, 1}, "Invalid write multiple response"},
        {true, {0x90, 4}, "Modbus exception 4"},
    };
    for (const auto& c : cases) {
        ScriptedServer server([&](Peer& peer) {
            Frame f;
            while (peer.read_frame(f)) peer.send(testing::response_frame(f.transaction_id, c.reply));
        });
        ModbusTcpClient client("127.0.0.1", server.port(), 1, 2000);
        client.connect();
        try {
            if (c.multiple) {
                client.write_multiple_registers(1, {5});
            } else {
                client.write_single_register(1, 5);
            }
            ADD_FAILURE() << "accepted a bad reply for " << c.message;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(WriteRegisters, EchoedAddressIsNotCompared) {
    ScriptedServer server([](Peer& peer) {
        Frame f;
        while (peer.read_frame(f)) peer.send(testing::response_frame(f.transaction_id, {6, 9, 9, 9, 9}));
    });
    ModbusTcpClient client("127.0.0.1", server.port(), 1, 2000);
    client.connect();
    EXPECT_NO_THROW(client.write_single_register(1, 5));
}

}  // namespace
}  // namespace tandrel
