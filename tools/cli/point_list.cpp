// Quoting of point names for the library's point list.
#include "point_list.h"

#include <cctype>

namespace tandrel_cli {
namespace {

bool all_of(const std::string& text, size_t from, int (*test)(int)) {
    if (from >= text.size()) return false;
    for (size_t i = from; i < text.size(); ++i)
        if (!test(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

bool is_number(const std::string& item) {
    if (item.size() > 2 && item[0] == '0' && (item[1] == 'x' || item[1] == 'X'))
        return all_of(item, 2, isxdigit);
    size_t digits = !item.empty() && (item[0] == '-' || item[0] == '+') ? 1 : 0;
    return all_of(item, digits, isdigit);
}

std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string point_list_text(const std::vector<std::string>& points) {
    std::string text;
    for (const auto& item : points) {
        if (!text.empty()) text += ",";
        text += is_number(item) ? item : quoted(item);
    }
    return text;
}

}  // namespace tandrel_cli
