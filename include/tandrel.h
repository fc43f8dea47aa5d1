/* tandrel: read energy meters (em133, em235, pm335) over Modbus TCP.
 *
 * Every function that talks to a meter is synchronous and returns a status.
 * The plain calls (tandrel_read_live_ex and the rest) each open their own
 * connection, read the meter's setup, do their work and close the connection.
 * A session (tandrel_open, below) keeps its connection and the setup between
 * calls, so that each of its calls sends only its own data requests.
 *
 *   status >= 0   success; the meaning is given per function
 *   status == -1  failure; the error buffer holds the message
 *   status == -2  an output or progress callback returned non-zero; the error
 *                 buffer holds "Cancelled by caller"
 *
 * Buffers: `out`/`out_len` and `err`/`err_len` belong to the caller. The error
 * buffer is emptied at the start of every call, may be null, and is always
 * NUL-terminated when `err_len` >= 1; a longer message is cut to fit. A JSON
 * document that does not fit `out` fails with "Output buffer too small: need N
 * bytes" and leaves `out` untouched, so the caller can retry with N bytes.
 *
 * Text arguments are NUL-terminated 8-bit strings. `options` is a small JSON
 * object read for "port" (1-65535, default 502), "unit_id" (0-255, default 1)
 * and "timeout_ms" (100-3600000, default 30000); it may be null or empty.
 * `meter` is "em133", "em235" or "pm335" (read as an em235), any case.
 *
 * Threads: any function may be called from any thread; plain calls run in
 * parallel, each on its own connection, a session serves one call at a time.
 * Callbacks run on the calling thread. The library starts no thread and does
 * nothing at process exit.
 */
#ifndef TANDREL_H
#define TANDREL_H

#ifdef _WIN32
#  define TANDREL_CALL __cdecl
#  ifdef TANDREL_BUILDING
#    define TANDREL_API __declspec(dllexport)
#  else
#    define TANDREL_API __declspec(dllimport)
#  endif
#else
#  define TANDREL_CALL
#  define TANDREL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Severity handed to the log callback. */
enum {
    TANDREL_LOG_ERROR = 0,   /* the message of a failed call */
    TANDREL_LOG_WARNING = 1, /* a point or log file that could not be read fully */
    TANDREL_LOG_INFO = 2,    /* record counts of log files */
    TANDREL_LOG_DEBUG = 3    /* connections, failed register blocks, transfer summaries */
};

/* Receives one diagnostic message, valid only during the call. It runs with
 * the library's log lock held: it is never entered by two threads at once, and
 * it must not call any function of this library. */
typedef void(TANDREL_CALL *tandrel_log_cb)(int level, const char *message, void *user);

/* Receives one JSON object (a header or a record line, no line end), valid only
 * during the call. Return 0 to go on, anything else to stop the call (-2). */
typedef int(TANDREL_CALL *tandrel_output_cb)(const char *text, void *user);

/* Receives the records written so far and the record count the meter announced
 * (-1 when unknown). Return 0 to go on, anything else to stop the call (-2). */
typedef int(TANDREL_CALL *tandrel_progress_cb)(int done, int total, void *user);

/* The interface version, "1.2.1". The text is constant and owned by the
 * library. It names the interface of the sixteen plain calls, which hosts may
 * compare, and stays so while the interface only grows: a host learns of the
 * session calls from TANDREL_HAS_SESSION, or by looking up "tandrel_open". */
TANDREL_API const char *TANDREL_CALL tandrel_version(void);

/* Installs the process-wide log callback; null switches logging off. The host
 * must keep `cb` (and whatever `user` points to) alive for as long as it is
 * installed. Messages logged after the call returns go to the new callback. */
TANDREL_API void TANDREL_CALL tandrel_set_log_callback(tandrel_log_cb cb, void *user);

/* Reads the identification block and setup of a meter into `out` as a JSON
 * document. Returns its length in bytes (terminator not counted). A setup
 * register the meter refuses keeps its default; a connection that breaks
 * during the call fails it (-1), never a document of defaults.
 * Must not be null: host, meter, out. */
TANDREL_API int TANDREL_CALL tandrel_read_device_info(const char *host, const char *meter,
                                                      const char *options, char *out, int out_len,
                                                      char *err, int err_len);

/* Probes log files 0 (event log) to 16 and writes the directory of those that
 * answer into `out` as JSON. Returns the number of entries. A file the meter
 * refuses is left out; a connection that breaks during the probe fails the
 * call (-1), never a shorter directory.
 * Must not be null: host, meter, out. */
TANDREL_API int TANDREL_CALL tandrel_list_logs(const char *host, const char *meter,
                                               const char *options, char *out, int out_len,
                                               char *err, int err_len);

/* tandrel_read_live_ex with default options. */
TANDREL_API int TANDREL_CALL tandrel_read_live(const char *host, const char *meter, char *out,
                                               int out_len, char *err, int err_len);

/* Reads the model's live set (55 points on an em133, 61 on an em235) into
 * `out` as a JSON readings document. Returns the number of readings. Points
 * the meter refuses are left out; a connection that breaks during the call
 * fails it (-1), never a document without the rest of the points.
 * Must not be null: host, meter, out. */
TANDREL_API int TANDREL_CALL tandrel_read_live_ex(const char *host, const char *meter,
                                                  const char *options, char *out, int out_len,
                                                  char *err, int err_len);

/* Lists the model's readable points as JSON; opens no connection. Returns the
 * number of points (199 for em133, 205 for em235). Must not be null: meter, out. */
TANDREL_API int TANDREL_CALL tandrel_list_points(const char *meter, char *out, int out_len,
                                                 char *err, int err_len);

/* Reads the points named in `points` (ids such as 4352 or 0x1100, or quoted
 * names such as "V1", separated by commas or blanks, optionally in [ ]) into
 * `out` as a JSON readings document. Returns the number of readings. Points
 * the meter refuses are left out; a connection that breaks during the call
 * fails it (-1), never a document without the rest of the points.
 * Must not be null: host, meter, out, points. */
TANDREL_API int TANDREL_CALL tandrel_read_points(const char *host, const char *meter,
                                                 const char *options, const char *points,
                                                 char *out, int out_len, char *err, int err_len);

/* Streams data log `file_id` (1-16) to `cb`: one header object, then one
 * object per record. Returns the number of records handed to `cb`.
 * Must not be null: host, meter, cb. */
TANDREL_API int TANDREL_CALL tandrel_read_datalog(const char *host, const char *meter,
                                                  int file_id, const char *options,
                                                  tandrel_output_cb cb, void *user, char *err,
                                                  int err_len);

/* Streams the event log (`file_id` 0) to `cb`: one header object, then one
 * object per event. Returns the number of records handed to `cb`.
 * Must not be null: host, meter, cb. */
TANDREL_API int TANDREL_CALL tandrel_read_eventlog(const char *host, const char *meter,
                                                   int file_id, const char *options,
                                                   tandrel_output_cb cb, void *user, char *err,
                                                   int err_len);

/* tandrel_export_datalog_ex with default options and no progress callback. */
TANDREL_API int TANDREL_CALL tandrel_export_datalog(const char *host, const char *meter,
                                                    int file_id, const char *csv_path, char *err,
                                                    int err_len);

/* Writes data log `file_id` to the CSV file `csv_path` (created or truncated),
 * calling `progress` after every record line. Returns the number of records
 * written. A failed write or close of the file fails the call.
 * Must not be null: host, meter, csv_path. May be null: options, progress, user. */
TANDREL_API int TANDREL_CALL tandrel_export_datalog_ex(const char *host, const char *meter,
                                                       int file_id, const char *csv_path,
                                                       const char *options,
                                                       tandrel_progress_cb progress, void *user,
                                                       char *err, int err_len);

/* tandrel_export_eventlog_ex with default options and no progress callback. */
TANDREL_API int TANDREL_CALL tandrel_export_eventlog(const char *host, const char *meter,
                                                     int file_id, const char *csv_path,
                                                     char *err, int err_len);

/* Writes the event log to the CSV file `csv_path`, calling `progress` after
 * every row. Returns the number of records written.
 * Must not be null: host, meter, csv_path. May be null: options, progress, user. */
TANDREL_API int TANDREL_CALL tandrel_export_eventlog_ex(const char *host, const char *meter,
                                                        int file_id, const char *csv_path,
                                                        const char *options,
                                                        tandrel_progress_cb progress, void *user,
                                                        char *err, int err_len);

/* The value written to the em133's register 2575 while its clock is set, when
 * the caller passes a clock_param of 0 or less. */
#define TANDREL_DEFAULT_CLOCK_PARAM 1

/* Exports an em133's data logs 1-3 and its event log into the existing
 * directory `out_dir` (port 502, unit 1, 30 s time-out), after setting its
 * clock from the computer's local time when `set_clock` is non-zero. Returns
 * the total number of records written. Must not be null: host, out_dir. */
TANDREL_API int TANDREL_CALL tandrel_export_em133_all(const char *host, int set_clock,
                                                      int clock_param, const char *out_dir,
                                                      char *err, int err_len);

/* Reads an em235's 32-bit diagnostics word (`count` >= 2 registers from
 * register number `register_no`, counted from 1, on unit `unit_id`, port 502)
 * and writes it with its bits labelled to `csv_path`. `word_order` "HI_FIRST"
 * takes the second word as the high half. Returns 26.
 * Must not be null: host, word_order, csv_path. */
TANDREL_API int TANDREL_CALL tandrel_export_em235_diagnostics(const char *host, int unit_id,
                                                              int register_no, int count,
                                                              const char *word_order,
                                                              const char *csv_path, char *err,
                                                              int err_len);

/* ---- Sessions ----------------------------------------------------------
 *
 * Defined when this header declares the session calls; a host compiled
 * against an older header tests it with #ifdef. A host that loads the library
 * at run time looks up "tandrel_open": a library without sessions lacks it. */
#define TANDREL_HAS_SESSION 1

/* An open meter session: opaque. The pointer value is a handle, not an
 * address: a closed or never-opened value is recognised and refused with
 * "Invalid session handle", a null one with "session must not be null". */
typedef struct tandrel_session tandrel_session;

/* Opens a session: connects, reads the identification block and setup (the
 * requests of tandrel_read_device_info, once) and returns the session, or
 * null with the message in `err`. `meter` as everywhere, or null or "" to
 * take the model from the identity (model id 133 em133, 235 em235, 335
 * pm335 read as an em235; another id fails the open).
 * `options` takes, besides "port", "unit_id" and "timeout_ms":
 *   "setup_max_age_ms" (0-86400000, default 300000): the identity and setup
 *     are read again before a call once they are this old (0: before every
 *     call), and always after a reconnect;
 *   "connection" (0-65535, default 0): 0 gives the session a connection of
 *     its own; sessions to the same host text and port that name the same
 *     number share one TCP connection (units behind one gateway), each with
 *     its own unit id, model and setup. Their calls take turns: a call waits
 *     for another session's call on that connection to end.
 * Must not be null: host. Close the session with tandrel_close. */
TANDREL_API tandrel_session *TANDREL_CALL tandrel_open(const char *host, const char *meter,
                                                       const char *options, char *err,
                                                       int err_len);

/* Closes the session and its connection (a shared one with its last session).
 * The handle is invalid from then on. A call running on the session on
 * another thread, or whose callback calls this, fails at once with its
 * connection's failure; the session's memory goes when that call returns.
 * Null or already closed: nothing happens. */
TANDREL_API void TANDREL_CALL tandrel_close(tandrel_session *session);

/* The session calls below behave as the plain call of the same name: the
 * same document, objects or file, the same status. They differ in what they
 * send: only their own data requests, on the session's connection, after the
 * identity and setup when these are due (see "setup_max_age_ms").
 *
 * A session serves one call at a time: a second call on it, from another
 * thread or from a callback of the running one, fails at once with "Session
 * is in use by another call" and sends nothing. Different sessions run in
 * parallel (sharers of a connection in turn).
 *
 * A connection that breaks fails the call in hand with the plain calls'
 * message and is closed; the next call connects again (one attempt). After a
 * reconnect, a meter that reports another serial or model id than at the
 * open fails that call and every later one with "the meter at HOST:PORT now
 * reports serial N, not M; open a new session". */

/* The device information document; no request while the setup is fresh.
 * Must not be null: session, out. */
TANDREL_API int TANDREL_CALL tandrel_session_read_device_info(tandrel_session *session, char *out,
                                                              int out_len, char *err,
                                                              int err_len);

/* The live set, as tandrel_read_live_ex. Must not be null: session, out. */
TANDREL_API int TANDREL_CALL tandrel_session_read_live(tandrel_session *session, char *out,
                                                       int out_len, char *err, int err_len);

/* The points named in `points`, as tandrel_read_points.
 * Must not be null: session, out, points. */
TANDREL_API int TANDREL_CALL tandrel_session_read_points(tandrel_session *session,
                                                         const char *points, char *out,
                                                         int out_len, char *err, int err_len);

/* The log directory, as tandrel_list_logs. Must not be null: session, out. */
TANDREL_API int TANDREL_CALL tandrel_session_list_logs(tandrel_session *session, char *out,
                                                       int out_len, char *err, int err_len);

/* Data log `file_id` streamed to `cb`, as tandrel_read_datalog.
 * Must not be null: session, cb. */
TANDREL_API int TANDREL_CALL tandrel_session_read_datalog(tandrel_session *session, int file_id,
                                                          tandrel_output_cb cb, void *user,
                                                          char *err, int err_len);

/* The event log streamed to `cb`, as tandrel_read_eventlog.
 * Must not be null: session, cb. */
TANDREL_API int TANDREL_CALL tandrel_session_read_eventlog(tandrel_session *session, int file_id,
                                                           tandrel_output_cb cb, void *user,
                                                           char *err, int err_len);

/* Data log `file_id` written to `csv_path`, as tandrel_export_datalog_ex.
 * Must not be null: session, csv_path. May be null: progress, user. */
TANDREL_API int TANDREL_CALL tandrel_session_export_datalog(tandrel_session *session, int file_id,
                                                            const char *csv_path,
                                                            tandrel_progress_cb progress,
                                                            void *user, char *err, int err_len);

/* The event log written to `csv_path`, as tandrel_export_eventlog_ex.
 * Must not be null: session, csv_path. May be null: progress, user. */
TANDREL_API int TANDREL_CALL tandrel_session_export_eventlog(tandrel_session *session,
                                                             int file_id, const char *csv_path,
                                                             tandrel_progress_cb progress,
                                                             void *user, char *err,
                                                             int err_len);

#ifdef __cplusplus
}
#endif

#endif /* TANDREL_H */
