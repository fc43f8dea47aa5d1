// libpq beneath the PostgreSQL store. The connection's password comes only
// from libpq's own places (PGPASSWORD, ~/.pgpass, a service file): a target
// that carries one is refused before anything is sent, because a command line
// is seen by every user of the machine and kept in shell histories.
#include "postgres_conn.h"

#include <libpq-fe.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "store_target.h"

namespace tandrel_site {
namespace {

struct ConninfoFree {
    void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

void refuse_password(const std::string& target) {
    char* error = nullptr;
    std::unique_ptr<PQconninfoOption, ConninfoFree> options(
        PQconninfoParse(target.c_str(), &error));
    if (!options) {
        // libpq's message may quote the string, password and all: it is not repeated.
        PQfreemem(error);
        throw std::runtime_error("Malformed PostgreSQL connection string: " +
                                 redacted_target(target));
    }
    for (PQconninfoOption* option = options.get(); option->keyword; ++option)
        if (std::string(option->keyword) == "password" && option->val && *option->val)
            throw std::runtime_error("The connection string " + redacted_target(target) +
                                     " holds a password: keep it in ~/.pgpass, a service file "
                                     "or PGPASSWORD instead");
}

}  // namespace

std::string one_line(const std::string& message) {
    std::string line;
    size_t start = 0;
    while (start < message.size()) {
        size_t end = message.find('\n', start);
        if (end == std::string::npos) end = message.size();
        std::string part = message.substr(start, end - start);
        size_t first = part.find_first_not_of(" \t");
        if (first != std::string::npos) {
            if (!line.empty()) line += "; ";
            line += part.substr(first);
        }
        start = end + 1;
    }
    return line;
}

void append_copy_text(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
}

PgResult::~PgResult() { PQclear(result_); }

int PgResult::rows() const { return PQntuples(result_); }

std::string PgResult::text(int row, int column) const { return PQgetvalue(result_, row, column); }

size_t PgResult::affected() const {
    const char* count = PQcmdTuples(result_);
    return *count ? std::stoul(count) : 0;
}

PgConnection::PgConnection(const std::string& target) : name_(redacted_target(target)) {
    refuse_password(target);
    // Our defaults first: the target's own words, expanded from dbname, override them.
    const char* keywords[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"10", "tandrel", target.c_str(), nullptr};
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (!conn_) throw std::runtime_error("Out of memory connecting to " + name_);
    // A constructor that throws gets no destructor: a failed connection is
    // finished here, or every refused login would leak libpq's buffers.
    try {
        if (PQstatus(conn_) != CONNECTION_OK)
            throw std::runtime_error("Cannot connect to the store " + name_ + ": " +
                                     one_line(PQerrorMessage(conn_)));
        // Notices ("view does not exist, skipping") are no failures: the tool
        // keeps its output to what it says itself.
        PQsetNoticeProcessor(
            conn_, [](void*, const char*) {}, nullptr);
        // Times come back in UTC, the form the store's readers expect.
        exec("SET TIME ZONE 'UTC'");
    } catch (...) {
        close();
        throw;
    }
}

PgConnection::~PgConnection() { PQfinish(conn_); }

void PgConnection::close() {
    PQfinish(conn_);
    conn_ = nullptr;
}

void PgConnection::fail(const std::string& message) {
    throw std::runtime_error(name_ + ": " + one_line(message));
}

PgResult PgConnection::checked(pg_result* raw, int expected) {
    PgResult result(raw);
    sqlstate_.clear();
    if (PQresultStatus(raw) == expected) return result;
    const char* state = raw ? PQresultErrorField(raw, PG_DIAG_SQLSTATE) : nullptr;
    sqlstate_ = state ? state : "";
    fail(raw ? PQresultErrorMessage(raw) : PQerrorMessage(conn_));
}

PgResult PgConnection::exec(const std::string& sql) {
    pg_result* raw = PQexec(conn_, sql.c_str());
    return checked(raw,
                   PQresultStatus(raw) == PGRES_TUPLES_OK ? PGRES_TUPLES_OK : PGRES_COMMAND_OK);
}

PgResult PgConnection::exec(const std::string& sql, const std::vector<std::string>& params) {
    std::vector<const char*> values;
    for (const auto& param : params) values.push_back(param.c_str());
    pg_result* raw = PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                  values.data(), nullptr, nullptr, 0);
    return checked(raw,
                   PQresultStatus(raw) == PGRES_TUPLES_OK ? PGRES_TUPLES_OK : PGRES_COMMAND_OK);
}

void PgConnection::copy_in(const std::string& copy_sql, const std::string& data) {
    checked(PQexec(conn_, copy_sql.c_str()), PGRES_COPY_IN);
    constexpr size_t CHUNK = 1 << 20;
    for (size_t at = 0; at < data.size(); at += CHUNK) {
        size_t size = std::min(CHUNK, data.size() - at);
        if (PQputCopyData(conn_, data.data() + at, static_cast<int>(size)) != 1)
            fail(PQerrorMessage(conn_));
    }
    if (PQputCopyEnd(conn_, nullptr) != 1) fail(PQerrorMessage(conn_));
    checked(PQgetResult(conn_), PGRES_COMMAND_OK);
    while (pg_result* rest = PQgetResult(conn_)) PQclear(rest);
}

void PgConnection::each_row(const std::string& sql, const std::vector<QueryParam>& params,
                            const RowFunction& row) {
    std::vector<std::string> texts;
    for (const auto& param : params)
        texts.push_back(std::holds_alternative<int64_t>(param)
                            ? std::to_string(std::get<int64_t>(param))
                            : std::get<std::string>(param));
    std::vector<const char*> values;
    for (const auto& text : texts) values.push_back(text.c_str());
    if (!PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                           values.data(), nullptr, nullptr, 0))
        fail(PQerrorMessage(conn_));
    PQsetSingleRowMode(conn_);
    std::vector<Cell> cells;
    std::string failure;
    while (pg_result* raw = PQgetResult(conn_)) {
        PgResult result(raw);
        ExecStatusType status = PQresultStatus(raw);
        if (status == PGRES_SINGLE_TUPLE && failure.empty()) {
            cells.resize(static_cast<size_t>(PQnfields(raw)));
            for (int i = 0; i < PQnfields(raw); ++i)
                cells[static_cast<size_t>(i)] = {
                    std::string_view(PQgetvalue(raw, 0, i),
                                     static_cast<size_t>(PQgetlength(raw, 0, i))),
                    PQgetisnull(raw, 0, i) == 1};
            try {
                row(cells);
            } catch (const std::exception& e) {
                failure = e.what();  // the rest of the results are read and dropped
            }
        } else if (status != PGRES_TUPLES_OK && status != PGRES_SINGLE_TUPLE && failure.empty()) {
            failure = name_ + ": " + one_line(PQresultErrorMessage(raw));
        }
    }
    if (!failure.empty()) throw std::runtime_error(failure);
}

}  // namespace tandrel_site
