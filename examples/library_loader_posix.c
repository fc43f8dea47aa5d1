/* POSIX: dlopen searches LD_LIBRARY_PATH and the system's library folders. */
#include <dlfcn.h>
#include <stdio.h>

#include "library_loader.h"

void *load_library(const char *name, char *why, int why_len) {
    void *handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == NULL) snprintf(why, (size_t)why_len, "dlopen(\"%s\") failed: %s", name, dlerror());
    return handle;
}

void *find_function(void *library, const char *name) { return dlsym(library, name); }

void unload_library(void *library) { dlclose(library); }
