// Exported functions of the bulk exports: the em133's logs in one call and
// the em235's diagnostics word.
#include "core/call_frame.h"
#include "logs/em133_export.h"
#include "logs/em235_diagnostics.h"
#include "tandrel.h"

using namespace tandrel;

extern "C" {

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
