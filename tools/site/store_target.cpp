// Telling a connection string from a file path, and masking passwords. The
// masking works on the text alone, so that it also covers a string that
// libpq would refuse to parse.
#include "store_target.h"

#include <cctype>

namespace tandrel_site {
namespace {

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool is_uri(const std::string& target) {
    return starts_with(target, "postgresql://") || starts_with(target, "postgres://");
}

// "user:secret@host" after "://". A password may hold a '/' that should have
// been escaped, so the last '@' before the query counts: masking too much is
// the safe side.
std::string mask_user_info(std::string text) {
    size_t start = text.find("://") + 3;
    size_t end = text.find_first_of("?#", start);
    size_t at = text.rfind('@', end == std::string::npos ? std::string::npos : end);
    if (at == std::string::npos || at < start) return text;
    size_t colon = text.find(':', start);
    if (colon == std::string::npos || colon > at) return text;
    return text.substr(0, colon + 1) + "***" + text.substr(at);
}

// After each "password" key followed by '=', the value up to its end: the
// closing quote of a quoted value, else the next blank or '&'.
std::string mask_password_values(std::string text) {
    for (size_t at = 0; (at = text.find("password", at)) != std::string::npos;) {
        size_t eq = at + 8;
        while (eq < text.size() && text[eq] == ' ') ++eq;
        at += 8;
        if (eq >= text.size() || text[eq] != '=') continue;
        size_t value = eq + 1;
        while (value < text.size() && text[value] == ' ') ++value;
        size_t end = value;
        if (end < text.size() && text[end] == '\'') {
            for (++end; end < text.size() && text[end] != '\''; ++end)
                if (text[end] == '\\') ++end;
            end = end < text.size() ? end + 1 : text.size();
        } else {
            while (end < text.size() && text[end] != ' ' && text[end] != '&') ++end;
        }
        text.replace(value, end - value, "***");
        at = value + 3;
    }
    return text;
}

}  // namespace

bool is_postgres_target(const std::string& target) {
    if (is_uri(target)) return true;
    // libpq's words start with a keyword and '=': "host=/run/x dbname=site".
    size_t at = 0;
    while (at < target.size() && target[at] == ' ') ++at;
    size_t word = at;
    while (at < target.size() &&
           (std::islower(static_cast<unsigned char>(target[at])) || target[at] == '_'))
        ++at;
    while (at < target.size() && target[at] == ' ') ++at;
    return at > word && at < target.size() && target[at] == '=';
}

bool is_sqlite_target(const std::string& target) { return !is_postgres_target(target); }

std::string redacted_target(const std::string& target) {
    if (!is_postgres_target(target)) return target;
    std::string text = is_uri(target) ? mask_user_info(target) : target;
    return mask_password_values(text);
}

}  // namespace tandrel_site
