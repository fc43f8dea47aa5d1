// Peak memory of a data-log export: 1,000 records against 1,000,000 (16
// columns, 50 records per block; the large log announces no record count, so
// the export reads to the end). Each export runs in a fresh process against
// a simulator in another process, so the peak resident size seen is the
// export's own. Streaming means the two peaks differ by well under 1 MiB.
// Prints a Markdown table.
#if __has_include(<sys/resource.h>) && __has_include(<sys/wait.h>)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tandrel.h"

namespace {

const std::vector<uint16_t> POINTS = {4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359,
                                      4360, 5120, 5121, 5122, 5123, 3843, 5378, 5888};

struct Measurement {
    long baseline_kib = 0;
    long peak_kib = 0;
    int records = 0;
    double seconds = 0;
};

// Serves one log until the measuring process closes `control`.
[[noreturn]] void serve(int records, int port_pipe, int control) {
    tandrel_sim::SimOptions options = tandrel_sim::SimOptions::deterministic();
    options.default_logs = false;
    options.request_log_limit = 0;
    tandrel_sim::Simulator sim(tandrel_sim::Model::EM235, options);
    tandrel_sim::DataLogSetup log_setup;
    log_setup.point_ids = POINTS;
    log_setup.records = records;
    log_setup.records_per_block = 50;
    log_setup.interval_s = 60;
    log_setup.file_info = records <= 65535;  // File Info counts only to 65535
    log_setup.value = [](int record, int column) { return record * 7919 - column * 104729; };
    sim.set_datalog(1, log_setup);
    sim.start("127.0.0.1", 0);
    const uint16_t port = sim.port();
    if (write(port_pipe, &port, sizeof port) != sizeof port) _exit(1);
    char byte;
    while (read(control, &byte, 1) > 0) {
    }
    sim.stop();
    _exit(0);
}

long peak_kib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// In a fresh child: start the simulator's process, export, report.
[[noreturn]] void measure(int records, int result_pipe) {
    int port_pipe[2], control[2];
    if (pipe(port_pipe) != 0 || pipe(control) != 0) _exit(1);
    if (fork() == 0) {
        close(control[1]);
        serve(records, port_pipe[1], control[0]);
    }
    close(control[0]);
    uint16_t port = 0;
    if (read(port_pipe[0], &port, sizeof port) != sizeof port) _exit(1);
    const std::string options = "{\"port\":" + std::to_string(port) + "}";
    Measurement m;
    m.baseline_kib = peak_kib();
    char err[256] = {0};
    const auto start = std::chrono::steady_clock::now();
    m.records = tandrel_export_datalog_ex("127.0.0.1", "em235", 1, "/dev/null", options.c_str(),
                                          nullptr, nullptr, err, sizeof err);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peak_kib = peak_kib();
    if (m.records < 0) std::fprintf(stderr, "export failed: %s\n", err);
    close(control[1]);
    wait(nullptr);
    if (write(result_pipe, &m, sizeof m) != sizeof m) _exit(1);
    _exit(0);
}

Measurement run(int records) {
    int result[2];
    Measurement m;
    if (pipe(result) != 0) return m;
    const pid_t child = fork();
    if (child == 0) measure(records, result[1]);
    close(result[1]);
    if (read(result[0], &m, sizeof m) != sizeof m) m.records = -1;
    waitpid(child, nullptr, 0);
    close(result[0]);
    return m;
}

}  // namespace

int main() {
    const Measurement small = run(1000);
    const Measurement large = run(1000000);
    std::printf("| records | peak KiB | baseline KiB | growth KiB | s | records/s |\n"
                "|---:|---:|---:|---:|---:|---:|\n");
    for (const Measurement& m : {small, large}) {
        std::printf("| %d | %ld | %ld | %ld | %.1f | %.0f |\n", m.records, m.peak_kib,
                    m.baseline_kib, m.peak_kib - m.baseline_kib, m.seconds,
                    m.seconds > 0 ? m.records / m.seconds : 0.0);
    }
    const long difference = large.peak_kib - small.peak_kib;
    std::printf("\nThe two peaks differ by %ld KiB (%s 1024 KiB).\n", difference,
                difference < 1024 ? "below" : "NOT below");
    return small.records == 1000 && large.records == 1000000 && difference < 1024 ? 0 : 1;
}

#else

#include <cstdio>

int main() {
    std::puts("datalog_memory_bench needs fork and getrusage; not measured on this platform");
    return 0;
}

#endif
