// Exported functions of the meter session: open, close and the reads on it.
#include "core/call_frame.h"
#include "session/session_calls.h"
#include "tandrel.h"

using namespace tandrel;

extern "C" {

TANDREL_API tandrel_session* TANDREL_CALL tandrel_open(const char* host, const char* meter,
                                                       const char* options, char* err,
                                                       int err_len) {
    return run_safe_pointer<tandrel_session>(err, err_len,
                                             [&] { return open_impl(host, meter, options); });
}

TANDREL_API void TANDREL_CALL tandrel_close(tandrel_session* session) {
    run_safe(nullptr, 0, [&] {
        close_impl(session);
        return 0;
    });
}

TANDREL_API int TANDREL_CALL tandrel_session_read_device_info(tandrel_session* session,
                                                              char* out, int out_len, char* err,
                                                              int err_len) {
    return run_safe(err, err_len,
                    [&] { return session_read_device_info_impl(session, out, out_len); });
}

TANDREL_API int TANDREL_CALL tandrel_session_read_live(tandrel_session* session, char* out,
                                                       int out_len, char* err, int err_len) {
    return run_safe(err, err_len, [&] { return session_read_live_impl(session, out, out_len); });
}

TANDREL_API int TANDREL_CALL tandrel_session_read_points(tandrel_session* session,
                                                         const char* points, char* out,
                                                         int out_len, char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return session_read_points_impl(session, points, out, out_len);
    });
}

TANDREL_API int TANDREL_CALL tandrel_session_list_logs(tandrel_session* session, char* out,
                                                       int out_len, char* err, int err_len) {
    return run_safe(err, err_len, [&] { return session_list_logs_impl(session, out, out_len); });
}

TANDREL_API int TANDREL_CALL tandrel_session_read_datalog(tandrel_session* session, int file_id,
                                                          tandrel_output_cb cb, void* user,
                                                          char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return session_read_datalog_impl(session, file_id, cb, user);
    });
}

TANDREL_API int TANDREL_CALL tandrel_session_read_eventlog(tandrel_session* session, int file_id,
                                                           tandrel_output_cb cb, void* user,
                                                           char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return session_read_eventlog_impl(session, file_id, cb, user);
    });
}

TANDREL_API int TANDREL_CALL tandrel_session_export_datalog(tandrel_session* session,
                                                            int file_id, const char* csv_path,
                                                            tandrel_progress_cb progress,
                                                            void* user, char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return session_export_datalog_impl(session, file_id, csv_path, progress, user);
    });
}

TANDREL_API int TANDREL_CALL tandrel_session_export_eventlog(tandrel_session* session,
                                                             int file_id, const char* csv_path,
                                                             tandrel_progress_cb progress,
                                                             void* user, char* err,
                                                             int err_len) {
    return run_safe(err, err_len, [&] {
        return session_export_eventlog_impl(session, file_id, csv_path, progress, user);
    });
}

}  // extern "C"
