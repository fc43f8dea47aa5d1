// The tool's JSON: a small reader for the library's own documents and stream
// lines, and the quoting of the tool's own summaries. The reader keeps numbers
// as the text the library wrote, because the meter's values carry fixed
// decimals (230.50 must not come out as 230.5).
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tandrel_site {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    std::string text;  // string contents (unescaped), number text, "true"/"false"
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    // The member named `key`, or a shared null value when there is none.
    const JsonValue& operator[](const std::string& key) const;
    // Text of a string, number or truth value; "" for the others.
    const std::string& str() const { return text; }
    // A whole number that fits an int, or `fallback` for anything else.
    int integer(int fallback = -1) const;
};

// Throws std::runtime_error("Malformed JSON from the library at byte N").
JsonValue parse_json(const std::string& text);

// The text between double quotes, with quotes, backslashes and control bytes
// escaped as the library escapes its own texts.
std::string json_string(const std::string& text);

// The shortest text that reads back as the same double, in any locale;
// "null" for infinities and NaN, which JSON cannot hold.
std::string json_number(double value);

}  // namespace tandrel_site
