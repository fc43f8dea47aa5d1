// The client against a scripted peer, byte by byte: the request frames,
// transaction ids, the chunking of long reads, whole replies that fail a
// request and leave the connection usable, and the rule that a connection
// whose byte stream may be out of step is never read again. Segmented
// answers, foreign transaction ids and faults at every request of every call
// are checked through the simulator in tests/hardening (fault matrix).
#include "modbus/modbus_tcp_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/case_file.h"
#include "support/scripted_server.h"

namespace tandrel {
namespace {

using testing::Case;
using testing::Frame;
using testing::Peer;
using testing::read_answer;
using testing::read_cases;
using testing::response_frame;
using testing::ScriptedServer;

std::string failure_of(const std::function<void()>& work) {
    try {
        work();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

// Answers the first request as `how` says (see answers.txt; normally when it
// is empty) and every later one normally, until the connection is closed.
ScriptedServer::Script peer(const std::string& how) {
    return [how](Peer& p) {
        const size_t colon = how.find(':');
        const auto values =
            testing::numbers(colon == std::string::npos ? how : how.substr(colon + 1));
        const std::vector<uint8_t> bytes(values.begin(), values.end());
        Frame f;
        for (int n = 0; p.read_frame(f, 3000); ++n) {
            if (n > 0 || how.empty()) {
                p.send(read_answer(f));
            } else if (how == "late") {
                std::this_thread::sleep_for(std::chrono::milliseconds(400));
                p.send(read_answer(f));
            } else if (how.rfind("close", 0) == 0) {
                p.send(bytes);
                p.close();
                return;
            } else {
                const bool length = how.rfind("length", 0) == 0;
                p.send(response_frame(f.transaction_id, bytes,
                                      length ? std::stoi(how.substr(7)) : -1));
            }
        }
    };
}

TEST(ModbusTcpClient, FramesRequestsWithTransactionIdsFromOneWrappingToZero) {
    ScriptedServer server(peer(""));
    ModbusTcpClient client("localhost", server.port(), 7, 2000);
    client.connect();
    EXPECT_EQ(client.read_holding_registers(0x1234, 3),
              (std::vector<uint16_t>{0x0100, 0x0101, 0x0102}));
    client.read_holding_registers(0, 2, 0x1FF);  // an explicit unit, cut to its low byte
    for (int i = 2; i < 65537; ++i) client.read_holding_registers(0, 1);
    const auto frames = server.received();
    ASSERT_EQ(frames.size(), 65537u);
    EXPECT_EQ(frames[0].protocol_id, 0);
    EXPECT_EQ(frames[0].unit_id, 7);
    EXPECT_EQ(frames[0].pdu, (std::vector<uint8_t>{3, 0x12, 0x34, 0, 3}));
    EXPECT_EQ(frames[1].unit_id, 0xFF);
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(frames[i].transaction_id, static_cast<uint16_t>(i + 1)) << i;
    }
}

TEST(ReadWords, Table) {
    for (const Case& c : read_cases("modbus/chunks.txt")) {
        ScriptedServer server(peer(""));
        ModbusTcpClient client("127.0.0.1", server.port(), 1, 2000);
        client.connect();
        const auto words = read_words(client, static_cast<uint16_t>(testing::number(c[0])),
                                      static_cast<uint16_t>(testing::number(c[1])));
        ASSERT_EQ(words.size(), static_cast<size_t>(testing::number(c[1]))) << c.where;
        for (size_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(words[i], 0x0100 + i % 120) << c.where << " word " << i;
        }
        std::vector<long long> requests;
        for (const Frame& f : server.received()) {
            requests.insert(requests.end(), {f.pdu[1] << 8 | f.pdu[2], f.pdu[3] << 8 | f.pdu[4]});
        }
        EXPECT_EQ(requests, testing::numbers(c[2])) << c.where;
    }
}

TEST(ModbusTcpClient, AnswersTable) {
    for (const Case& c : read_cases("modbus/answers.txt")) {
        ScriptedServer server(peer(c[0]));
        ModbusTcpClient client("127.0.0.1", server.port(), 1, c[0] == "late" ? 200 : 2000);
        client.connect();
        EXPECT_EQ(failure_of([&] {
                      if (c[1] == "read") client.read_holding_registers(0, 2);
                      if (c[1] == "single") client.write_single_register(1, 5);
                      if (c[1] == "multiple") client.write_multiple_registers(1, {5});
                  }),
                  c[2])
            << c.where;
        const auto later_read = [&] { client.read_holding_registers(0, 2); };
        if (c[3] == "usable") {
            EXPECT_EQ(failure_of(later_read), "") << c.where;
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // any late answer is in
        EXPECT_EQ(failure_of(later_read), c[2]) << c.where;
        EXPECT_EQ(server.received().size(), 1u) << c.where;
    }
}

TEST(ModbusTcpClient, ConnectFailuresNameTheHostOrEndpoint) {
    EXPECT_EQ(
        failure_of([] { ModbusTcpClient("127.0.0.1", 502, 1, 1000).read_holding_registers(0, 1); }),
        "Socket not connected");
    for (const std::string host : {"no-such-host.invalid", "", "::1", "[127.0.0.1]"}) {
        EXPECT_EQ(failure_of([&] { ModbusTcpClient(host, 502, 1, 1000).connect(); }),
                  "Cannot resolve host: " + host);
    }
    // A listener that never accepts and has a one-slot backlog: once the queue
    // is full, the kernel drops further handshakes and the connect must time out.
    platform::Listener full;
    ASSERT_TRUE(full.open("127.0.0.1", 0, 1));
    const std::string expected = "Timed out connecting to 127.0.0.1:" + std::to_string(full.port());
    std::vector<std::unique_ptr<ModbusTcpClient>> queued;
    std::string last;
    for (int i = 0; i < 16 && last != expected; ++i) {
        queued.push_back(std::make_unique<ModbusTcpClient>("127.0.0.1", full.port(), 1, 300));
        last = failure_of([&] { queued.back()->connect(); });
    }
    EXPECT_EQ(last, expected);
}

}  // namespace
}  // namespace tandrel
