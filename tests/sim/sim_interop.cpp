// tandrel-sim as a program against a Modbus peer we did not write, mbpoll.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
