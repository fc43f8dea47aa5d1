// Reading the library's JSON without building a tree: the members of an
// object and the items of an array, each value as the exact text it has in
// the input. The store keeps a record's values as that text, so the meter's
// digits are never turned into binary numbers and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tandrel_site {

class JsonObjectReader {
public:
    // Throws std::runtime_error when `text` does not start with an object.
    explicit JsonObjectReader(std::string_view text);
    // The next member: its key (as written, without quotes) and its value's
    // text (quotes, brackets and all). False after the last; throws on malformed text.
    bool next(std::string_view& key, std::string_view& value);

private:
    std::string_view text_;
    size_t at_;
};

class JsonArrayReader {
public:
    explicit JsonArrayReader(std::string_view text);
    bool next(std::string_view& item);

private:
    std::string_view text_;
    size_t at_;
};

// The contents of a JSON string value, unescaped; throws when `value` is no string.
std::string json_text(std::string_view value);

// A whole number value; throws naming `what` when it is none or out of range.
int64_t json_integer(std::string_view value, const char* what);

}  // namespace tandrel_site
