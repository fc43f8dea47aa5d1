// Our client against a Modbus TCP server we did not write: framing errors on
// either side show up here, not only against our own peers.
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "modbus/modbus_tcp_client.h"
#include "platform/listener.h"

namespace tandrel {
namespace {

// A libmodbus TCP server with 0x10000 holding registers, serving one client.
class PeerServer {
public:
    PeerServer() {
        platform::Listener probe;  // a free loopback port
        if (!probe.open("127.0.0.1", 0)) throw std::runtime_error("no loopback port");
        port_ = probe.port();
        probe.close();
        ctx_ = modbus_new_tcp("127.0.0.1", port_);
        for (int i = 0; i < 0x10000; ++i) {
            map_->tab_registers[i] = static_cast<uint16_t>(i ^ 0x5A5A);
        }
        listen_fd_ = modbus_tcp_listen(ctx_, 1);
        thread_ = std::thread([this] {
            if (modbus_tcp_accept(ctx_, &listen_fd_) < 0) return;
            uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
            for (int rc; (rc = modbus_receive(ctx_, query)) != -1;) {
                if (rc > 0) modbus_reply(ctx_, query, rc, map_);
            }
        });
    }
    ~PeerServer() {
        thread_.join();
        if (listen_fd_ >= 0) ::close(listen_fd_);
        modbus_free(ctx_);
        modbus_mapping_free(map_);
    }
    uint16_t port() const { return port_; }

private:
    uint16_t port_ = 0;
    modbus_mapping_t* map_ = modbus_mapping_new(0, 0, 0x10000, 0);
    modbus_t* ctx_ = nullptr;
    int listen_fd_ = -1;
    std::thread thread_;
};

TEST(ModbusInterop, ReadsAndWritesRegistersOfAnIndependentServer) {
    PeerServer server;
    ModbusTcpClient client("127.0.0.1", server.port(), 1, 3000);
    client.connect();
    const auto words = read_words(client, 0xDD60, 250);
    ASSERT_EQ(words.size(), 250u);
    for (size_t i = 0; i < words.size(); ++i) {
        ASSERT_EQ(words[i], static_cast<uint16_t>((0xDD60 + i) ^ 0x5A5A)) << i;
    }
    client.write_single_register(0x0A0F, 0x1234);
    client.write_multiple_registers(0x1100, {59, 58, 23, 31, 12, 26, 1});
    EXPECT_EQ(client.read_holding_registers(0x0A0E, 2),
              (std::vector<uint16_t>{0x0A0E ^ 0x5A5A, 0x1234}));
    EXPECT_EQ(client.read_holding_registers(0x1100, 7),
              (std::vector<uint16_t>{59, 58, 23, 31, 12, 26, 1}));
    // Reading past the map's end draws an exception reply from the peer.
    std::string message;
    try {
        client.read_holding_registers(0xFFFF, 2);
    } catch (const std::runtime_error& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "Modbus exception 2");
    EXPECT_EQ(client.read_holding_registers(0, 1).at(0), 0x5A5A);
}

}  // namespace
}  // namespace tandrel
