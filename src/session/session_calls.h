// The work behind the exported session functions: the handle resolved, the
// call's own arguments tested, then the same work functions the plain calls
// use, on the session's connection with its cached identity and setup.
#pragma once

#include "tandrel.h"

namespace tandrel {

tandrel_session* open_impl(const char* host, const char* meter, const char* options);
void close_impl(tandrel_session* session);

int session_read_device_info_impl(tandrel_session* session, char* out, int out_len);
int session_read_live_impl(tandrel_session* session, char* out, int out_len);
int session_read_points_impl(tandrel_session* session, const char* points, char* out,
                             int out_len);
int session_list_logs_impl(tandrel_session* session, char* out, int out_len);
int session_read_datalog_impl(tandrel_session* session, int file_id, tandrel_output_cb cb,
                              void* user);
int session_read_eventlog_impl(tandrel_session* session, int file_id, tandrel_output_cb cb,
                               void* user);
int session_export_datalog_impl(tandrel_session* session, int file_id, const char* csv_path,
                                tandrel_progress_cb progress, void* user);
int session_export_eventlog_impl(tandrel_session* session, int file_id, const char* csv_path,
                                 tandrel_progress_cb progress, void* user);

}  // namespace tandrel
