// Exported functions of the log directory, the data logs and the event log.
#include "core/call_frame.h"
#include "logs/datalog_export.h"
#include "logs/datalog_read.h"
#include "logs/eventlog_export.h"
#include "logs/eventlog_read.h"
#include "logs/file_info.h"
#include "tandrel.h"

using namespace tandrel;

extern "C" {

TANDREL_API int TANDREL_CALL tandrel_list_logs(const char* host, const char* meter,
                                               const char* options, char* out, int out_len,
                                               char* err, int err_len) {
    return run_safe(err, err_len, [&] { return list_logs_impl(host, meter, options, out, out_len); });
}

TANDREL_API int TANDREL_CALL tandrel_read_datalog(const char* host, const char* meter,
                                                  int file_id, const char* options,
                                                  tandrel_output_cb cb, void* user, char* err,
                                                  int err_len) {
    return run_safe(err, err_len,
                    [&] { return read_datalog_impl(host, meter, file_id, options, cb, user); });
}

TANDREL_API int TANDREL_CALL tandrel_export_datalog(const char* host, const char* meter,
                                                    int file_id, const char* csv_path, char* err,
                                                    int err_len) {
    return run_safe(err, err_len, [&] {
        return export_datalog_ex_impl(host, meter, file_id, csv_path, nullptr, nullptr, nullptr);
    });
}

TANDREL_API int TANDREL_CALL tandrel_export_datalog_ex(const char* host, const char* meter,
                                                       int file_id, const char* csv_path,
                                                       const char* options,
                                                       tandrel_progress_cb progress, void* user,
                                                       char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return export_datalog_ex_impl(host, meter, file_id, csv_path, options, progress, user);
    });
}

TANDREL_API int TANDREL_CALL tandrel_read_eventlog(const char* host, const char* meter,
                                                   int file_id, const char* options,
                                                   tandrel_output_cb cb, void* user, char* err,
                                                   int err_len) {
    return run_safe(err, err_len, [&] {
        return read_eventlog_impl(host, meter, file_id, options, cb, user);
    });
}

TANDREL_API int TANDREL_CALL tandrel_export_eventlog(const char* host, const char* meter,
                                                     int file_id, const char* csv_path,
                                                     char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return export_eventlog_ex_impl(host, meter, file_id, csv_path, nullptr, nullptr, nullptr);
    });
}

TANDREL_API int TANDREL_CALL tandrel_export_eventlog_ex(const char* host, const char* meter,
                                                        int file_id, const char* csv_path,
                                                        const char* options,
                                                        tandrel_progress_cb progress, void* user,
                                                        char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return export_eventlog_ex_impl(host, meter, file_id, csv_path, options, progress, user);
    });
}

}  // extern "C"
