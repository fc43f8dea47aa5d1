// The simulator against Modbus peers we did not write: libmodbus as a client
// in-process, and the mbpoll program against a running tandrel-sim.
#include <gtest/gtest.h>

#include <modbus.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/simulator.h"

using namespace tandrel_sim;

namespace {

std::string command_output(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
    return out;
}

}  // namespace

// Identification, the clock written and read back, a Modbus exception, an
// unsupported function and File Info, each as libmodbus frames and checks them.
TEST(SimInterop, LibmodbusTalksToTheSimulatedMeter) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.start();
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", sim.port());
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(modbus_connect(ctx), 0);
    std::uint16_t w[26] = {};
    ASSERT_EQ(modbus_read_registers(ctx, reg::IDENTIFICATION, 26, w), 26);
    EXPECT_EQ(w[2], 133);
    EXPECT_EQ(w[4], ('E' << 8) | 'M');

    ASSERT_EQ(modbus_write_register(ctx, reg::EM133_CLOCK_PARAM, 7), 1);
    EXPECT_EQ(sim.register_value(reg::EM133_CLOCK_PARAM), 7);
    const std::uint16_t clock[7] = {9, 5, 8, 1, 3, 26, 1};  // Sunday 2026-03-01 08:05:09
    ASSERT_EQ(modbus_write_registers(ctx, reg::EM133_CLOCK, 7, clock), 7);
    EXPECT_EQ(sim.clock_seconds(), 1772352309u);
    std::uint16_t back[7] = {};
    ASSERT_EQ(modbus_read_registers(ctx, reg::EM133_CLOCK, 7, back), 7);
    EXPECT_TRUE(std::equal(clock, clock + 7, back));

    EXPECT_EQ(modbus_read_registers(ctx, Simulator::point_address(Model::EM133, 5376), 2, w), -1);
    EXPECT_EQ(errno, EMBXILADD);
    std::uint8_t raw[] = {0xFF, 0x04, 0x00, 0x00, 0x00, 0x01};
    ASSERT_GT(modbus_send_raw_request(ctx, raw, sizeof raw), 0);
    std::uint8_t rsp[MODBUS_TCP_MAX_ADU_LENGTH];
    EXPECT_EQ(modbus_receive_confirmation(ctx, rsp), 9);
    EXPECT_EQ(rsp[7], 0x84);
    EXPECT_EQ(rsp[8], 1);

    const std::uint16_t request[8] = {9, 1, 0, 0, 0, 2, 0, 0};
    ASSERT_EQ(modbus_write_registers(ctx, reg::FILE_INFO_REQUEST, 8, request), 8);
    ASSERT_EQ(modbus_read_registers(ctx, reg::FILE_INFO_RESPONSE, 18, w), 18);
    EXPECT_EQ(w[1], 8);
    EXPECT_EQ(w[2], 4352);
    modbus_close(ctx);
    modbus_free(ctx);
}

#ifdef TANDREL_SIM_EXE
// tandrel-sim as a program: it prints its port, serves mbpoll and ends with
// status 0 on Ctrl-C.
TEST(SimInterop, MbpollReadsTheIdentificationBlockFromTandrelSim) {
    if (command_output("command -v mbpoll").empty()) GTEST_SKIP() << "mbpoll is not installed";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        execl(TANDREL_SIM_EXE, TANDREL_SIM_EXE, "--model", "em133", "--port", "0",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    FILE* out = fdopen(fds[0], "r");
    char line[256] = "";
    const bool started = out != nullptr && std::fgets(line, sizeof line, out) != nullptr;
    const char* colon = std::strrchr(line, ':');
    const int port = started && colon != nullptr ? std::atoi(colon + 1) : 0;
    const std::string polled =
        port > 0 ? command_output("mbpoll -m tcp -a 1 -t 4 -0 -r 46080 -c 26 -1 -p " +
                                  std::to_string(port) + " 127.0.0.1 2>&1")
                 : "";
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    if (out != nullptr) fclose(out);
    ASSERT_GT(port, 0) << line;
    EXPECT_NE(polled.find("[46082]: \t133"), std::string::npos) << polled;  // model id, low word
    EXPECT_NE(polled.find("[46084]: \t17741"), std::string::npos) << polled;  // "EM"
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif
