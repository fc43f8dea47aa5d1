// A small scanner over the library's compact JSON: values are skipped by
// their own grammar, strings by their escapes, so a member's text is found
// without copying or converting anything before it.
#include "json_scan.h"

#include <charconv>
#include <stdexcept>

namespace tandrel_site {
namespace {

[[noreturn]] void malformed(size_t at) {
    throw std::runtime_error("Malformed JSON from the library at byte " + std::to_string(at));
}

size_t skip_space(std::string_view text, size_t at) {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
        ++at;
    return at;
}

size_t string_end(std::string_view text, size_t at) {
    for (++at; at < text.size(); ++at) {
        if (text[at] == '\\')
            ++at;
        else if (text[at] == '"')
            return at + 1;
    }
    malformed(text.size());
}

size_t value_end(std::string_view text, size_t at);

size_t container_end(std::string_view text, size_t at, char close) {
    at = skip_space(text, at + 1);
    if (at < text.size() && text[at] == close) return at + 1;
    for (;;) {
        if (close == '}') {
            if (at >= text.size() || text[at] != '"') malformed(at);
            at = skip_space(text, string_end(text, at));
            if (at >= text.size() || text[at] != ':') malformed(at);
            at = skip_space(text, at + 1);
        }
        at = skip_space(text, value_end(text, at));
        if (at < text.size() && text[at] == close) return at + 1;
        if (at >= text.size() || text[at] != ',') malformed(at);
        at = skip_space(text, at + 1);
    }
}

// A number, true, false or null: up to the next delimiter.
size_t scalar_end(std::string_view text, size_t at) {
    size_t start = at;
    while (at < text.size() && text[at] != ',' && text[at] != '}' && text[at] != ']' &&
           text[at] != ' ' && text[at] != '\n')
        ++at;
    if (at == start) malformed(at);
    return at;
}

size_t value_end(std::string_view text, size_t at) {
    if (at >= text.size()) malformed(at);
    switch (text[at]) {
        case '"': return string_end(text, at);
        case '{': return container_end(text, at, '}');
        case '[': return container_end(text, at, ']');
        default: return scalar_end(text, at);
    }
}

size_t open(std::string_view text, char bracket) {
    size_t at = skip_space(text, 0);
    if (at >= text.size() || text[at] != bracket) malformed(at);
    return at + 1;
}

void append_utf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

uint32_t hex4(std::string_view text, size_t at) {
    uint32_t code = 0;
    if (at + 4 > text.size()) malformed(at);
    auto [end, error] = std::from_chars(text.data() + at, text.data() + at + 4, code, 16);
    if (error != std::errc() || end != text.data() + at + 4) malformed(at);
    return code;
}

}  // namespace

JsonObjectReader::JsonObjectReader(std::string_view text) : text_(text), at_(open(text, '{')) {}

bool JsonObjectReader::next(std::string_view& key, std::string_view& value) {
    at_ = skip_space(text_, at_);
    if (at_ < text_.size() && text_[at_] == '}') return false;
    if (at_ < text_.size() && text_[at_] == ',') at_ = skip_space(text_, at_ + 1);
    if (at_ >= text_.size() || text_[at_] != '"') malformed(at_);
    size_t key_end = string_end(text_, at_);
    key = text_.substr(at_ + 1, key_end - at_ - 2);
    at_ = skip_space(text_, key_end);
    if (at_ >= text_.size() || text_[at_] != ':') malformed(at_);
    size_t start = skip_space(text_, at_ + 1);
    at_ = value_end(text_, start);
    value = text_.substr(start, at_ - start);
    return true;
}

JsonArrayReader::JsonArrayReader(std::string_view text) : text_(text), at_(open(text, '[')) {}

bool JsonArrayReader::next(std::string_view& item) {
    at_ = skip_space(text_, at_);
    if (at_ < text_.size() && text_[at_] == ']') return false;
    if (at_ < text_.size() && text_[at_] == ',') at_ = skip_space(text_, at_ + 1);
    size_t start = at_;
    at_ = value_end(text_, start);
    item = text_.substr(start, at_ - start);
    return true;
}

std::string json_text(std::string_view value) {
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') malformed(0);
    std::string out;
    out.reserve(value.size() - 2);
    for (size_t at = 1; at + 1 < value.size(); ++at) {
        char c = value[at];
        if (c != '\\') {
            out += c;
            continue;
        }
        char escaped = value[++at];
        switch (escaped) {
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                uint32_t code = hex4(value, at + 1);
                at += 4;
                if (code >= 0xD800 && code < 0xDC00 && value.substr(at + 1, 2) == "\\u") {
                    uint32_t low = hex4(value, at + 3);
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    at += 6;
                }
                append_utf8(out, code);
                break;
            }
            default: out += escaped;
        }
    }
    return out;
}

int64_t json_integer(std::string_view value, const char* what) {
    int64_t number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size())
        throw std::runtime_error(std::string("Malformed JSON from the library: ") + what +
                                 " is not a whole number");
    return number;
}

}  // namespace tandrel_site
