// The swap of two folders in one step, where the system has it: what lets a
// meter's folder under `collect --out` be replaced without a moment when its
// name is missing. directory_swap_<os>.cpp implements it.
#pragma once

#include <string>

namespace tandrel_site {

// Swaps two existing directories in one step, so that no moment sees either
// name missing. Returns false, having changed nothing, where the system or the
// file system cannot; the caller then renames one after the other.
bool exchange_directories(const std::string& a, const std::string& b);

}  // namespace tandrel_site
