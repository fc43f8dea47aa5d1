// renameat2's exchange where the C library has it (glibc 2.28 and later).
#include "directory_swap.h"

#include <fcntl.h>  // AT_FDCWD
#include <stdio.h>  // renameat2, RENAME_EXCHANGE

namespace tandrel_site {

bool exchange_directories(const std::string& a, const std::string& b) {
#ifdef RENAME_EXCHANGE
    return renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
#else
    (void)a;
    (void)b;
    return false;
#endif
}

}  // namespace tandrel_site
