// A SQLite connection and its prepared statements, each closed by its
// destructor. Failures throw std::runtime_error with SQLite's message after
// the file's name, one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tandrel_site {

class SqliteStatement;

class SqliteDb {
public:
    // flags: SQLITE_OPEN_* of sqlite3_open_v2.
    SqliteDb(const std::string& path, int flags);
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    void exec(const char* sql);
    SqliteStatement prepare(std::string_view sql);
    // One whole number from a statement such as "PRAGMA user_version".
    int64_t single_integer(const char* sql);
    // The current error as "PATH: message".
    [[noreturn]] void fail() const;
    // SQLite's primary result code of the last failure.
    int error_code() const;
    const std::string& path() const { return path_; }
    sqlite3* handle() { return db_; }
    // Closes now and reports a failure, which a destructor cannot.
    void close();

private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(SqliteDb& db, sqlite3_stmt* statement) : db_(&db), statement_(statement) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    SqliteStatement(const SqliteStatement&) = delete;

    // Parameters count from 1; a text is copied by SQLite only when `copy`.
    void bind(int index, int64_t value);
    void bind(int index, std::string_view text, bool copy = false);
    void bind_null(int index);
    // Index of a named parameter ("$1"), 0 when the statement has none so named.
    int parameter_index(const char* name) const;
    // True while there is a row; throws on failure.
    bool step();
    void reset();
    int columns() const;
    std::string_view text(int column) const;
    int64_t integer(int column) const;
    bool is_null(int column) const;

private:
    SqliteDb* db_;
    sqlite3_stmt* statement_;
};

}  // namespace tandrel_site
