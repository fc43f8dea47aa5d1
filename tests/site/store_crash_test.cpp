// A writer killed with SIGKILL at chosen moments (while it makes the schema,
// after its first commit, in the middle of a batch), and two writers at once:
// the store opens cleanly, holds every committed batch whole and nothing of
// an unfinished one, and a run to the end stores the rest exactly once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "store_fixture.h"

namespace tandrel_site::testing {
namespace {

constexpr int BATCHES = 40;
constexpr int SIZE = 500;

// store_writer with its stdout on a pipe.
class Writer {
public:
    explicit Writer(const std::string& target) {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            execl(TANDREL_STORE_WRITER, TANDREL_STORE_WRITER, target.c_str(),
                  std::to_string(BATCHES).c_str(), std::to_string(SIZE).c_str(), nullptr);
            _exit(127);
        }
        close(fds[1]);
        out_ = fdopen(fds[0], "r");
    }
    ~Writer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            wait();
        }
        if (out_) fclose(out_);
    }
    // The totals of the next commit line: committed so far and new in it; false at the end.
    bool next_commit(long& committed, long& added) {
        return std::fscanf(out_, "committed %ld %ld\n", &committed, &added) == 2;
    }
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    void kill_now() { kill(pid_, SIGKILL); }

private:
    pid_t pid_ = -1;
    FILE* out_ = nullptr;
};

struct KillPoint {
    const char* name;
    int after_commits;  // kill after this many commit lines
    int delay_us;       // and this long after the last of them
};

class CrashTest : public ::testing::TestWithParam<std::tuple<Backend, KillPoint>> {};

TEST_P(CrashTest, KilledWriterLeavesWholeBatchesAndTheNextRunTheRest) {
    auto [backend, point] = GetParam();
    FreshTarget fresh(backend);
    long committed = 0, added = 0;
    {
        Writer writer(fresh.target());
        for (int i = 0; i < point.after_commits; ++i)
            ASSERT_TRUE(writer.next_commit(committed, added));
        std::this_thread::sleep_for(std::chrono::microseconds(point.delay_us));
        writer.kill_now();
        EXPECT_TRUE(WIFSIGNALED(writer.wait()));
    }
    std::unique_ptr<Store> store = open_store(fresh.target());
    long kept = count(*store, "datalog_rows");
    EXPECT_GE(kept, committed);
    EXPECT_EQ(kept % SIZE, 0) << "a batch was stored in part";
    if (backend == Backend::SQLite) {
        EXPECT_EQ(rows(*store, "PRAGMA integrity_check"), (Rows{{"ok"}}));
    }

    Writer rest(fresh.target());
    long new_records = 0;
    while (rest.next_commit(committed, added)) new_records += added;
    EXPECT_EQ(rest.wait(), 0);
    EXPECT_EQ(new_records, BATCHES * SIZE - kept);
    EXPECT_EQ(count(*store, "datalog_rows"), BATCHES * SIZE);
    EXPECT_EQ(count(*store, "datalog_values"), BATCHES * SIZE * 8);
}

const KillPoint KILL_POINTS[] = {
    {"while_opening", 0, 2000},
    {"after_first_commit", 1, 0},
    {"inside_a_batch", 5, 1500},
    {"late", 20, 300},
};

INSTANTIATE_TEST_SUITE_P(Store, CrashTest,
                         ::testing::Combine(::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                                            ::testing::ValuesIn(KILL_POINTS)),
                         [](const auto& param_info) {
                             return backend_name(std::get<0>(param_info.param)) + "_" +
                                    std::get<1>(param_info.param).name;
                         });

// Two collectors with the same meters, started together on an empty store:
// one makes the schema while the other waits, both add the same meters and
// layouts, and every record lands once.
class TwoWritersTest : public ::testing::TestWithParam<Backend> {};

size_t write_site(const std::string& target, bool reversed) {
    std::unique_ptr<Store> store = open_store(target);
    size_t added = 0;
    for (int m = 0; m < 4; ++m) {
        uint32_t serial = static_cast<uint32_t>(reversed ? 4 - m : m + 1);
        MeterRun run = store->begin_meter_run(sighting(serial));
        LogRef log = store->begin_log(run, datalog_entry(1, volt_columns(8)));
        for (int b = 0; b < 10; ++b) {
            int batch = reversed ? 9 - b : b;
            added += store->write(log, datalog_batch(batch * 300, 300, batch * 300, 8));
        }
    }
    store->close();
    return added;
}

TEST_P(TwoWritersTest, SameMetersAtOnceStoreEachRecordOnce) {
    for (int round = 0; round < 3; ++round) {
        FreshTarget fresh(GetParam());
        size_t first = 0, second = 0;
        std::string failure;
        auto run = [&](size_t& added, bool reversed) {
            try {
                added = write_site(fresh.target(), reversed);
            } catch (const std::exception& e) {
                failure = e.what();
            }
        };
        std::thread one(run, std::ref(first), false);
        std::thread two(run, std::ref(second), true);
        one.join();
        two.join();
        ASSERT_EQ(failure, "");
        std::unique_ptr<Store> store = open_store(fresh.target(), OpenMode::Read);
        EXPECT_EQ(first + second, 4u * 3000u);
        EXPECT_EQ(count(*store, "datalog_rows"), 4 * 3000);
        EXPECT_EQ(count(*store, "meters"), 4);
        EXPECT_EQ(count(*store, "layouts"), 4);
        EXPECT_EQ(count(*store, "layout_columns"), 4 * 8);
        EXPECT_EQ(count(*store, "runs"), 8);
    }
}

INSTANTIATE_TEST_SUITE_P(Store, TwoWritersTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param_info) { return backend_name(param_info.param); });

}  // namespace
}  // namespace tandrel_site::testing
