/* Windows: LoadLibraryA searches the program's own folder first, which is
 * where a host ships tandrel.dll. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "library_loader.h"

void *load_library(const char *name, char *why, int why_len) {
    HMODULE module = LoadLibraryA(name);
    if (module == NULL) {
        snprintf(why, (size_t)why_len, "LoadLibraryA(\"%s\") failed with error %lu", name,
                 (unsigned long)GetLastError());
    }
    return (void *)module;
}

void *find_function(void *library, const char *name) {
    /* GetProcAddress returns a generic function pointer; a host stores it in
     * the typed pointer it declared. */
    FARPROC proc = GetProcAddress((HMODULE)library, name);
    void *address;
    memcpy(&address, &proc, sizeof address);
    return address;
}

void unload_library(void *library) { FreeLibrary((HMODULE)library); }
