// The stores this build has, one open function each; store_open.cpp lists
// them in its table beside the targets each one takes.
#pragma once

#include <memory>
#include <string>

#include "store.h"

namespace tandrel_site {

std::unique_ptr<Store> open_sqlite_store(const std::string& path, OpenMode mode);
std::unique_ptr<Store> open_postgres_store(const std::string& target, OpenMode mode);

}  // namespace tandrel_site
