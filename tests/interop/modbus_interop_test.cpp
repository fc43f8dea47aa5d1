// Our client against a Modbus TCP server we did not write: framing errors on
// either side show up here, not only against our own peers.
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "modbus/modbus_tcp_client.h"
#include "platform/listener.h"

namespace tandrel {
namespace {

uint16_t free_port() {
    platform::Listener probe;
    if (!probe.open("127.0.0.1", 0)) throw std::runtime_error("no loopback port");
    return probe.port();
}

// A libmodbus TCP server with 0x10000 holding registers, serving one client.
class PeerServer {
public:
    PeerServer() : port_(free_port()) {
        map_ = modbus_mapping_new(0, 0, 0x10000, 0);
        for (int i = 0; i < 0x10000; ++i) map_->tab_registers[i] = static_cast<uint16_t>(i ^ 0x5A5A);
        ctx_ = modbus_new_tcp("127.0.0.1", port_);
        listen_fd_ = modbus_tcp_listen(ctx_, 1);
        thread_ = std::thread([this] { serve(); });
    }
    ~PeerServer() {
        thread_.join();
        if (listen_fd_ >= 0) close_fd(listen_fd_);
        modbus_free(ctx_);
        modbus_mapping_free(map_);
    }
    int port() const { return port_; }
    uint16_t reg(int address) const { return map_->tab_registers[address]; }

private:
    static void close_fd(int fd);
    void serve() {
        int client = modbus_tcp_accept(ctx_, &listen_fd_);
        if (client < 0) return;
        uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
        for (;;) {
            const int rc = modbus_receive(ctx_, query);
            if (rc == -1) break;
            if (rc > 0) modbus_reply(ctx_, query, rc, map_);
        }
    }

    uint16_t port_;
    modbus_mapping_t* map_ = nullptr;
    modbus_t* ctx_ = nullptr;
    int listen_fd_ = -1;
    std::thread thread_;
};

void PeerServer::close_fd(int fd) { ::close(fd); }

TEST(ModbusInterop, ReadsAndWritesRegistersOfAnIndependentServer) {
    PeerServer server;
    {
        ModbusTcpClient client("127.0.0.1", static_cast<uint16_t>(server.port()), 1, 3000);
        client.connect();
        const auto words = read_words(client, 0xDD60, 250);
        ASSERT_EQ(words.size(), 250u);
        for (size_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(words[i], static_cast<uint16_t>((0xDD60 + i) ^ 0x5A5A)) << i;
        }
        client.write_single_register(0x0A0F, 0x1234);
        client.write_multiple_registers(0x1100, {59, 58, 23, 31, 12, 26, 1});
        EXPECT_EQ(client.read_holding_registers(0x0A0F, 1).at(0), 0x1234);
        EXPECT_EQ(client.read_holding_registers(0x1100, 7),
                  (std::vector<uint16_t>{59, 58, 23, 31, 12, 26, 1}));
        // Reading past the map's end draws an exception reply from the peer.
        try {
            client.read_holding_registers(0xFFFF, 2);
            ADD_FAILURE() << "expected an exception reply";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Modbus exception 2");
        }
        EXPECT_EQ(client.read_holding_registers(0, 1).at(0), 0x5A5A);
    }
    EXPECT_EQ(server.reg(0x0A0F), 0x1234);
    EXPECT_EQ(server.reg(0x1106), 1);
}

}  // namespace
}  // namespace tandrel
