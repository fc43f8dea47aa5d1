// The fault table, malformed requests and several clients at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "sim/simulator.h"
#include "sim_test_client.h"

using namespace tandrel_sim;
using sim_test::RawClient;
using sim_test::read_pdu;

namespace {

const std::uint16_t ID = reg::IDENTIFICATION;

// Polls a condition that becomes true when a server thread catches up.
bool eventually(const std::function<bool()>& cond) {
    for (int i = 0; i < 400; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cond();
}

}  // namespace

TEST(SimulatorFaults, ExceptionAtAnAddressHitsEveryReadTouchingIt) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::exception_at(ID + 10, 4));
    sim.start();
    RawClient c(sim.port());
    EXPECT_EQ(c.exception_of(read_pdu(ID, 26)), 4);
    EXPECT_EQ(c.exception_of(read_pdu(ID + 10, 1)), 4);
    EXPECT_EQ(c.exception_of(read_pdu(ID, 10)), 0);
    EXPECT_EQ(c.exception_of(read_pdu(ID + 11, 2)), 0);
    sim.clear_faults();
    EXPECT_EQ(c.exception_of(read_pdu(ID, 26)), 0);
}

TEST(SimulatorFaults, OnceActsOnTheFirstMatchAlwaysOnEvery) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::exception_at_request(1, 6));
    sim.add_fault(Fault::exception_at_request(-1, 5).for_function(6).always());
    sim.start();
    RawClient a(sim.port());
    EXPECT_EQ(a.exception_of(read_pdu(ID, 2)), 6);
    RawClient b(sim.port());
    EXPECT_EQ(b.exception_of(read_pdu(ID, 2)), 0);  // the once-rule is spent
    EXPECT_EQ(b.exception_of(sim_test::write_single_pdu(0xF690, 1)), 5);
    EXPECT_EQ(b.exception_of(sim_test::write_single_pdu(0xF690, 1)), 5);
}

TEST(SimulatorFaults, UnitFilter) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::exception_at_request(-1, 11).for_unit(9).always());
    sim.start();
    RawClient c(sim.port());
    EXPECT_EQ(c.exception_of(read_pdu(ID, 2), 9), 11);
    EXPECT_EQ(c.exception_of(read_pdu(ID, 2), 1), 0);
}

TEST(SimulatorFaults, SilenceLeavesOneRequestUnanswered) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::silence_at_request(2));
    sim.start();
    RawClient c(sim.port(), 300);
    ASSERT_TRUE(c.exchange(read_pdu(ID, 2)));
    EXPECT_FALSE(c.exchange(read_pdu(ID, 2)));
    const auto third = c.exchange(read_pdu(ID, 2));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->transaction_id, 3);
}

TEST(SimulatorFaults, CloseAtRequestEndsTheConnection) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::close_at_request(3));
    sim.start();
    RawClient c(sim.port());
    ASSERT_TRUE(c.exchange(read_pdu(ID, 2)));
    ASSERT_TRUE(c.exchange(read_pdu(ID, 2)));
    EXPECT_FALSE(c.exchange(read_pdu(ID, 2)));
    EXPECT_TRUE(eventually([&] { return sim.open_connections() == 0; }));
    EXPECT_EQ(sim.connections_accepted(), 1);
}

TEST(SimulatorFaults, DelayedAndSegmentedAnswersArriveWhole) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::delay_at_request(1, 50));
    sim.add_fault(Fault::one_byte_segments());
    sim.start();
    RawClient c(sim.port());
    const std::vector<std::uint16_t> plain = c.read(ID, 26);
    EXPECT_EQ(plain.size(), 26u);
    EXPECT_EQ(c.read(ID, 26), plain);
}

TEST(SimulatorFaults, MalformedAnswers) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::wrong_transaction_id_at_request(1));
    sim.add_fault(Fault::wrong_function_code_at_request(2));
    sim.add_fault(Fault::bad_byte_count_at_request(3));
    sim.add_fault(Fault::mbap_length_at_request(4, 261));
    sim.start();
    RawClient c(sim.port());
    const auto a1 = c.exchange(read_pdu(ID, 2));
    ASSERT_TRUE(a1);
    EXPECT_EQ(a1->transaction_id, 2);
    const auto a2 = c.exchange(read_pdu(ID, 2));
    ASSERT_TRUE(a2);
    EXPECT_EQ(a2->pdu.at(0), 4);
    const auto a3 = c.exchange(read_pdu(ID, 2));
    ASSERT_TRUE(a3);
    EXPECT_EQ(a3->pdu.at(1), 3);
    EXPECT_EQ(a3->pdu.size(), 6u);
    ASSERT_TRUE(c.send_request(1, read_pdu(ID, 2)));
    std::uint8_t h[7];
    ASSERT_TRUE(c.socket().recv_exact(h, 7));
    EXPECT_EQ(h[4] << 8 | h[5], 261);
}

TEST(SimulatorRobustness, UnframeableStreamsAreClosed) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    const std::vector<std::vector<std::uint8_t>> bad = {
        {0, 1, 0, 1, 0, 6, 1, 3, 0, 0, 0, 1},  // protocol id 1
        {0, 1, 0, 0, 0, 0, 1},                 // length 0
        {0, 1, 0, 0, 0, 1, 1},                 // length 1: no function code
        {0, 1, 0, 0, 0, 255, 1},               // length 255
        {0, 1, 0, 0, 0xFF, 0xFF, 1},           // length 65535
    };
    for (const auto& bytes : bad) {
        RawClient c(sim.port());
        ASSERT_TRUE(c.send_bytes(bytes));
        EXPECT_FALSE(c.receive());
    }
    EXPECT_TRUE(eventually([&] { return sim.open_connections() == 0; }));
}

TEST(SimulatorRobustness, BadRequestsGetTheProperException) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    EXPECT_EQ(c.exception_of({4, 0, 0, 0, 1}), 1);
    EXPECT_EQ(c.exception_of({0x2B, 0x0E, 1, 0}), 1);
    EXPECT_EQ(c.exception_of(read_pdu(ID, 0)), 3);
    EXPECT_EQ(c.exception_of(read_pdu(ID, 126)), 3);
    EXPECT_EQ(c.exception_of(read_pdu(0xFFFF, 2)), 2);
    EXPECT_EQ(c.exception_of({16, 0x0A, 0x0F, 0, 2, 2, 0, 0}), 3);
    EXPECT_EQ(c.read(ID, 2).size(), 2u);  // the connection still serves
}

TEST(SimulatorRobustness, PipelinedRequestsAreAnsweredInOrder) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    ASSERT_TRUE(c.send_request(1, read_pdu(ID, 1)));
    ASSERT_TRUE(c.send_request(1, read_pdu(ID, 2)));
    const auto a = c.receive();
    const auto b = c.receive();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->transaction_id, 1);
    EXPECT_EQ(a->pdu.size(), 4u);
    EXPECT_EQ(b->transaction_id, 2);
    EXPECT_EQ(b->pdu.size(), 6u);
}

TEST(SimulatorRobustness, SurvivesRandomRequests) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    std::mt19937 rng(12345);
    RawClient c(sim.port(), 2000);
    for (int i = 0; i < 2000; ++i) {
        std::vector<std::uint8_t> pdu(1 + rng() % 12);
        for (auto& b : pdu) b = static_cast<std::uint8_t>(rng());
        pdu[0] = static_cast<std::uint8_t>(std::array<int, 5>{3, 6, 16, 1, 0x80}[rng() % 5]);
        const auto a = c.exchange(pdu, static_cast<std::uint8_t>(rng()));
        ASSERT_TRUE(a) << i;
        ASSERT_FALSE(a->pdu.empty());
        EXPECT_EQ(a->pdu[0] & 0x7F, pdu[0] & 0x7F);
    }
    RawClient fresh(sim.port());
    EXPECT_EQ(fresh.read(ID, 26).size(), 26u);
}

TEST(SimulatorConcurrency, SeveralClientsReadLogsAtOnce) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    const auto expected = sim.log_records(0);
    std::atomic<int> complete{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&] {
            RawClient c(sim.port());
            c.write(reg::FILE_COMMAND, {5, 0, 0, 0});
            std::vector<std::vector<std::uint16_t>> got;
            for (int guard = 0; guard < 1000; ++guard) {
                c.write(reg::FILE_COMMAND, {11, 0, 0, 0, 0, 0});
                const auto h = c.read(reg::BLOCK_HEADER, 8);
                if (h[4] == 0) break;
                const auto data = c.read(reg::BLOCK_DATA, static_cast<std::uint16_t>(h[4] * h[5]));
                for (int r = 0; r < h[4]; ++r) {
                    got.emplace_back(data.begin() + r * h[5], data.begin() + (r + 1) * h[5]);
                }
                c.write_single(reg::FILE_COMMAND, 1);
            }
            if (got == expected) ++complete;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(complete, 6);
    EXPECT_EQ(sim.connections_accepted(), 6);
}

TEST(SimulatorLifecycle, StopClosesClientsAndFreesThePort) {
    auto sim = std::make_unique<Simulator>(Model::EM133, SimOptions::deterministic());
    sim->start();
    const std::uint16_t port = sim->port();
    RawClient c(port);
    Simulator busy(Model::EM133, SimOptions::deterministic());
    EXPECT_THROW(busy.start("127.0.0.1", port), std::runtime_error);
    sim->stop();
    EXPECT_FALSE(c.exchange(read_pdu(ID, 2)));
    sim.reset();
    busy.start("127.0.0.1", port);
    RawClient again(port);
    EXPECT_EQ(again.read(ID, 2).size(), 2u);
}
