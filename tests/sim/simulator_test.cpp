// What the library's tests cannot see of the simulator, driven with a bare
// client whose framing is its own, so that the simulator is checked against
// neither the library's client nor its own frame parser: the transcripts of
// tests/data/sim/wire.txt, random requests, start and stop.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "support/case_file.h"
#include "platform/socket.h"
#include "sim/simulator.h"
#if TANDREL_SIM_HAS_SCENARIO
#include "scenario_json.h"
#endif

using namespace tandrel_sim;
namespace platform = tandrel::platform;

namespace {

std::vector<std::uint8_t> bytes_of(const std::string& hex) {
    std::istringstream in(hex);
    std::vector<std::uint8_t> out;
    for (std::string word; in >> word;) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return out;
}

class RawClient {
public:
    explicit RawClient(std::uint16_t port) {
        std::uint32_t addr = 0;
        platform::startup_sockets();
        platform::parse_ipv4("127.0.0.1", addr);
        if (platform::connect_tcp(sock_, addr, port, 1000) != platform::ConnectStatus::Connected) {
            throw std::runtime_error("test client cannot connect");
        }
    }

    bool send(const std::vector<std::uint8_t>& bytes) {
        return sock_.send_all(bytes.data(), bytes.size());
    }

    // unit_pdu: the unit id, then the PDU; framed under the next transaction id.
    bool send_request(const std::vector<std::uint8_t>& unit_pdu) {
        ++tid_;
        const std::size_t n = unit_pdu.size();
        std::vector<std::uint8_t> f = {static_cast<std::uint8_t>(tid_ >> 8),
                                       static_cast<std::uint8_t>(tid_), 0, 0,
                                       static_cast<std::uint8_t>(n >> 8),
                                       static_cast<std::uint8_t>(n)};
        f.insert(f.end(), unit_pdu.begin(), unit_pdu.end());
        return send(f);
    }

    // One answer as hex, read to the length its header announces: "-" when
    // none comes, the header and ".." when its body does not.
    std::string receive() {
        std::vector<std::uint8_t> a(7);
        if (!sock_.recv_exact(a.data(), 7)) return "-";
        a.resize(7 + static_cast<std::size_t>(std::clamp((a[4] << 8 | a[5]) - 1, 0, 300)));
        const bool whole = sock_.recv_exact(a.data() + 7, a.size() - 7);
        std::string hex;
        for (std::size_t i = 0; i < (whole ? a.size() : 7); ++i) {
            char b[4];
            std::snprintf(b, sizeof b, "%02x ", a[i]);
            hex += b;
        }
        return whole ? hex.substr(0, hex.size() - 1) : hex + "..";
    }

private:
    platform::Socket sock_;
    std::uint16_t tid_ = 0;
};

// The fault rules a wire case names, built the way a test adds them.
std::vector<Fault> fault_set(const std::string& name) {
    if (name == "match") {
        return {Fault::exception_at(reg::IDENTIFICATION + 10, 4), Fault::exception_at_request(2, 6),
                Fault::exception_at_request(-1, 5).for_function(6).always(),
                Fault::exception_at_request(-1, 11).for_unit(9).always()};
    }
    if (name == "silence_close") return {Fault::silence_at_request(2), Fault::close_at_request(4)};
    if (name == "delay_segments") {
        return {Fault::delay_at_request(1, 50), Fault::one_byte_segments()};
    }
    if (name == "malformed") {
        return {Fault::wrong_transaction_id_at_request(1), Fault::wrong_function_code_at_request(2),
                Fault::bad_byte_count_at_request(3), Fault::mbap_length_at_request(4, 261)};
    }
    EXPECT_EQ(name, "") << "no such fault set";
    return {};
}

}  // namespace

#if TANDREL_SIM_HAS_SCENARIO
TEST(SimulatorWire, Transcripts) {
    std::string scenario;
    std::unique_ptr<Simulator> sim;
    std::map<std::string, std::unique_ptr<RawClient>> clients;
    for (const auto& c : tandrel::testing::read_cases("sim/wire.txt")) {
        if (c[0] != scenario) {
            clients.clear();
            scenario = c[0];
            std::istringstream names(scenario);
            std::string file, faults;
            names >> file >> faults;
            std::ifstream in(std::string(TANDREL_TEST_DATA_DIR) + "/sim/" + file + ".json");
            const std::string doc((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
            const ScenarioHead head = read_scenario_head(doc);
            sim = std::make_unique<Simulator>(head.model, head.options);
            apply_scenario(doc, *sim);
            for (const Fault& f : fault_set(faults)) sim->add_fault(f);
            sim->start();
        }
        std::unique_ptr<RawClient>& client = clients[c[1]];
        if (!client) client = std::make_unique<RawClient>(sim->port());
        if (c[2].rfind("raw ", 0) == 0) {
            client->send(bytes_of(c[2].substr(4)));
        } else if (c[2] != "-") {
            client->send_request(bytes_of(c[2]));
        }
        const std::string answer = client->receive();
        const std::string& want = c[3];
        const bool prefix = want.size() > 2 && want.compare(want.size() - 2, 2, "..") == 0;
        const std::size_t n = prefix ? want.size() - 2 : std::string::npos;
        EXPECT_EQ(answer.substr(0, n), want.substr(0, n)) << c.where;
    }
}
#endif

// Random requests of any function and unit each get an answer of their
// function, normal or exception, on one connection.
TEST(SimulatorRobustness, RandomRequestsAreAnswered) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    std::mt19937 rng(12345);
    for (int i = 0; i < 2000; ++i) {
        std::vector<std::uint8_t> p(2 + rng() % 12);
        for (auto& byte : p) byte = static_cast<std::uint8_t>(rng());
        p[1] = static_cast<std::uint8_t>(std::array<int, 5>{3, 6, 16, 1, 0x80}[rng() % 5]);
        ASSERT_TRUE(c.send_request(p));
        const std::vector<std::uint8_t> answer = bytes_of(c.receive());
        ASSERT_GE(answer.size(), 8u) << i;
        EXPECT_EQ(answer[7] & 0x7F, p[1] & 0x7F);
    }
}

// Rules cleared while serving act no more; a stopped simulator closes its
// clients and frees its port.
TEST(SimulatorLifecycle, ClearsFaultsStopsAndFreesThePort) {
    auto sim = std::make_unique<Simulator>(Model::EM133, SimOptions::deterministic());
    sim->add_fault(Fault::exception_at(reg::IDENTIFICATION, 4));
    sim->start();
    const std::uint16_t port = sim->port();
    const std::vector<std::uint8_t> read_id = {1, 3, 0xB4, 0, 0, 2};
    RawClient c(port);
    c.send_request(read_id);
    EXPECT_EQ(c.receive(), "00 01 00 00 00 03 01 83 04");
    sim->clear_faults();
    c.send_request(read_id);
    EXPECT_EQ(c.receive().substr(0, 26), "00 02 00 00 00 07 01 03 04");
    Simulator busy(Model::EM133, SimOptions::deterministic());
    EXPECT_THROW(busy.start("127.0.0.1", port), std::runtime_error);
    sim.reset();
    c.send_request(read_id);
    EXPECT_EQ(c.receive(), "-");
    busy.start("127.0.0.1", port);
    RawClient again(port);
    again.send_request(read_id);
    EXPECT_EQ(again.receive().substr(0, 26), "00 01 00 00 00 07 01 03 04");
}
