/* Loading the library at run time by file name, as a host application does
 * (LoadLibraryA/GetProcAddress on Windows, dlopen/dlsym elsewhere). */
#ifndef LIBRARY_LOADER_H
#define LIBRARY_LOADER_H

/* The library handle, or null with a reason in `why` (at least 256 bytes). */
void *load_library(const char *name, char *why, int why_len);

/* The address of an exported function, or null. */
void *find_function(void *library, const char *name);

void unload_library(void *library);

#endif
