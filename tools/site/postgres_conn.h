// A PostgreSQL connection through libpq and its results, each released by
// its destructor. Failures throw std::runtime_error with libpq's message made
// one line; the SQLSTATE of the last failure stays readable for the callers
// that retry a transaction another session made fail (a deadlock).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "store.h"

struct pg_conn;
struct pg_result;

namespace tandrel_site {

class PgResult {
public:
    explicit PgResult(pg_result* result) : result_(result) {}
    ~PgResult();
    PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    PgResult& operator=(PgResult&&) = delete;
    PgResult(const PgResult&) = delete;

    int rows() const;
    std::string text(int row, int column) const;
    // The row count of an INSERT, UPDATE or DELETE.
    size_t affected() const;

private:
    pg_result* result_;
};

class PgConnection {
public:
    // Refuses a target that holds a password, then connects; messages name
    // the target with any password masked.
    explicit PgConnection(const std::string& target);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    PgResult exec(const std::string& sql);
    PgResult exec(const std::string& sql, const std::vector<std::string>& params);
    // COPY ... FROM STDIN with `data` in COPY's text format.
    void copy_in(const std::string& copy_sql, const std::string& data);
    // Runs a query and hands its rows one by one (libpq's single-row mode), so
    // that a long history does not gather in memory.
    void each_row(const std::string& sql, const std::vector<QueryParam>& params,
                  const RowFunction& row);
    // "40P01" and the like for the last failure; empty when there was none.
    const std::string& last_sqlstate() const { return sqlstate_; }
    // Who is connected where, for messages: "postgresql://host/db" with no password.
    const std::string& name() const { return name_; }
    void close();

private:
    pg_conn* conn_ = nullptr;
    std::string name_;
    std::string sqlstate_;

    PgResult checked(pg_result* result, int expected);
    [[noreturn]] void fail(const std::string& message);
};

// A libpq message as one line: its lines joined with "; ", without the
// trailing line feed.
std::string one_line(const std::string& message);

// A text as COPY's text format needs it: backslash, tab, line feed and
// carriage return escaped.
void append_copy_text(std::string& out, std::string_view text);

}  // namespace tandrel_site
