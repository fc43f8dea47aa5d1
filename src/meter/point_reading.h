// The work behind the exported point-reading functions: the caller's point
// list or the model's live set, read in one request span per register family,
// as one readings document.
#pragma once

namespace tandrel {

int read_points_impl(const char* host, const char* meter, const char* options, const char* points,
                     char* out, int out_len);

int read_live_ex_impl(const char* host, const char* meter, const char* options, char* out,
                      int out_len);

int read_live_impl(const char* host, const char* meter, char* out, int out_len);

}  // namespace tandrel
