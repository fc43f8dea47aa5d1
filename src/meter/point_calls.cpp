// Each call checks its arguments, parses before it connects (so a bad
// argument costs no connection) and owns its client for the whole call.
#include "point_calls.h"

#include <stdexcept>
#include <vector>

#include "api/call_frame.h"
#include "api/options.h"
#include "meter/point_listing.h"
#include "meter/point_reading.h"
#include "meter/point_selection.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {

int list_points_impl(const char* meter, char* out, int out_len) {
    require_non_null(meter, "meter");
    require_non_null(out, "out");
    return list_points_impl(parse_meter(meter), out, out_len);
}

int read_points_impl(const char* host, const char* meter, const char* options, const char* points,
                     char* out, int out_len) {
    require_non_null(host, "host");
    require_non_null(meter, "meter");
    require_non_null(out, "out");
    const MeterModel model = parse_meter(meter);
    if (points == nullptr) throw std::runtime_error("points must not be null");
    const std::vector<uint16_t> selection = parse_point_list(points);
    if (selection.empty()) throw std::runtime_error("points: at least one point is required");
    const Options opts = parse_options(options);
    ModbusTcpClient client(host, opts.port, opts.unit_id, opts.timeout_ms);
    return read_points_impl(client, model, selection, out, out_len);
}

int read_live_ex_impl(const char* host, const char* meter, const char* options, char* out,
                      int out_len) {
    require_non_null(host, "host");
    require_non_null(meter, "meter");
    require_non_null(out, "out");
    const Options opts = parse_options(options);
    ModbusTcpClient client(host, opts.port, opts.unit_id, opts.timeout_ms);
    const MeterModel model = parse_meter(meter);
    return read_points_impl(client, model, live_points(model), out, out_len);
}

int read_live_impl(const char* host, const char* meter, char* out, int out_len) {
    return read_live_ex_impl(host, meter, nullptr, out, out_len);
}

}  // namespace tandrel
