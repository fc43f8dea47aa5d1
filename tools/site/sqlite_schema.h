// The tables and views of a SQLite store, and how a file becomes one: a new
// file is given the current schema, an older store is migrated, and a file
// that is no tandrel store, or one of a newer version, is left untouched.
#pragma once

#include "sqlite_db.h"
#include "store.h"

namespace tandrel_site {

// "Tndr": PRAGMA application_id of every tandrel store (`file` shows it).
constexpr int SQLITE_APPLICATION_ID = 0x546e6472;

// Checks the file, creates or migrates the schema in one transaction, and
// sets WAL mode. Throws std::runtime_error with the message a user reads.
void prepare_sqlite_schema(SqliteDb& db, OpenMode mode);

}  // namespace tandrel_site
