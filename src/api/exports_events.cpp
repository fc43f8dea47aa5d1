// Exported functions of the event log and the bulk exports.
#include "api/call_frame.h"
#include "logs/em133_export.h"
#include "logs/em235_diagnostics.h"
#include "logs/eventlog_export.h"
#include "logs/eventlog_read.h"
#include "tandrel.h"

using namespace tandrel;

extern "C" {

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

TANDREL_API int TANDREL_CALL tandrel_export_em133_all(const char* host, int set_clock,
                                                      int clock_param, const char* out_dir,
                                                      char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return export_em133_all_impl(host, set_clock, clock_param, out_dir);
    });
}

TANDREL_API int TANDREL_CALL tandrel_export_em235_diagnostics(const char* host, int unit_id,
                                                              int register_no, int count,
                                                              const char* word_order,
                                                              const char* csv_path, char* err,
                                                              int err_len) {
    return run_safe(err, err_len, [&] {
        return export_em235_diagnostics_impl(host, unit_id, register_no, count, word_order,
                                             csv_path);
    });
}

}  // extern "C"
