#include "store_fixture.h"

#include <atomic>

#include "record_time.h"

namespace tandrel_site::testing {

std::string backend_name(Backend backend) {
    return backend == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

tandrel::testing::PostgresServer& postgres_server() {
    static tandrel::testing::PostgresServer server{tandrel::testing::PostgresServer::Options{true}};
    return server;
}

FreshTarget::FreshTarget(Backend backend) {
    if (backend == Backend::SQLite) {
        target_ = dir_.file("site.db");
        return;
    }
    static std::atomic<int> next{0};
    std::string name = "store_" + std::to_string(++next);
    postgres_server().create_database(name);
    target_ = postgres_server().socket_target(name);
}

std::vector<LogColumn> volt_columns(int count) {
    std::vector<LogColumn> columns;
    for (int i = 1; i <= count; ++i) columns.push_back({"V" + std::to_string(i), "V", 1});
    return columns;
}

DatalogBatch datalog_batch(int first, int count, int first_seq, int values) {
    constexpr int64_t START_MS = 1796428800000;  // 2026-12-05T00:00:00.000Z
    DatalogBatch batch;
    for (int i = first; i < first + count; ++i) {
        std::string list = "[";
        for (int v = 0; v < values; ++v) list += (v ? "," : "") + std::to_string(i + v) + ".5";
        batch.add(format_record_time(START_MS + int64_t{i} * 1000), (first_seq + i - first) % 65536,
                  "SP", list + "]");
    }
    return batch;
}

MeterSighting sighting(uint32_t serial, const std::string& address, const std::string& model) {
    return {model,
            serial,
            address,
            1,
            R"({"meter":"em235","serial":)" + std::to_string(serial) + "}",
            "2026-12-06T00:00:00.000Z"};
}

LogEntry datalog_entry(int file_id, const std::vector<LogColumn>& columns) {
    return {file_id, LogKind::Datalog, -1, columns};
}

LogEntry eventlog_entry(int file_id) { return {file_id, LogKind::Eventlog, -1, {}}; }

Rows rows(Store& store, const std::string& sql, const std::vector<QueryParam>& params) {
    Rows result;
    store.query(sql, params, [&](const std::vector<Cell>& cells) {
        std::vector<std::string> row;
        for (const Cell& cell : cells)
            row.push_back(cell.null ? "NULL" : record_time_from_database(cell.text));
        result.push_back(std::move(row));
    });
    return result;
}

std::string open_failure(const std::string& target, OpenMode mode) {
    try {
        open_store(target, mode);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "opened";
}

long count(Store& store, const std::string& from_where) {
    return std::stol(rows(store, "SELECT count(*) FROM " + from_where).at(0).at(0));
}

}  // namespace tandrel_site::testing
