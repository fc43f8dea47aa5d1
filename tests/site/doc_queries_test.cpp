// The example queries of docs/history.md, read out of the document and run
// as written on a SQLite and a PostgreSQL store holding the data the document
// describes; each must return the rows shown under it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cmath>
#include <regex>
#include <sstream>

#include "record_time.h"
#include "store_fixture.h"

namespace tandrel_site::testing {
namespace {

struct DocQuery {
    std::string sql;
    std::string only;  // "SQLite", "PostgreSQL" or empty for both
    Rows expected;
};

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The rows of an expected block, "a | b | c" per line, after its title line.
Rows table_rows(const std::string& block) {
    Rows table;
    std::istringstream lines(block);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        for (size_t start = 0;;) {
            size_t bar = line.find('|', start);
            cells.push_back(trimmed(line.substr(start, bar - start)));
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
        table.push_back(cells);
    }
    return table;
}

std::vector<DocQuery> doc_queries() {
    std::string doc = tandrel::testing::file_bytes(std::string(TANDREL_DOCS_DIR) + "/history.md");
    std::vector<DocQuery> queries;
    std::regex pair("```sql\n([^`]*)```\n\n```text\n([^`]*)```");
    for (std::sregex_iterator it(doc.begin(), doc.end(), pair), end; it != end; ++it) {
        DocQuery query{(*it)[1], "", table_rows((*it)[2])};
        if (query.sql.rfind("-- SQLite\n", 0) == 0) query.only = "SQLite";
        if (query.sql.rfind("-- PostgreSQL\n", 0) == 0) query.only = "PostgreSQL";
        queries.push_back(query);
    }
    return queries;
}

bool same_cell(const std::string& got, const std::string& expected) {
    char* end_got = nullptr;
    char* end_expected = nullptr;
    double a = std::strtod(got.c_str(), &end_got);
    double b = std::strtod(expected.c_str(), &end_expected);
    if (!got.empty() && !expected.empty() && *end_got == '\0' && *end_expected == '\0')
        return std::abs(a - b) < 1e-9;
    return got == expected;
}

// Two meters with hourly energy readings over two days, and events, two of
// them within the last week.
void fill_documented_data(const std::string& target) {
    std::unique_ptr<Store> store = open_store(target);
    const int64_t start = 1796428800000;  // 2026-12-05T00:00:00.000Z
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const int64_t day = 86400000;
    struct Meter {
        const char* model;
        uint32_t serial;
        int base;
        int milli_kwh_per_hour;
    };
    for (const Meter& m :
         {Meter{"EM235", 23501178, 1000000, 1250}, Meter{"EM133", 13300421, 500000, 500}}) {
        MeterRun run = store->begin_meter_run(sighting(m.serial, "192.0.2.10:502", m.model));
        LogRef log = store->begin_log(run, datalog_entry(2, {{"kWh import", "kWh", 3}}));
        DatalogBatch batch;
        for (int hour = 0; hour < 48; ++hour) {
            int milli = m.base + hour * m.milli_kwh_per_hour;
            char value[32];
            std::snprintf(value, sizeof value, "[%d.%03d]", milli / 1000, milli % 1000);
            batch.add(format_record_time(start + hour * 3600000LL), hour + 1, "SP", value);
        }
        store->write(log, batch);
        EventBatch events;
        if (m.serial == 23501178) {
            events.add({format_record_time(now - 2 * day), 1, 3, "Setpoint 1", "V1", "ON",
                        "Relay 1", "K1", 1, 2, 2301});
        } else {
            events.add(
                {format_record_time(now - 20 * day), 1, 1, "Power up", "", "", "", "", 0, 0, 0});
            events.add(
                {format_record_time(now - 3 * day), 2, 2, "Power up", "", "", "", "", 0, 0, 0});
        }
        store->write(store->begin_log(run, eventlog_entry()), events);
    }
    store->close();
}

class DocQueriesTest : public ::testing::TestWithParam<Backend> {};

TEST_P(DocQueriesTest, EachReturnsTheRowsShown) {
    std::vector<DocQuery> queries = doc_queries();
    ASSERT_GE(queries.size(), 5u) << "the examples of docs/history.md were not found";
    FreshTarget fresh(GetParam());
    fill_documented_data(fresh.target());
    std::unique_ptr<Store> store = open_store(fresh.target(), OpenMode::Read);
    for (const DocQuery& query : queries) {
        if (!query.only.empty() && query.only != backend_name(GetParam())) continue;
        SCOPED_TRACE(query.sql);
        Rows got = rows(*store, query.sql);
        ASSERT_EQ(got.size(), query.expected.size());
        for (size_t r = 0; r < got.size(); ++r) {
            ASSERT_EQ(got[r].size(), query.expected[r].size()) << "row " << r;
            for (size_t c = 0; c < got[r].size(); ++c)
                EXPECT_TRUE(same_cell(got[r][c], query.expected[r][c]))
                    << "row " << r << " column " << c << ": " << got[r][c] << " for "
                    << query.expected[r][c];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Store, DocQueriesTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         [](const auto& param_info) { return backend_name(param_info.param); });

}  // namespace
}  // namespace tandrel_site::testing
