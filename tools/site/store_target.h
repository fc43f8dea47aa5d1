// What a store target names, and how it may be shown: a connection string is
// repeated in messages only with its password masked.
#pragma once

#include <string>

namespace tandrel_site {

// "postgresql://...", "postgres://..." or libpq's "key=value ..." words.
bool is_postgres_target(const std::string& target);

// Anything else is a SQLite file path.
bool is_sqlite_target(const std::string& target);

// The target with any password replaced by "***": the user information of a
// URI ("user:secret@"), its "password=" parameter, and a "password=" word
// (quoted or not). A file path comes back unchanged.
std::string redacted_target(const std::string& target);

}  // namespace tandrel_site
