// A strict check that a text is one JSON value written the library's way:
// no white space outside strings, control bytes escaped, numbers in JSON form
// (so "nan" or "inf" from a bad conversion fails). Bytes from 0x80 up pass,
// as the library passes them unchecked.
#pragma once

#include <string>

namespace tandrel::fuzz {

bool is_compact_json(const std::string& text);

}  // namespace tandrel::fuzz
