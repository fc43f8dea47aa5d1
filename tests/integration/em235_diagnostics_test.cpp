// The em235 diagnostics export against a simulated em235 on port 502 of a
// loopback address of its own (each test takes another address).
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

#include "sim/simulator.h"
#include "support/temp_dir.h"
#include "tandrel.h"

namespace {

namespace fs = std::filesystem;
using tandrel::testing::file_bytes;
using tandrel_sim::Model;
using tandrel_sim::Request;
using tandrel_sim::SimOptions;
using tandrel_sim::Simulator;

constexpr uint16_t DIAG_ADDRESS = 0x3E80;  // register number 0x3E81
constexpr uint8_t DIAG_UNIT = 5;

// Rows 0-25 after the fixed first four lines, bit b set where `set` says.
std::string bit_rows(uint32_t value) {
    static const char* const LABELS[26] = {
        "Critical error", "Permanent fault (critical error)", "RAM/Data error",
        "CPU watchdog reset", "DSP/Sampling fault", "CPU exception", "",
        "Software watchdog reset", "Power down", "Device reset", "Configuration reset",
        "RTC fault (critical error)", "Configuration fault (critical error)", "Low battery",
        "Expanded memory fault", "CPU EEPROM fault", "AC board EEPROM fault",
        "I/O board EEPROM fault", "", "", "C Library error", "RTOS Kernel error", "Task error", "",
        "IRIG-B signal lost", "IRIG-B time unlocked"};
    std::string rows;
    for (int b = 0; b < 26; ++b) {
        rows += std::to_string(b) + "," + LABELS[b] + "," + (((value >> b) & 1u) ? "1" : "0") +
                "\n";
    }
    return rows;
}

class Em235Diagnostics : public ::testing::Test {
protected:
    void start(const char* address) {
        host_ = address;
        sim_ = std::make_unique<Simulator>(Model::EM235, SimOptions::deterministic());
        sim_->start(host_, 502);
        sim_->set_diagnostics(DIAG_ADDRESS, DIAG_UNIT, 0x0001, 0x0010);
    }

    int run(int unit, int count, const char* order, const std::string& path) {
        return tandrel_export_em235_diagnostics(host_.c_str(), unit, DIAG_ADDRESS + 1, count, order,
                                                path.c_str(), err_, sizeof err_);
    }

    std::string host_;
    std::unique_ptr<Simulator> sim_;
    const tandrel::testing::TempDir dir;
    const std::string path_ = dir.file("diag.csv");
    char err_[512] = "untouched";
};

TEST_F(Em235Diagnostics, HiFirstTakesTheSecondWordAsTheHighHalf) {
    start("127.0.72.1");
    ASSERT_EQ(run(DIAG_UNIT, 2, "HI_FIRST", path_), 26) << err_;
    EXPECT_STREQ(err_, "");
    EXPECT_EQ(file_bytes(path_),
              "word0_hex,word1_hex,value_hex,word_order\n0x1,0x10,0x100001,HI_FIRST\n\n"
              "bit,label,state\n" +
                  bit_rows(0x100001));
    const std::vector<Request> requests = sim_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].function, 3);
    EXPECT_EQ(requests[0].address, DIAG_ADDRESS);
    EXPECT_EQ(requests[0].count, 2);
    EXPECT_EQ(requests[0].unit_id, DIAG_UNIT);
}

TEST_F(Em235Diagnostics, AnyOtherOrderTakesTheFirstWordAsTheHighHalf) {
    start("127.0.72.2");
    // The unit id is cut to its low 8 bits: 0x105 addresses unit 5.
    ASSERT_EQ(run(0x100 + DIAG_UNIT, 2, "hi_first", path_), 26) << err_;
    EXPECT_EQ(file_bytes(path_),
              "word0_hex,word1_hex,value_hex,word_order\n0x1,0x10,0x10010,hi_first\n\n"
              "bit,label,state\n" +
                  bit_rows(0x10010));
}

TEST_F(Em235Diagnostics, ACountBelowTwoFailsBeforeConnecting) {
    start("127.0.72.3");
    EXPECT_EQ(run(DIAG_UNIT, 1, "HI_FIRST", path_), -1);
    EXPECT_STREQ(err_, "count must be >= 2 for 32-bit diagnostics");
    EXPECT_EQ(sim_->connections_accepted(), 0);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(Em235Diagnostics, ARejectedReadWritesNoFile) {
    start("127.0.72.4");
    EXPECT_EQ(run(DIAG_UNIT + 1, 2, "HI_FIRST", path_), -1);
    EXPECT_STREQ(err_, "Modbus exception 2");
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(Em235Diagnostics, APathThatCannotBeOpenedFailsAfterTheRead) {
    start("127.0.72.5");
    const std::string bad = dir.file("missing/diag.csv");
    EXPECT_EQ(run(DIAG_UNIT, 2, "HI_FIRST", bad), -1);
    EXPECT_EQ(std::string(err_), "Cannot open CSV: " + bad);
    EXPECT_EQ(sim_->requests().size(), 1u);
}

// Register numbers count from 1; the start address is the number less one in
// 16 bits, computed without signed overflow (INT_MIN included).
TEST_F(Em235Diagnostics, RegisterNumberToAddressTable) {
    start("127.0.72.7");
    const struct {
        int register_no;
        uint16_t address;
    } cases[] = {{INT_MIN, 0xFFFF}, {0, 0xFFFF}, {1, 0x0000}, {65537, 0x0000}, {INT_MAX, 0xFFFE}};
    for (const auto& c : cases) {
        sim_->clear_requests();
        tandrel_export_em235_diagnostics(host_.c_str(), DIAG_UNIT, c.register_no, 2, "HI_FIRST",
                                         path_.c_str(), err_, sizeof err_);
        const std::vector<Request> requests = sim_->requests();
        ASSERT_EQ(requests.size(), 1u) << c.register_no;
        EXPECT_EQ(requests[0].address, c.address) << c.register_no;
    }
}

TEST_F(Em235Diagnostics, AFailedWriteIsAFailureNotASuccess) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no device that fails every write";
    start("127.0.72.6");
    EXPECT_EQ(run(DIAG_UNIT, 2, "HI_FIRST", "/dev/full"), -1);
    EXPECT_STREQ(err_, "Cannot write CSV: /dev/full");
}

}  // namespace
