// The tables and views of a PostgreSQL store, in the connection's current
// schema (public unless the connection string sets search_path): created in
// a database schema that holds nothing yet, migrated when older, refused when
// it holds another application's tables or a newer version.
#pragma once

#include "postgres_conn.h"
#include "store.h"

namespace tandrel_site {

void prepare_postgres_schema(PgConnection& db, OpenMode mode);

}  // namespace tandrel_site
