// How the C library ends a thread that calls pthread_exit() or is cancelled:
// on glibc by unwinding its stack with an exception of its own. A catch-all
// that swallows it aborts the whole process, so the library's catch-alls let
// ThreadExit pass. Elsewhere threads end without unwinding, and ThreadExit is
// a type nothing throws.
#pragma once

#include <cstddef>

#if defined(__GLIBC__)
#include <cxxabi.h>
#endif

namespace tandrel::platform {

#if defined(__GLIBC__)
using ThreadExit = abi::__forced_unwind;
#else
struct ThreadExit {};
#endif

}  // namespace tandrel::platform
