// The client's framing against a scripted peer: malformed and exception
// frames, silence, closes, and the rule that a connection whose byte stream
// may be out of step is never read again. Segmented answers and foreign
// transaction ids are checked at every request of every call in
// tests/hardening (fault matrix).
#include "modbus/modbus_tcp_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "support/scripted_server.h"

namespace tandrel {
namespace {

using testing::Frame;
using testing::Peer;
using testing::ScriptedServer;
using testing::read_answer;
using testing::response_frame;

std::string failure_of(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no failure)";
}

std::unique_ptr<ModbusTcpClient> connected(const ScriptedServer& server, int timeout_ms = 2000) {
    auto c = std::make_unique<ModbusTcpClient>("127.0.0.1", server.port(), 1, timeout_ms);
    c->connect();
    return c;
}

// Answers every read normally.
void serve_reads(Peer& peer) {
    Frame f;
    while (peer.read_frame(f)) peer.send(read_answer(f));
}

TEST(ModbusTcpClient, ReadsRegistersAndFramesTheRequest) {
    ScriptedServer server(serve_reads);
    ModbusTcpClient client("127.0.0.1", server.port(), 7, 2000);
    client.connect();
    const auto words = client.read_holding_registers(0x1234, 3);
    EXPECT_EQ(words, (std::vector<uint16_t>{0x0100, 0x0101, 0x0102}));
    client.read_holding_registers(0, 2, 0x1FF);  // an explicit unit, cut to its low byte
    const auto frames = server.received();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].transaction_id, 1);
    EXPECT_EQ(frames[0].protocol_id, 0);
    EXPECT_EQ(frames[0].unit, 7);
    EXPECT_EQ(frames[0].pdu, (std::vector<uint8_t>{3, 0x12, 0x34, 0, 3}));
    EXPECT_EQ(frames[1].unit, 0xFF);
}

struct WholeFrameFault {
    const char* name;
    std::vector<uint8_t> pdu;
    const char* message;
};

// Faults that arrive as whole frames leave the connection usable.
TEST(ModbusTcpClient, WholeFrameFaultsKeepTheConnectionUsable) {
    const WholeFrameFault faults[] = {
        {"exception with code", {0x83, 0x02}, "Modbus exception 2"},
        {"exception without code", {0x83}, "Modbus exception -1"},
        {"wrong function code", {0x04, 0x04, 0, 1, 0, 2}, "Invalid read response"},
        {"byte count against length", {0x03, 0x06, 0, 1, 0, 2}, "Malformed read response length"},
        {"byte count against request", {0x03, 0x02, 0, 1}, "Malformed read response length"},
        {"one byte response", {0x03}, "Invalid read response"},
    };
    for (const auto& fault : faults) {
        bool faulted = false;
        ScriptedServer server([&](Peer& peer) {
            Frame f;
            while (peer.read_frame(f)) {
                peer.send(faulted ? read_answer(f) : response_frame(f.transaction_id, fault.pdu));
                faulted = true;
            }
        });
        const auto owned = connected(server);
        ModbusTcpClient& client = *owned;
        EXPECT_EQ(failure_of([&] { client.read_holding_registers(0, 2); }), fault.message)
            << fault.name;
        EXPECT_EQ(client.read_holding_registers(0, 2).size(), 2u) << fault.name;
    }
}

TEST(ModbusTcpClient, MbapLengthOutOfRangeBreaksTheConnection) {
    for (const int length : {0, 1, 261, 65535}) {
        ScriptedServer server([&](Peer& peer) {
            Frame f;
            while (peer.read_frame(f)) peer.send(response_frame(f.transaction_id, {3, 2, 0, 1}, length));
        });
        const auto owned = connected(server);
        ModbusTcpClient& client = *owned;
        const std::string expected = "Invalid MBAP length: " + std::to_string(length);
        EXPECT_EQ(failure_of([&] { client.read_holding_registers(0, 1); }), expected);
        // The body of the rejected frame must never be taken for the next header.
        EXPECT_EQ(failure_of([&] { client.read_holding_registers(0, 1); }), expected);
        EXPECT_EQ(server.received().size(), 1u);
    }
}

TEST(ModbusTcpClient, TimeOutFailsAndLaterRequestsFailAtOnceWithoutTraffic) {
    ScriptedServer server([](Peer& peer) {
        Frame f;
        bool answered_late = false;
        while (peer.read_frame(f, 3000)) {
            if (!answered_late) {
                // Answer only after the client gave up: a faithful client would
                // read this stale answer as the reply to its next request.
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                peer.send(read_answer(f));
                answered_late = true;
            } else {
                peer.send(read_answer(f));
            }
        }
    });
    const auto owned = connected(server, 200);
    ModbusTcpClient& client = *owned;
    EXPECT_EQ(failure_of([&] { client.read_holding_registers(0, 1); }), "socket recv failed");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(failure_of([&] { client.read_holding_registers(5, 1); }), "socket recv failed");
    EXPECT_EQ(server.received().size(), 1u);
}

// A close before the answer, or inside its header, fails this request and every later one.
TEST(ModbusTcpClient, PeerThatClosesGivesRecvFailed) {
    for (const std::vector<uint8_t>& partial : {std::vector<uint8_t>{}, {0, 1, 0}}) {
        ScriptedServer server([&](Peer& peer) {
            Frame f;
            peer.read_frame(f);
            if (!partial.empty()) peer.send(partial);
            peer.close();
        });
        const auto owned = connected(server);
        ModbusTcpClient& client = *owned;
        EXPECT_EQ(failure_of([&] { client.read_holding_registers(0, 1); }), "socket recv failed");
        EXPECT_EQ(failure_of([&] { client.read_holding_registers(0, 1); }), "socket recv failed");
    }
}

TEST(ModbusTcpClient, RequestBeforeConnectFails) {
    ModbusTcpClient client("127.0.0.1", 502, 1, 1000);
    EXPECT_EQ(failure_of([&] { client.read_holding_registers(0, 1); }), "Socket not connected");
}

TEST(ModbusTcpClient, UnresolvableHostsAreNamed) {
    for (const std::string host : {"no-such-host.invalid", "", "::1", "[127.0.0.1]"}) {
        ModbusTcpClient client(host, 502, 1, 1000);
        EXPECT_EQ(failure_of([&] { client.connect(); }), "Cannot resolve host: " + host);
    }
}

TEST(ModbusTcpClient, TransactionIdsCountFromOneAndWrapToZero) {
    ScriptedServer server(serve_reads);
    const auto owned = connected(server);
    ModbusTcpClient& client = *owned;
    for (int i = 0; i < 65537; ++i) client.read_holding_registers(0, 1);
    const auto frames = server.received();
    ASSERT_EQ(frames.size(), 65537u);
    EXPECT_EQ(frames[0].transaction_id, 1);
    EXPECT_EQ(frames[1].transaction_id, 2);
    EXPECT_EQ(frames[65534].transaction_id, 65535);
    EXPECT_EQ(frames[65535].transaction_id, 0);
    EXPECT_EQ(frames[65536].transaction_id, 1);
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

TEST(ModbusTcpClient, ConnectTimesOutWhenNothingAnswersTheHandshake) {
    // A listener that never accepts and has a one-slot backlog: once the queue
    // is full, the kernel drops further handshakes and the connect must time out.
    platform::Listener full;
    ASSERT_TRUE(full.open("127.0.0.1", 0, 1));
    const std::string expected = "Timed out connecting to 127.0.0.1:" + std::to_string(full.port());
    std::vector<std::unique_ptr<ModbusTcpClient>> queued;
    std::string last;
    for (int i = 0; i < 16 && last != expected; ++i) {
        queued.push_back(std::make_unique<ModbusTcpClient>("127.0.0.1", full.port(), 1, 300));
        try {
            queued.back()->connect();
        } catch (const std::runtime_error& e) {
            last = e.what();
        }
    }
    EXPECT_EQ(last, expected);
}

}  // namespace
}  // namespace tandrel
