// `tandrel collect SITE --db TARGET` as a user runs it: the built tool against
// simulated meters, into a SQLite file and a PostgreSQL database, checked by
// what it prints, its exit status and the records the store holds after it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <map>
#include <regex>
#include <thread>

#include "scenario_json.h"
#include "store_fixture.h"
#include "support/case_file.h"

namespace tandrel_site::testing {
namespace {

using tandrel::testing::file_bytes;

// Simulated meters of the named scenarios, and a site file that lists them.
class SimulatedSite {
public:
    SimulatedSite(const std::string& scenarios, const std::string& path) : path_(path) {
        std::ofstream site(path);
        std::istringstream names(scenarios);
        for (std::string name; std::getline(names, name, ',');) {
            std::string json = file_bytes(TANDREL_TEST_DATA_DIR "/site/collect/" + name + ".json");
            tandrel_sim::ScenarioHead head = tandrel_sim::read_scenario_head(json);
            sims_.push_back(std::make_unique<tandrel_sim::Simulator>(head.model, head.options));
            tandrel_sim::apply_scenario(json, *sims_.back());
            sims_.back()->start();
            site << "127.0.0.1:" << sims_.back()->port() << "\n";
        }
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::vector<std::unique_ptr<tandrel_sim::Simulator>> sims_;
};

struct Outcome {
    int exit = -1;
    std::string output;  // stdout and stderr
};

// `prefix` runs the tool as another user ("runuser -u nobody --").
Outcome collect(const std::string& site, const std::string& target, const std::string& prefix = "") {
    std::string command = prefix + " '" TANDREL_CLI "' collect '" + site + "' --db \"" + target +
                          "\" 2>&1";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) outcome.output.append(chunk, n);
    int status = pclose(pipe);
    outcome.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

bool says(const std::string& output, const std::string& pattern) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        if (std::regex_search(line, std::regex(pattern))) return true;
    return false;
}

// Per log "d SERIAL FILE RECORDS FIRST_SEQ LAST_SEQ", "; " between them.
std::string stored(const std::string& target) {
    std::unique_ptr<Store> store = open_store(target);
    std::string text;
    for (const auto& row : rows(*store,
                                "SELECT kind, serial, file_id, count(*), min(seq), max(seq) FROM "
                                "(SELECT 'd' AS kind, meter_id, file_id, seq FROM datalog_rows "
                                "UNION ALL SELECT 'e', meter_id, file_id, seq FROM event_rows) r "
                                "JOIN meters USING (meter_id) GROUP BY kind, serial, file_id "
                                "ORDER BY kind, serial, file_id")) {
        text += text.empty() ? "" : "; ";
        for (size_t i = 0; i < row.size(); ++i) text += (i ? " " : "") + row[i];
    }
    return text;
}

class CollectDbTest : public ::testing::TestWithParam<Backend> {
protected:
    tandrel::testing::TempDir dir;
};

TEST_P(CollectDbTest, EachRecordOnceRunAfterRun) {
    std::map<std::string, std::unique_ptr<FreshTarget>> stores;  // one per case
    for (const tandrel::testing::Case& c : tandrel::testing::read_cases("site/collect/runs.txt")) {
        auto& fresh = stores[c[0]];
        if (!fresh) fresh = std::make_unique<FreshTarget>(GetParam());
        if (c[1] == "stored") {
            EXPECT_EQ(stored(fresh->target()), c[2]) << c.where;
            continue;
        }
        SimulatedSite site(c[1], dir.file("site.txt"));
        Outcome run = collect(site.path(), fresh->target());
        EXPECT_EQ(run.exit, std::stoi(c[2])) << c.where << "\n" << run.output;
        EXPECT_TRUE(says(run.output, c[3])) << c.where << "\n" << run.output;
    }
}

// SIGKILL while the store is made, after a batch and between batches; each
// time the store opens and holds whole batches of 5,000, and a run to the end
// stores the rest.
TEST_P(CollectDbTest, KilledRunsLeaveWholeBatchesAndTheNextStoresTheRest) {
    FreshTarget fresh(GetParam());
    SimulatedSite site("big_slow", dir.file("site.txt"));
    for (int after_ms : {40, 800, 1300}) {
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(TANDREL_CLI, TANDREL_CLI, "collect", site.path().c_str(), "--db",
                  fresh.target().c_str(), nullptr);
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(after_ms));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        EXPECT_EQ(count(*open_store(fresh.target()), "datalog_rows") % 5000, 0) << after_ms;
    }
    EXPECT_EQ(collect(site.path(), fresh.target()).exit, 0);
    EXPECT_EQ(stored(fresh.target()), "d 1004 1 12000 1 12000");
}

TEST_P(CollectDbTest, TwoCollectorsAtOnceStoreEachRecordOnce) {
    FreshTarget fresh(GetParam());
    SimulatedSite site("big,small_grown,wrap_after", dir.file("site.txt"));
    auto run = [&] { return collect(site.path(), fresh.target()); };
    std::future<Outcome> one = std::async(std::launch::async, run);
    Outcome two = run();
    EXPECT_EQ(one.get().exit, 0);
    EXPECT_EQ(two.exit, 0) << two.output;
    EXPECT_EQ(stored(fresh.target()),
              "d 1001 1 10 1 10; d 1002 2 15 0 65535; d 1004 1 12000 1 12000; e 1001 0 3 1 3");
}

// A SQLite store that one run filled, then changed by `change`.
std::string filled_store(const tandrel::testing::TempDir& dir, const char* name,
                         const char* change) {
    SimulatedSite site("small", dir.file("site.txt"));
    std::string path = dir.file(name);
    collect(site.path(), path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, change, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

// Each stops the run before any meter is read, with one clear line and exit
// status 1, and leaves what was stored as it was; no password is repeated.
TEST(CollectDbErrors, ClearLineExitOneNothingLost) {
    tandrel::testing::TempDir dir;
    postgres_server().psql("postgres", "DROP DATABASE IF EXISTS pw; DROP ROLE IF EXISTS ann; "
                                       "CREATE ROLE ann LOGIN PASSWORD 'right-horse-battery'; "
                                       "CREATE DATABASE pw OWNER ann");
    std::string tcp = postgres_server().tcp_target("pw", "ann");
    setenv("PGPASSWORD", "wrong-staple", 1);
    std::ofstream(dir.file("notes.csv")) << "meter,kWh\n1,2\n";
    struct {
        std::string target, prefix, message;
    } cases[] = {
        {dir.file("notes.csv"), "", "notes.csv is not a tandrel store: not a SQLite database"},
        {filled_store(dir, "newer.db", "PRAGMA user_version = 3"), "",
         "newer.db is a tandrel store of schema version 3, newer than this tandrel's 2"},
        {filled_store(dir, "site.db", "PRAGMA user_version = 2"), "runuser -u nobody --",
         "site.db is read-only: cannot store into it"},
        {"host=/tmp/tandrel_no_server_here port=5999 dbname=site", "",
         "Cannot connect to the store host=/tmp/tandrel_no_server_here port=5999 dbname=site: "},
        {tcp, "", "password authentication failed for user \"ann\""},
        {tcp + " password=right-horse-battery", "", " password=*** holds a password"},
    };
    SimulatedSite site("small_grown", dir.file("site.txt"));
    for (const auto& c : cases) {
        if (c.target == dir.file("site.db")) chmod(c.target.c_str(), 0444);
        std::string before = file_bytes(c.target);
        Outcome run = collect(site.path(), c.target, c.prefix);
        EXPECT_EQ(run.exit, 1) << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("meters read"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("wrong-staple"), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("horse"), std::string::npos) << run.output;
        EXPECT_TRUE(file_bytes(c.target) == before) << c.target;
    }
    unsetenv("PGPASSWORD");
}

INSTANTIATE_TEST_SUITE_P(Store, CollectDbTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param_info) { return backend_name(param_info.param); });

}  // namespace
}  // namespace tandrel_site::testing
