// Thin RAII over SQLite's C interface: the store's SQL stays readable and
// every handle is finalised or closed on every path.
#include "sqlite_db.h"

#include <sqlite3.h>

#include <stdexcept>

namespace tandrel_site {

SqliteDb::SqliteDb(const std::string& path, int flags) : path_(path) {
    int status = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (status != SQLITE_OK) {
        std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(status);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw std::runtime_error(path + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteDb::~SqliteDb() { sqlite3_close_v2(db_); }

void SqliteDb::close() {
    if (!db_) return;
    int status = sqlite3_close(db_);
    if (status != SQLITE_OK) fail();
    db_ = nullptr;
}

void SqliteDb::fail() const { throw std::runtime_error(path_ + ": " + sqlite3_errmsg(db_)); }

int SqliteDb::error_code() const { return sqlite3_errcode(db_) & 0xFF; }

void SqliteDb::exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail();
}

SqliteStatement SqliteDb::prepare(std::string_view sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &statement, nullptr) != SQLITE_OK)
        fail();
    return SqliteStatement(*this, statement);
}

int64_t SqliteDb::single_integer(const char* sql) {
    SqliteStatement statement = prepare(sql);
    return statement.step() ? statement.integer(0) : 0;
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), statement_(other.statement_) {
    other.statement_ = nullptr;
}

void SqliteStatement::bind(int index, int64_t value) {
    if (sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) db_->fail();
}

void SqliteStatement::bind(int index, std::string_view text, bool copy) {
    if (sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                          copy ? SQLITE_TRANSIENT : SQLITE_STATIC) != SQLITE_OK)
        db_->fail();
}

void SqliteStatement::bind_null(int index) {
    if (sqlite3_bind_null(statement_, index) != SQLITE_OK) db_->fail();
}

int SqliteStatement::parameter_index(const char* name) const {
    return sqlite3_bind_parameter_index(statement_, name);
}

bool SqliteStatement::step() {
    int status = sqlite3_step(statement_);
    if (status == SQLITE_ROW) return true;
    if (status == SQLITE_DONE) return false;
    sqlite3_reset(statement_);
    db_->fail();
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

int SqliteStatement::columns() const { return sqlite3_column_count(statement_); }

std::string_view SqliteStatement::text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    return text ? std::string_view(text,
                                   static_cast<size_t>(sqlite3_column_bytes(statement_, column)))
                : std::string_view();
}

int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

bool SqliteStatement::is_null(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

}  // namespace tandrel_site
