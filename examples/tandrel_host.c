/* tandrel_host: a C host application that loads the library by its file name
 * at run time, reads a meter's device information and streams one of its data
 * logs, then stops a second read from its callback; when the library has
 * sessions (it exports "tandrel_open"), it polls the live values twice
 * through one.
 *
 *   tandrel_host HOST PORT [LIBRARY]
 *
 * Exits 0 when every step behaved as documented, 1 otherwise. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "library_loader.h"
#include "tandrel.h"

#ifndef TANDREL_LIBRARY_NAME
#define TANDREL_LIBRARY_NAME "tandrel.dll"
#endif

/* The function pointer types a host declares for the entry points it uses. */
typedef const char *(TANDREL_CALL *version_fn)(void);
typedef void(TANDREL_CALL *set_log_callback_fn)(tandrel_log_cb cb, void *user);
typedef int(TANDREL_CALL *read_device_info_fn)(const char *host, const char *meter,
                                               const char *options, char *out, int out_len,
                                               char *err, int err_len);
typedef int(TANDREL_CALL *read_datalog_fn)(const char *host, const char *meter, int file_id,
                                           const char *options, tandrel_output_cb cb,
                                           void *user, char *err, int err_len);

typedef tandrel_session *(TANDREL_CALL *open_fn)(const char *host, const char *meter,
                                                  const char *options, char *err, int err_len);
typedef void(TANDREL_CALL *close_fn)(tandrel_session *session);
typedef int(TANDREL_CALL *session_read_live_fn)(tandrel_session *session, char *out,
                                                int out_len, char *err, int err_len);

struct Api {
    version_fn version;
    set_log_callback_fn set_log_callback;
    read_device_info_fn read_device_info;
    read_datalog_fn read_datalog;
    /* Null when the library predates sessions: a host that uses them when
     * present looks them up by name. */
    open_fn open;
    close_fn close;
    session_read_live_fn session_read_live;
};

/* What the output callback counts; `stop_after` 0 means read to the end. */
struct Stream {
    int lines;
    int stop_after;
};

/* Runs under the library's log lock: it only prints, never calls back in. */
static void TANDREL_CALL print_log(int level, const char *message, void *user) {
    (void)user;
    if (level <= TANDREL_LOG_INFO) fprintf(stderr, "[tandrel %d] %s\n", level, message);
}

static int TANDREL_CALL print_line(const char *text, void *user) {
    struct Stream *stream = (struct Stream *)user;
    stream->lines++;
    if (stream->lines <= 4) printf("  %.160s%s\n", text, strlen(text) > 160 ? " ..." : "");
    return stream->stop_after > 0 && stream->lines >= stream->stop_after;
}

/* Stores an exported function's address in a typed pointer; 0 when missing. */
static int resolve(void *library, const char *name, void *typed_pointer, size_t size) {
    void *address = find_function(library, name);
    if (address == NULL) {
        fprintf(stderr, "missing export: %s\n", name);
        return 0;
    }
    memcpy(typed_pointer, &address, size);
    return 1;
}

static int resolve_api(void *library, struct Api *api) {
    return resolve(library, "tandrel_version", &api->version, sizeof api->version) &&
           resolve(library, "tandrel_set_log_callback", &api->set_log_callback,
                   sizeof api->set_log_callback) &&
           resolve(library, "tandrel_read_device_info", &api->read_device_info,
                   sizeof api->read_device_info) &&
           resolve(library, "tandrel_read_datalog", &api->read_datalog, sizeof api->read_datalog);
}

static void resolve_sessions(void *library, struct Api *api) {
    api->open = NULL;
    if (find_function(library, "tandrel_open") == NULL) return;
    if (!resolve(library, "tandrel_open", &api->open, sizeof api->open) ||
        !resolve(library, "tandrel_close", &api->close, sizeof api->close) ||
        !resolve(library, "tandrel_session_read_live", &api->session_read_live,
                 sizeof api->session_read_live)) {
        api->open = NULL;
    }
}

/* One connection and one read of the setup for both polls; the model comes
 * from the meter's identity (null meter). */
static int poll_through_session(const struct Api *api, const char *host, const char *options) {
    char err[256];
    if (api->open == NULL) {
        printf("no sessions in this library: each read connects on its own\n");
        return 1;
    }
    tandrel_session *session = api->open(host, NULL, options, err, (int)sizeof err);
    if (session == NULL) {
        fprintf(stderr, "open failed: %s\n", err);
        return 0;
    }
    static char out[16384];
    int ok = 1;
    for (int poll = 1; poll <= 2 && ok; ++poll) {
        const int n = api->session_read_live(session, out, (int)sizeof out, err, (int)sizeof err);
        if (n > 0) printf("session poll %d: %d live values\n", poll, n);
        else fprintf(stderr, "session poll %d failed: %s\n", poll, err);
        ok = n > 0;
    }
    api->close(session);
    return ok;
}

/* Asks with a small buffer first, then retries with the size the error names. */
static int show_device_info(const struct Api *api, const char *host, const char *options) {
    char err[256];
    char small[16];
    int needed = 0;
    int n = api->read_device_info(host, "em235", options, small, (int)sizeof small, err,
                                  (int)sizeof err);
    if (n >= 0 || sscanf(err, "Output buffer too small: need %d bytes", &needed) != 1) {
        fprintf(stderr, "device info into 16 bytes: status %d, error \"%s\"\n", n, err);
        return 0;
    }
    char *out = (char *)malloc((size_t)needed);
    if (out == NULL) return 0;
    n = api->read_device_info(host, "em235", options, out, needed, err, (int)sizeof err);
    if (n >= 0) printf("device info (%d bytes): %s\n", n, out);
    else fprintf(stderr, "device info failed: %s\n", err);
    free(out);
    return n > 0;
}

static int show_datalog(const struct Api *api, const char *host, const char *options) {
    char err[256];
    struct Stream all = {0, 0};
    printf("data log 1:\n");
    const int records = api->read_datalog(host, "em235", 1, options, print_line, &all, err,
                                          (int)sizeof err);
    if (records <= 0) {
        fprintf(stderr, "data log failed: status %d, error \"%s\"\n", records, err);
        return 0;
    }
    printf("  ... %d records\n", records);

    struct Stream cut = {0, 3};
    const int status = api->read_datalog(host, "em235", 1, options, print_line, &cut, err,
                                         (int)sizeof err);
    printf("second read stopped by the callback after %d lines: status %d, \"%s\"\n", cut.lines,
           status, err);
    return status == -2 && cut.lines == 3 && strcmp(err, "Cancelled by caller") == 0;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s HOST PORT [LIBRARY]\n", argv[0]);
        return 2;
    }
    const char *host = argv[1];
    const char *name = argc > 3 ? argv[3] : TANDREL_LIBRARY_NAME;
    char options[96];
    snprintf(options, sizeof options, "{\"port\":%d,\"timeout_ms\":5000}", atoi(argv[2]));

    char why[256];
    void *library = load_library(name, why, (int)sizeof why);
    if (library == NULL) {
        fprintf(stderr, "%s\n", why);
        return 1;
    }
    struct Api api;
    int ok = resolve_api(library, &api);
    if (ok) {
        printf("loaded %s, version %s\n", name, api.version());
        /* The callback must stay valid while installed: a static function here. */
        api.set_log_callback(print_log, NULL);
        resolve_sessions(library, &api);
        ok = show_device_info(&api, host, options) && show_datalog(&api, host, options) &&
             poll_through_session(&api, host, options);
        api.set_log_callback(NULL, NULL);
    }
    unload_library(library);
    printf("%s\n", ok ? "host example: ok" : "host example: FAILED");
    return ok ? 0 : 1;
}
