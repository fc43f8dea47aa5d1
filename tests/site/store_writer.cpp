// A child process for the store tests: writes BATCHES batches of SIZE known
// records of one meter's data log 1 into TARGET, and prints
// "committed TOTAL NEW" after each commit, so that a test can kill it at a
// chosen moment and know what had been committed by then.
//   store_writer TARGET BATCHES SIZE        exit 0, or 1 with the message on stderr
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "record_time.h"
#include "store.h"

using namespace tandrel_site;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: store_writer TARGET BATCHES SIZE\n");
        return 2;
    }
    const int batches = std::atoi(argv[2]);
    const int size = std::atoi(argv[3]);
    try {
        std::unique_ptr<Store> store = open_store(argv[1]);
        MeterRun run = store->begin_meter_run(
            {"EM235", 7, "127.0.0.1:502", 1, R"({"serial":7})", "2026-12-06T00:00:00.000Z"});
        std::vector<LogColumn> columns;
        for (int c = 1; c <= 8; ++c) columns.push_back({"P" + std::to_string(c), "kW", 3});
        LogRef log = store->begin_log(run, {1, LogKind::Datalog, batches * size, columns});
        DatalogBatch batch;
        long total = 0;
        for (int b = 0; b < batches; ++b) {
            batch.clear();
            for (int i = b * size; i < (b + 1) * size; ++i)
                batch.add(
                    format_record_time(1796428800000 + int64_t{i} * 60000), i % 65536, "SP",
                    "[1.000,2.000,3.000,4.000,5.000,6.000,7.000," + std::to_string(i) + ".000]");
            size_t added = store->write(log, batch);
            total += size;
            std::printf("committed %ld %zu\n", total, added);
            std::fflush(stdout);
        }
        store->close();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
