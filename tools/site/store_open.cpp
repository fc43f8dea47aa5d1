// The table of stores: which targets each takes and how it opens. A store
// that this build lacks (PostgreSQL without libpq, SQLite without its
// sources) keeps its line, so that its targets get a clear refusal.
#include <stdexcept>

#include "store_kinds.h"
#include "store_target.h"

namespace tandrel_site {
namespace {

using Opener = std::unique_ptr<Store> (*)(const std::string& target, OpenMode mode);

struct StoreKind {
    const char* name;
    bool (*takes)(const std::string& target);
    Opener open;  // nullptr: not in this build
};

const StoreKind STORE_KINDS[] = {
#if TANDREL_STORE_POSTGRES
    {"PostgreSQL", is_postgres_target, open_postgres_store},
#else
    {"PostgreSQL", is_postgres_target, nullptr},
#endif
#if TANDREL_STORE_SQLITE
    {"SQLite", is_sqlite_target, open_sqlite_store},
#else
    {"SQLite", is_sqlite_target, nullptr},
#endif
};

}  // namespace

std::unique_ptr<Store> open_store(const std::string& target, OpenMode mode) {
    if (target.empty()) throw std::runtime_error("The store's file or connection string is empty");
    for (const StoreKind& kind : STORE_KINDS) {
        if (!kind.takes(target)) continue;
        if (!kind.open)
            throw std::runtime_error(std::string(kind.name) +
                                     " stores are not in this build of "
                                     "tandrel: " +
                                     redacted_target(target));
        return kind.open(target, mode);
    }
    throw std::runtime_error("No store takes " + redacted_target(target));
}

}  // namespace tandrel_site
