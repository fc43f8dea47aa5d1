// MoveFileEx swaps nothing: the caller renames one folder after the other.
#include "directory_swap.h"

namespace tandrel_site {

bool exchange_directories(const std::string&, const std::string&) { return false; }

}  // namespace tandrel_site
