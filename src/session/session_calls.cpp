// Each session call sends only its data requests: the identity and setup the
// plain calls read first come from the session's cache (read again when due).
// The documents, streams and files are those of the plain calls.
#include "session/session_calls.h"

#include <optional>
#include <utility>
#include <vector>

#include "core/call_frame.h"
#include "core/meter_model.h"
#include "core/options.h"
#include "logs/datalog_columns.h"
#include "logs/datalog_export.h"
#include "logs/datalog_read.h"
#include "logs/eventlog_export.h"
#include "logs/eventlog_read.h"
#include "logs/file_info.h"
#include "meter/device_info.h"
#include "meter/point_reading.h"
#include "meter/point_selection.h"
#include "session/session.h"
#include "session/session_connection.h"
#include "session/session_options.h"
#include "session/session_table.h"

namespace tandrel {
namespace {

// The handle first, then the call's own pointer and arguments (own_checks),
// then the work on the session: a bad argument sends nothing.
template <typename Checks, typename Work>
int with_session(tandrel_session* handle, NamedArgument required, Checks&& own_checks,
                 Work&& work) {
    const std::shared_ptr<Session> session = find_session(handle);
    require_non_null(required.value, required.name);
    own_checks();
    return session->run(std::forward<Work>(work));
}

template <typename Work>
int with_session(tandrel_session* handle, NamedArgument required, Work&& work) {
    return with_session(handle, required, [] {}, std::forward<Work>(work));
}

}  // namespace

// Host, then the options, then the model name, as tandrel_read_device_info
// takes them; a null or empty model name is learnt from the identity.
tandrel_session* open_impl(const char* host, const char* meter, const char* options) {
    require_non_null(host, "host");
    const Options connection_options = parse_options(options);
    const SessionOptions session_options = parse_session_options(options);
    std::optional<MeterModel> model;
    if (meter != nullptr && meter[0] != '\0') model = parse_meter(meter);
    auto session = std::make_shared<Session>(
        session_connection(host, connection_options.port, session_options.connection),
        connection_options, session_options, model);
    session->open();
    return add_session(std::move(session));
}

void close_impl(tandrel_session* session) { close_session(session); }

int session_read_device_info_impl(tandrel_session* session, char* out, int out_len) {
    return with_session(session, {out, "out"}, [&](const SessionView& s) {
        return write_out(device_info_json(s.client.host(), s.model, s.info), out, out_len);
    });
}

int session_read_live_impl(tandrel_session* session, char* out, int out_len) {
    return with_session(session, {out, "out"}, [&](const SessionView& s) {
        return read_selection(s.client, s.model, s.info.scales, live_points(s.model), out,
                              out_len);
    });
}

int session_read_points_impl(tandrel_session* session, const char* points, char* out,
                             int out_len) {
    std::vector<uint16_t> selection;
    const auto point_list = [&] { selection = required_point_list(points); };
    return with_session(session, {out, "out"}, point_list, [&](const SessionView& s) {
        return read_selection(s.client, s.model, s.info.scales, selection, out, out_len);
    });
}

int session_list_logs_impl(tandrel_session* session, char* out, int out_len) {
    return with_session(session, {out, "out"}, [&](const SessionView& s) {
        return list_logs(s.client, s.model, s.info.scales, out, out_len);
    });
}

int session_read_datalog_impl(tandrel_session* session, int file_id, tandrel_output_cb cb,
                              void* user) {
    const void* callback = reinterpret_cast<const void*>(cb);
    return with_session(session, {callback, "cb"}, [&](const SessionView& s) {
        DatalogColumns columns = read_datalog_columns(s.client, s.model, s.info.scales, file_id);
        return stream_datalog(s.client, std::move(columns), file_id, cb, user);
    });
}

int session_read_eventlog_impl(tandrel_session* session, int file_id, tandrel_output_cb cb,
                               void* user) {
    const void* callback = reinterpret_cast<const void*>(cb);
    return with_session(session, {callback, "cb"}, [&](const SessionView& s) {
        return stream_eventlog(s.client, s.model, file_id, cb, user);
    });
}

int session_export_datalog_impl(tandrel_session* session, int file_id, const char* csv_path,
                                tandrel_progress_cb progress, void* user) {
    return with_session(session, {csv_path, "csv_path"}, [&](const SessionView& s) {
        DatalogColumns columns = read_datalog_columns(s.client, s.model, s.info.scales, file_id);
        return export_datalog(s.client, std::move(columns), file_id, csv_path, progress, user);
    });
}

int session_export_eventlog_impl(tandrel_session* session, int file_id, const char* csv_path,
                                 tandrel_progress_cb progress, void* user) {
    return with_session(session, {csv_path, "csv_path"}, [&](const SessionView& s) {
        return export_eventlog(s.client, file_id, csv_path, progress, user);
    });
}

}  // namespace tandrel
