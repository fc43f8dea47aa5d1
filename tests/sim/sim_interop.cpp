// The simulator against Modbus peers we did not write: libmodbus as a client
// in-process, and the mbpoll program against a running tandrel-sim.
#include <gtest/gtest.h>

#include <modbus.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "sim/simulator.h"

using namespace tandrel_sim;

namespace {

struct ModbusCtx {
    explicit ModbusCtx(std::uint16_t port) : ctx(modbus_new_tcp("127.0.0.1", port)) {
        if (ctx != nullptr && modbus_connect(ctx) != 0) {
            modbus_free(ctx);
            ctx = nullptr;
        }
    }
    ~ModbusCtx() {
        if (ctx != nullptr) {
            modbus_close(ctx);
            modbus_free(ctx);
        }
    }
    modbus_t* ctx;
};

std::string command_output(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
    return out;
}

// A tandrel-sim child process on a free port, stopped with SIGINT.
struct SimProcess {
    pid_t pid = -1;
    int port = 0;
    FILE* out = nullptr;

    explicit SimProcess(const char* exe) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            execl(exe, exe, "--model", "em133", "--port", "0", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        out = fdopen(fds[0], "r");
        char line[256];
        if (out != nullptr && std::fgets(line, sizeof line, out) != nullptr) {
            const char* colon = std::strrchr(line, ':');
            if (colon != nullptr) port = std::atoi(colon + 1);
        }
    }

    // The exit status after Ctrl-C, or -1.
    int stop() {
        if (pid <= 0) return -1;
        kill(pid, SIGINT);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        if (out != nullptr) fclose(out);
        out = nullptr;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~SimProcess() { stop(); }
};

}  // namespace

TEST(SimInterop, LibmodbusReadsTheIdentificationBlock) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    ModbusCtx m(sim.port());
    ASSERT_NE(m.ctx, nullptr);
    std::uint16_t w[26] = {};
    ASSERT_EQ(modbus_read_registers(m.ctx, reg::IDENTIFICATION, 26, w), 26);
    EXPECT_EQ(w[2], 235);
    EXPECT_EQ(w[4], ('E' << 8) | 'M');
}

TEST(SimInterop, LibmodbusWritesRegistersAndTheClock) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.start();
    ModbusCtx m(sim.port());
    ASSERT_NE(m.ctx, nullptr);
    ASSERT_EQ(modbus_write_register(m.ctx, reg::EM133_CLOCK_PARAM, 7), 1);
    EXPECT_EQ(sim.register_value(reg::EM133_CLOCK_PARAM), 7);
    const std::uint16_t clock[7] = {9, 5, 8, 1, 3, 26, 1};
    ASSERT_EQ(modbus_write_registers(m.ctx, reg::EM133_CLOCK, 7, clock), 7);
    EXPECT_EQ(sim.clock_seconds(), 1772352309u);
    std::uint16_t back[7] = {};
    ASSERT_EQ(modbus_read_registers(m.ctx, reg::EM133_CLOCK, 7, back), 7);
    EXPECT_EQ(std::vector<std::uint16_t>(back, back + 7), std::vector<std::uint16_t>(clock, clock + 7));
    const std::vector<Request> r = sim.requests();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1].function, 16);
    EXPECT_EQ(r[1].values.size(), 7u);
}

TEST(SimInterop, LibmodbusSeesExceptionsAsModbusErrors) {
    Simulator sim(Model::EM133, SimOptions::deterministic());
    sim.start();
    ModbusCtx m(sim.port());
    ASSERT_NE(m.ctx, nullptr);
    std::uint16_t w[2] = {};
    const int i4 = Simulator::point_address(Model::EM133, 5376);
    EXPECT_EQ(modbus_read_registers(m.ctx, i4, 2, w), -1);
    EXPECT_EQ(errno, EMBXILADD);
    std::uint8_t raw[] = {0xFF, 0x04, 0x00, 0x00, 0x00, 0x01};
    ASSERT_GT(modbus_send_raw_request(m.ctx, raw, sizeof raw), 0);
    std::uint8_t rsp[MODBUS_TCP_MAX_ADU_LENGTH];
    EXPECT_EQ(modbus_receive_confirmation(m.ctx, rsp), 9);
    EXPECT_EQ(rsp[7], 0x84);
    EXPECT_EQ(rsp[8], 1);
}

TEST(SimInterop, LibmodbusDrivesFileInfo) {
    Simulator sim(Model::EM235, SimOptions::deterministic());
    sim.start();
    ModbusCtx m(sim.port());
    ASSERT_NE(m.ctx, nullptr);
    const std::uint16_t req[8] = {9, 4, 0, 0, 0, 2, 0, 0};
    ASSERT_EQ(modbus_write_registers(m.ctx, reg::FILE_INFO_REQUEST, 8, req), 8);
    std::uint16_t w[18] = {};
    ASSERT_EQ(modbus_read_registers(m.ctx, reg::FILE_INFO_RESPONSE, 18, w), 18);
    EXPECT_EQ(w[1], 16);
    EXPECT_EQ(w[2], 4352);
}

TEST(SimInterop, MbpollReadsTheIdentificationBlockFromTandrelSim) {
#ifndef TANDREL_SIM_EXE
    GTEST_SKIP() << "tandrel-sim is not built";
#else
    if (command_output("command -v mbpoll").empty()) GTEST_SKIP() << "mbpoll is not installed";
    SimProcess sim(TANDREL_SIM_EXE);
    ASSERT_GT(sim.port, 0);
    const std::string out = command_output("mbpoll -m tcp -a 1 -t 4 -0 -r 46080 -c 26 -1 -p " +
                                           std::to_string(sim.port) + " 127.0.0.1 2>&1");
    EXPECT_NE(out.find("[46082]: \t133"), std::string::npos) << out;  // model id, low word
    EXPECT_NE(out.find("[46084]: \t17741"), std::string::npos) << out;  // "EM"
    EXPECT_EQ(sim.stop(), 0);
#endif
}
