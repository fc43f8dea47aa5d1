// Exported functions of the meter's identity, the point listing and point reading.
#include "core/call_frame.h"
#include "meter/device_info.h"
#include "meter/point_listing.h"
#include "meter/point_reading.h"
#include "tandrel.h"

using tandrel::run_safe;

extern "C" {

TANDREL_API int TANDREL_CALL tandrel_read_device_info(const char* host, const char* meter,
                                                      const char* options, char* out, int out_len,
                                                      char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return tandrel::read_device_info_impl(host, meter, options, out, out_len);
    });
}

TANDREL_API int TANDREL_CALL tandrel_list_points(const char* meter, char* out, int out_len,
                                                 char* err, int err_len) {
    return run_safe(err, err_len, [&] { return tandrel::list_points_impl(meter, out, out_len); });
}

TANDREL_API int TANDREL_CALL tandrel_read_points(const char* host, const char* meter,
                                                 const char* options, const char* points, char* out,
                                                 int out_len, char* err, int err_len) {
    return run_safe(err, err_len, [&] {
        return tandrel::read_points_impl(host, meter, options, points, out, out_len);
    });
}

TANDREL_API int TANDREL_CALL tandrel_read_live_ex(const char* host, const char* meter,
                                                  const char* options, char* out, int out_len,
                                                  char* err, int err_len) {
    return run_safe(err, err_len,
                    [&] { return tandrel::read_live_ex_impl(host, meter, options, out, out_len); });
}

TANDREL_API int TANDREL_CALL tandrel_read_live(const char* host, const char* meter, char* out,
                                               int out_len, char* err, int err_len) {
    return run_safe(err, err_len,
                    [&] { return tandrel::read_live_impl(host, meter, out, out_len); });
}

}  // extern "C"
