// Exported functions that need no meter: the version and the log callback.
#include "core/log_sink.h"
#include "tandrel.h"

namespace {

// The version of the interface, not of the release: hosts compare this text,
// and it stays while the interface only grows (the session calls came with
// release 1.3.0 and are found by TANDREL_HAS_SESSION or by their names).
constexpr char INTERFACE_VERSION[] = "1.2.1";

}  // namespace

extern "C" {

TANDREL_API const char* TANDREL_CALL tandrel_version(void) { return INTERFACE_VERSION; }

TANDREL_API void TANDREL_CALL tandrel_set_log_callback(tandrel_log_cb cb, void* user) {
    tandrel::set_log_callback(cb, user);
}

}  // extern "C"
