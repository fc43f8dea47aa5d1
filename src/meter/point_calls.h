// The work behind the exported point functions: argument checks, parsing in
// the order the interface fixes, then listing or reading.
#pragma once

namespace tandrel {

int list_points_impl(const char* meter, char* out, int out_len);

int read_points_impl(const char* host, const char* meter, const char* options, const char* points,
                     char* out, int out_len);

int read_live_ex_impl(const char* host, const char* meter, const char* options, char* out,
                      int out_len);

int read_live_impl(const char* host, const char* meter, char* out, int out_len);

}  // namespace tandrel
