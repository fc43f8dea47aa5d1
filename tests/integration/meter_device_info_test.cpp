#include <gtest/gtest.h>

#include <string>

#include "meter_fixture.h"
#include "tandrel.h"

namespace {

using meter_test::call_with_buffers;
using meter_test::CallResult;
using meter_test::concat;
using meter_test::options_for;
using meter_test::Read;
using meter_test::reads;
using meter_test::setup_reads;
using tandrel_sim::Model;
using tandrel_sim::SimOptions;
using tandrel_sim::Simulator;

tandrel_sim::Identity identity(const std::string& name) {
    tandrel_sim::Identity id;
    id.serial = 1234567;
    id.model_id = 235;
    id.name = name;
    id.options = 0x00010002;
    id.firmware_version = 101;
    id.firmware_build = 7;
    id.bootloader_version = 3;
    id.bootloader_build = 1;
    return id;
}

CallResult device_info(const Simulator& sim, const char* meter, int out_len = 4096) {
    const std::string options = options_for(sim);
    return call_with_buffers(
        [&](char* out, int n, char* err, int e) {
            return tandrel_read_device_info("127.0.0.1", meter, options.c_str(), out, n, err, e);
        },
        out_len);
}

const Read IDENTITY_READ{0xB400, 26};

TEST(ReadDeviceInfo, WritesTheWholeDocumentAfterIdentitySetupAndRatioReads) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.set_identity(identity("EM235"));
    sim.set_pt_ratio_x10(10);
    sim.set_energy_decimals(3);
    sim.start();
    const CallResult r = device_info(sim, "em235");
    const std::string expected =
        "{\"meter\":\"em235\",\"host\":\"127.0.0.1\",\"model_name\":\"EM235\",\"model_id\":235,"
        "\"serial\":1234567,\"options\":65538,\"firmware\":{\"version\":101,\"build\":7},"
        "\"bootloader\":{\"version\":3,\"build\":1},\"setup\":{\"pt_ratio\":1.0,"
        "\"energy_decimals\":3,\"high_resolution\":true}}";
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, static_cast<int>(expected.size()));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(reads(sim),
              concat(concat({IDENTITY_READ}, setup_reads(Model::EM235)), {{0xB481, 1}}));
}

TEST(ReadDeviceInfo, ReadsAnEm133ThroughItsOwnSetupRegisters) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.set_identity(identity("EM133           "));
    sim.set_pt_ratio_x10(1200);
    sim.set_high_resolution(false);
    sim.set_energy_decimals(2);
    sim.start();
    const CallResult r = device_info(sim, "EM133");
    EXPECT_NE(r.out.find("\"meter\":\"em133\",\"host\":\"127.0.0.1\",\"model_name\":\"EM133\","),
              std::string::npos);
    EXPECT_NE(r.out.find(",\"setup\":{\"pt_ratio\":120.0,\"energy_decimals\":2,"
                         "\"high_resolution\":false}}"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(reads(sim),
              concat(concat({IDENTITY_READ}, setup_reads(Model::EM133)), {{0x0901, 1}}));
}

TEST(ReadDeviceInfo, TakesRatioOneWhenTheRatioRegisterFails) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.set_pt_ratio_x10(1200);
    // The ratio is asked twice: by the setup and then on its own, last.
    sim.add_fault(tandrel_sim::Fault::exception_at_request(1 + 2 + 16 + 1, 2));
    sim.start();
    const CallResult r = device_info(sim, "em235");
    EXPECT_GT(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"setup\":{\"pt_ratio\":1.0,\"energy_decimals\":"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"high_resolution\":true}}"), std::string::npos);
}

TEST(ReadDeviceInfo, GoesOnWhenNoSetupRegisterAnswers) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.remove_registers(0xB481, 0xB481);
    sim.remove_registers(0xB4B2, 0xB4B2);
    sim.remove_registers(0xDD60, 0xDD9F);
    sim.start();
    const CallResult r = device_info(sim, "em235");
    EXPECT_NE(r.out.find("\"setup\":{\"pt_ratio\":1.0,\"energy_decimals\":0,"
                         "\"high_resolution\":false}}"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(reads(sim), (std::vector<Read>{
                              IDENTITY_READ, {0xB481, 1}, {0xB4B2, 1}, {0xDD60, 4}, {0xB481, 1}}));
}

TEST(ReadDeviceInfo, AsksForTheSizeNeededWithoutWritingTheBuffer) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    const std::string whole = device_info(sim, "em235").out;
    ASSERT_FALSE(whole.empty());
    const CallResult r = device_info(sim, "em235", static_cast<int>(whole.size()));
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.err,
              "Output buffer too small: need " + std::to_string(whole.size() + 1) + " bytes");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(device_info(sim, "em235", static_cast<int>(whole.size() + 1)).out, whole);
}

}  // namespace
