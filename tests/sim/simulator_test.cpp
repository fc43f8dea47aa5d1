// What the library's tests cannot see of the simulator, driven with a bare
// client: how its fault table matches requests and changes answers, what it
// does with requests and streams no client of ours sends, the registers only
// one model has, and its start, stop and live values.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
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
    for (int i = 0; i < 400 && !cond(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return cond();
}

}  // namespace

// Rules match by address range, request number on the connection, function
// and unit; once-rules act on the first match of any connection only.
TEST(SimulatorFaults, RulesMatchAndActOnceOrAlways) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::exception_at(ID + 10, 4));
    sim.add_fault(Fault::exception_at_request(2, 6));
    sim.add_fault(Fault::exception_at_request(-1, 5).for_function(6).always());
    sim.add_fault(Fault::exception_at_request(-1, 11).for_unit(9).always());
    sim.start();
    RawClient a(sim.port());
    EXPECT_EQ(a.exception_of(read_pdu(ID, 10)), 0);
    EXPECT_EQ(a.exception_of(read_pdu(ID, 2)), 6);
    EXPECT_EQ(a.exception_of(read_pdu(ID, 26)), 4);  // touches ID + 10
    EXPECT_EQ(a.exception_of(read_pdu(ID + 10, 1)), 4);
    EXPECT_EQ(a.exception_of(read_pdu(ID + 11, 2)), 0);
    EXPECT_EQ(a.exception_of(sim_test::pdu(6, 0xF690, 1)), 5);
    EXPECT_EQ(a.exception_of(sim_test::pdu(6, 0xF690, 1)), 5);
    EXPECT_EQ(a.exception_of(read_pdu(ID, 2), 9), 11);
    RawClient b(sim.port());
    EXPECT_EQ(b.exception_of(read_pdu(ID, 2)), 0);
    EXPECT_EQ(b.exception_of(read_pdu(ID, 2)), 0);  // request 2 again: the once-rule is spent
    EXPECT_EQ(b.exception_of(read_pdu(ID, 26)), 4);
    sim.clear_faults();
    EXPECT_EQ(b.exception_of(read_pdu(ID, 26)), 0);
}

TEST(SimulatorFaults, SilenceSkipsOneAnswerCloseEndsTheConnection) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.add_fault(Fault::silence_at_request(2));
    sim.add_fault(Fault::close_at_request(4));
    sim.start();
    RawClient c(sim.port(), 300);
    ASSERT_TRUE(c.exchange(read_pdu(ID, 2)));
    EXPECT_FALSE(c.exchange(read_pdu(ID, 2)));
    const auto third = c.exchange(read_pdu(ID, 2));
    ASSERT_TRUE(third);
    EXPECT_EQ(third->transaction_id, 3);
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
    for (int i = 0; i < 2; ++i) {
        const auto a = c.exchange(read_pdu(ID, 26));
        ASSERT_TRUE(a);
        EXPECT_EQ(a->pdu.size(), 2u + 52u);
    }
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

TEST(SimulatorRobustness, BadRequestsGetTheirExceptionAndTheConnectionServesOn) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port());
    EXPECT_EQ(c.exception_of({4, 0, 0, 0, 1}), 1);
    EXPECT_EQ(c.exception_of({0x2B, 0x0E, 1, 0}), 1);
    EXPECT_EQ(c.exception_of(read_pdu(ID, 0)), 3);
    EXPECT_EQ(c.exception_of(read_pdu(ID, 126)), 3);
    EXPECT_EQ(c.exception_of(read_pdu(0xFFFF, 2)), 2);
    EXPECT_EQ(c.exception_of({16, 0x0A, 0x0F, 0, 2, 2, 0, 0}), 3);
    EXPECT_EQ(c.exception_of(sim_test::pdu(6, 0x0001, 1)), 2);
    EXPECT_EQ(c.exception_of(read_pdu(ID, 2)), 0);
}

// Two requests in one segment are answered in order; random requests of any
// function and unit each get an answer of their function, normal or exception.
TEST(SimulatorRobustness, PipelinedAndRandomRequestsAreAnswered) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    RawClient c(sim.port(), 2000);
    ASSERT_TRUE(c.send_request(1, read_pdu(ID, 1)));
    ASSERT_TRUE(c.send_request(1, read_pdu(ID, 2)));
    const auto a = c.receive();
    const auto b = c.receive();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->transaction_id, 1);
    EXPECT_EQ(a->pdu.size(), 4u);
    EXPECT_EQ(b->transaction_id, 2);
    EXPECT_EQ(b->pdu.size(), 6u);
    std::mt19937 rng(12345);
    for (int i = 0; i < 2000; ++i) {
        std::vector<std::uint8_t> p(1 + rng() % 12);
        for (auto& byte : p) byte = static_cast<std::uint8_t>(rng());
        p[0] = static_cast<std::uint8_t>(std::array<int, 5>{3, 6, 16, 1, 0x80}[rng() % 5]);
        const auto answer = c.exchange(p, static_cast<std::uint8_t>(rng()));
        ASSERT_TRUE(answer && !answer->pdu.empty()) << i;
        EXPECT_EQ(answer->pdu[0] & 0x7F, p[0] & 0x7F);
    }
}

// What a client of ours never asks: a File Info variation other than 0 and
// 2, a malformed File Info request, a block read twice or acknowledged twice.
TEST(SimulatorProtocol, FileInfoAndTransferHoldToTheirRules) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    DataLogSetup log;
    log.point_ids = {4352};
    log.records = 25;
    sim.set_datalog(1, log);
    sim.start();
    RawClient c(sim.port());
    const auto info = [&](std::uint16_t file, std::uint16_t variation) {
        EXPECT_EQ(c.exception_of(sim_test::write_pdu(reg::FILE_INFO_REQUEST,
                                                     {9, file, 0, 0, 0, variation, 0, 0})), 0);
        return c.exception_of(read_pdu(reg::FILE_INFO_RESPONSE, 14));
    };
    EXPECT_EQ(info(1, 0), 0);
    EXPECT_EQ(info(1, 1), 2);
    EXPECT_EQ(info(9, 0), 2);
    EXPECT_EQ(c.exception_of(sim_test::write_pdu(reg::FILE_INFO_REQUEST, {8, 1, 0, 0, 0, 0})), 3);
    EXPECT_EQ(c.exception_of(sim_test::write_pdu(reg::FILE_COMMAND, {7, 1, 0, 0})), 3);
    EXPECT_EQ(c.exception_of(sim_test::pdu(6, reg::FILE_COMMAND, 2)), 3);
    ASSERT_EQ(c.exception_of(sim_test::write_pdu(reg::FILE_COMMAND, {5, 1, 0, 0})), 0);
    const auto first_seq_of_next_block = [&] {
        c.exception_of(sim_test::write_pdu(reg::FILE_COMMAND, {11, 1, 0, 0, 0, 0}));
        const auto a = c.exchange(read_pdu(reg::BLOCK_DATA, 2));
        return a ? a->pdu.at(4) << 8 | a->pdu.at(5) : -1;
    };
    EXPECT_EQ(first_seq_of_next_block(), 1);
    EXPECT_EQ(first_seq_of_next_block(), 1);  // not acknowledged: the same block again
    EXPECT_EQ(c.exception_of(sim_test::pdu(6, reg::FILE_COMMAND, 1)), 0);
    EXPECT_EQ(c.exception_of(sim_test::pdu(6, reg::FILE_COMMAND, 1)), 0);  // moves nothing
    EXPECT_EQ(first_seq_of_next_block(), 11);
}

// Registers only the other model has; a setup written over the wire, and a
// clock set by a test, show in what is read next.
TEST(SimulatorRegisters, EachModelItsOwnSetupWrittenSetupAndClockTakeEffect) {
    Simulator em133(Model::EM133, SimOptions::deterministic());
    Simulator em235(Model::EM235, SimOptions::deterministic());
    em133.start();
    em235.start();
    RawClient a(em133.port());
    RawClient b(em235.port());
    EXPECT_EQ(a.exception_of(read_pdu(reg::EM235_PT_RATIO, 1)), 2);
    EXPECT_EQ(b.exception_of(read_pdu(reg::EM133_HIGH_RES, 1)), 2);
    EXPECT_EQ(a.exception_of(read_pdu(reg::SUMMARY_SETUP + 48, 4)), 2);  // 12 registers
    EXPECT_EQ(b.exception_of(read_pdu(reg::SUMMARY_SETUP + 60, 4)), 0);  // 16 registers
    const auto v1 = static_cast<std::uint16_t>(Simulator::point_address(Model::EM133, 4352));
    const auto word = [&](std::uint16_t address) {
        const auto answer = a.exchange(read_pdu(address, 1));
        return answer ? answer->pdu.at(2) << 8 | answer->pdu.at(3) : -1;
    };
    EXPECT_EQ(word(v1), 2300);
    EXPECT_EQ(a.exception_of(sim_test::pdu(6, reg::EM133_HIGH_RES, 0)), 0);
    EXPECT_EQ(word(v1), 230);
    em133.set_clock(1772352309);  // Sunday 2026-03-01 08:05:09
    EXPECT_EQ(word(reg::EM133_CLOCK + 4), 3);
    EXPECT_EQ(word(reg::EM133_CLOCK + 6), 1);
}

TEST(SimulatorLifecycle, StopClosesClientsAndFreesThePort) {
    auto sim = std::make_unique<Simulator>(Model::EM133, SimOptions::deterministic());
    sim->start();
    const std::uint16_t port = sim->port();
    RawClient c(port);
    Simulator busy(Model::EM133, SimOptions::deterministic());
    EXPECT_THROW(busy.start("127.0.0.1", port), std::runtime_error);
    sim.reset();
    EXPECT_FALSE(c.exchange(read_pdu(ID, 2)));
    busy.start("127.0.0.1", port);
    EXPECT_EQ(RawClient(port).exception_of(read_pdu(ID, 2)), 0);
}

// Live values vary, but a point set by a test stays as set.
TEST(SimulatorValues, PointsSetStayAgainstLiveValues) {
    Simulator sim(Model::EM235);
    ASSERT_TRUE(sim.set_point_raw(5888, -60876));
    EXPECT_FALSE(sim.set_point_raw(28672, 1));
    sim.start();
    const auto a = static_cast<std::uint16_t>(Simulator::point_address(Model::EM235, 5888));
    const auto answer = RawClient(sim.port()).exchange(read_pdu(a, 2));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->pdu, (std::vector<std::uint8_t>{3, 4, 0x12, 0x34, 0xFF, 0xFF}));
}
