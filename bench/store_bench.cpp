// Records per second into the stores: a data log of 60,000 records of 8
// columns in batches of 5,000, into a SQLite file and into a PostgreSQL
// server started for the run (its own durability settings, fsync on);
// first into an empty store, then again with every record already stored,
// then from the library's JSON lines through the parser. Memory: the peak
// of a fresh process storing 60,000 and 600,000 records must be about the
// same, since records stream through one batch. Medians of 3 runs each.
// The machine may be shared: besides the wall-clock rate, each run counts the
// CPU time it cost (the benchmark's process, and for PostgreSQL the server
// process of its session), and the rate per CPU second does not depend on
// what else the machine runs.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "library_json.h"
#include "record_time.h"
#include "store.h"
#include "support/postgres_server.h"

using namespace tandrel_site;

namespace {

constexpr int RECORDS = 60000;
constexpr int BATCH = 5000;

// The record lines as the library writes them.
std::string record_line(int i) {
    char line[320];
    std::snprintf(
        line, sizeof line,
        "{\"type\":\"record\",\"no\":%d,\"seq\":%d,\"timestamp\":\"%s\",\"trigger\":\"SP\","
        "\"values\":[%d.%d,%d.%d,%d.%d,5.%03d,5.%03d,5.%03d,%d.%03d,%d.%03d]}",
        i + 1, i % 65536, format_record_time(1796428800000 + int64_t{i} * 60000).c_str(),
        230 + i % 7, i % 10, 229 + i % 5, (i + 3) % 10, 231, i % 9, i % 1000, (i * 7) % 1000,
        (i * 13) % 1000, 100000 + i, i % 1000, 5000 + i / 60, (i * 3) % 1000);
    return line;
}

std::vector<LogColumn> columns() {
    std::vector<LogColumn> list;
    for (const char* name : {"V1", "V2", "V3", "I1", "I2", "I3", "kWh import", "kvarh import"})
        list.push_back({name, "", 3});
    return list;
}

struct Clocks {
    double wall = 0, cpu = 0;
};

// CPU seconds of this process and, when `server_pid` > 0, of that process.
double cpu_seconds(long server_pid) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (server_pid <= 0) return cpu;
    std::ifstream stat("/proc/" + std::to_string(server_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stod(field);  // utime, stime
    return cpu + ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

Clocks now(long server_pid) {
    return {
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
        cpu_seconds(server_pid)};
}

// One pass over `records` records: parsing the lines into batches when
// `parse` (else the batches come ready), storing each batch. Returns seconds
// of the store's work (and the parser's when it is timed).
Clocks store_log(const std::string& target, const std::vector<std::string>& lines, int records,
                 bool parse) {
    std::unique_ptr<Store> store = open_store(target);
    long server = 0;
    if (std::string(store->dialect()) == "PostgreSQL")
        store->query("SELECT pg_backend_pid()", {}, [&](const std::vector<Cell>& row) {
            server = std::stol(std::string(row[0].text));
        });
    LogRef log = store->begin_log(store->begin_meter_run({"EM235", 1, "127.0.0.1:502", 1,
                                                          "{\"serial\":1}", format_record_time(0)}),
                                  {1, LogKind::Datalog, records, columns()});
    std::vector<LogColumn> seen;
    DatalogBatch batch;
    Clocks timed;
    for (int first = 0; first < records; first += BATCH) {
        Clocks start = now(server);
        for (int i = first; i < std::min(records, first + BATCH); ++i) {
            const std::string& line = lines[static_cast<size_t>(i) % lines.size()];
            if (parse || static_cast<size_t>(i) < lines.size()) {
                read_datalog_line(line, seen, batch);
            } else {  // past the prepared lines, for the memory runs: lines made as they go
                read_datalog_line(record_line(i), seen, batch);
            }
        }
        if (!parse) start = now(server);
        store->write(log, batch);
        Clocks end = now(server);
        timed.wall += end.wall - start.wall;
        timed.cpu += end.cpu - start.cpu;
        batch.clear();
    }
    store->close();
    return timed;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median records/s of three runs, each into a fresh store from `fresh()`.
template <typename Fresh>
void measure(const char* name, Fresh fresh, const std::vector<std::string>& lines) {
    std::vector<double> rates[6];  // wall and CPU: empty store, again, from JSON lines
    for (int run = 0; run < 3; ++run) {
        std::string target = fresh();
        Clocks clocks[3] = {store_log(target, lines, RECORDS, false),
                            store_log(target, lines, RECORDS, false),
                            store_log(fresh(), lines, RECORDS, true)};
        for (int i = 0; i < 3; ++i) {
            rates[2 * i].push_back(RECORDS / clocks[i].wall);
            rates[2 * i + 1].push_back(RECORDS / clocks[i].cpu);
        }
    }
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f | %.0f | %.0f |\n", name, median(rates[0]), median(rates[1]), median(rates[2]), median(rates[3]),
        median(rates[4]), median(rates[5]));
    std::fflush(stdout);
}

// Peak resident memory of a fresh process that stores `records` records.
long peak_kib(const std::string& target, const std::vector<std::string>& lines, int records) {
    pid_t pid = fork();
    if (pid == 0) {
        store_log(target, lines, records, false);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        _exit(static_cast<int>(
            std::min<long>(usage.ru_maxrss / 1024, 250)));  // MiB fits an exit code
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main() {
    // The table as docs/performance.md shows it (scripts/bench.sh --readme).
    std::printf(
        "| store | empty store, wall | per CPU second | again, all stored, wall | per CPU second "
        "| from JSON lines, wall | per CPU second |\n|---|---:|---:|---:|---:|---:|---:|\n");
    std::vector<std::string> lines;
    for (int i = 0; i < RECORDS; ++i) lines.push_back(record_line(i));
    // The SQLite files on the disk the benchmark runs from, not on a memory file system.
    std::filesystem::path dir = std::filesystem::absolute("store_bench_files");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    int file = 0;
    measure(
        "SQLite", [&] { return (dir / ("s" + std::to_string(++file) + ".db")).string(); }, lines);

    tandrel::testing::PostgresServer server{tandrel::testing::PostgresServer::Options{false, true}};
    int database = 0;
    measure(
        "PostgreSQL",
        [&] {
            std::string name = "bench" + std::to_string(++database);
            server.create_database(name);
            return server.socket_target(name);
        },
        lines);

    std::printf("\nPeak memory of a fresh process storing the log, and ten times as many records:\n\n```\n");
    for (const char* kind : {"SQLite", "PostgreSQL"}) {
        long small = 0, large = 0;
        for (int records : {RECORDS, 10 * RECORDS}) {
            std::string target = kind[0] == 'S'
                                     ? (dir / ("m" + std::to_string(records) + ".db")).string()
                                     : (server.create_database("m" + std::to_string(records)),
                                        server.socket_target("m" + std::to_string(records)));
            (records == RECORDS ? small : large) = peak_kib(target, lines, records);
        }
        std::printf("%-10s peak memory %ld MiB storing %d records, %ld MiB storing %d\n", kind,
                    small, RECORDS, large, 10 * RECORDS);
    }
    std::printf("```\n");
    std::filesystem::remove_all(dir);
    return 0;
}
