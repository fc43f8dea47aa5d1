// Exported functions that need no meter: the version and the log callback.
#include "core/log_sink.h"
#include "tandrel.h"
#include "tandrel_version.h"

extern "C" {

TANDREL_API const char* TANDREL_CALL tandrel_version(void) { return TANDREL_VERSION_TEXT; }

TANDREL_API void TANDREL_CALL tandrel_set_log_callback(tandrel_log_cb cb, void* user) {
    tandrel::set_log_callback(cb, user);
}

}  // extern "C"
