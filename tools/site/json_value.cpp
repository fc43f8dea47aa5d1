// Recursive-descent JSON reader, numbers kept as text; JSON string quoting.
#include "json_value.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace tandrel_site {
namespace {

constexpr int MAX_DEPTH = 64;

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    JsonValue document() {
        JsonValue value = parse_value(0);
        skip_blanks();
        if (pos_ != text_.size()) fail();
        return value;
    }

private:
    const std::string& text_;
    size_t pos_ = 0;

    [[noreturn]] void fail() const {
        throw std::runtime_error("Malformed JSON from the library at byte " + std::to_string(pos_));
    }
    void skip_blanks() {
        while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]) != nullptr) ++pos_;
    }
    char peek() {
        skip_blanks();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }
    void expect(char c) {
        if (peek() != c) fail();
        ++pos_;
    }
    bool take_word(const char* word) {
        size_t n = std::strlen(word);
        if (text_.compare(pos_, n, word) != 0) return false;
        pos_ += n;
        return true;
    }

    JsonValue parse_value(int depth) {
        if (depth > MAX_DEPTH) fail();
        char c = peek();
        JsonValue value;
        if (c == '{') return parse_object(depth);
        if (c == '[') return parse_array(depth);
        if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = parse_string();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            value.kind = JsonValue::Kind::Number;
            value.text = parse_number();
        } else if (take_word("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.text = "true";
        } else if (take_word("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.text = "false";
        } else if (!take_word("null")) {
            fail();
        }
        return value;
    }

    JsonValue parse_object(int depth) {
        JsonValue value;
        value.kind = JsonValue::Kind::Object;
        expect('{');
        if (peek() == '}') return ++pos_, value;
        do {
            if (peek() != '"') fail();
            std::string key = parse_string();
            expect(':');
            value.members.emplace_back(std::move(key), parse_value(depth + 1));
        } while (peek() == ',' && ++pos_);
        expect('}');
        return value;
    }

    JsonValue parse_array(int depth) {
        JsonValue value;
        value.kind = JsonValue::Kind::Array;
        expect('[');
        if (peek() == ']') return ++pos_, value;
        do {
            value.items.push_back(parse_value(depth + 1));
        } while (peek() == ',' && ++pos_);
        expect(']');
        return value;
    }

    std::string parse_number() {
        size_t start = pos_;
        if (text_[pos_] == '-') ++pos_;
        size_t digits = pos_;
        while (pos_ < text_.size() && std::strchr("0123456789.eE+-", text_[pos_]) != nullptr) ++pos_;
        if (pos_ == digits) fail();
        return text_.substr(start, pos_ - start);
    }

    std::string parse_string() {
        ++pos_;  // opening quote
        std::string out;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) fail();
            append_escape(out, text_[pos_++]);
        }
        if (pos_ >= text_.size()) fail();
        ++pos_;  // closing quote
        return out;
    }

    void append_escape(std::string& out, char c) {
        switch (c) {
            case 'n': out += '\n'; return;
            case 'r': out += '\r'; return;
            case 't': out += '\t'; return;
            case 'b': out += '\b'; return;
            case 'f': out += '\f'; return;
            case 'u': append_utf8(out, parse_hex4()); return;
            case '"': case '\\': case '/': out += c; return;
            default: fail();
        }
    }

    unsigned parse_hex4() {
        if (pos_ + 4 > text_.size()) fail();
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = text_[pos_++];
            const char* hex = "0123456789abcdef0123456789ABCDEF";
            const char* found = c != '\0' ? std::strchr(hex, c) : nullptr;
            if (found == nullptr) fail();
            code = code * 16 + static_cast<unsigned>((found - hex) % 16);
        }
        return code;
    }

    static void append_utf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
    static const JsonValue NONE;
    for (const auto& member : members)
        if (member.first == key) return member.second;
    return NONE;
}

int JsonValue::integer(int fallback) const {
    if (kind != Kind::Number || text.empty()) return fallback;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || value < INT_MIN || value > INT_MAX) return fallback;
    return static_cast<int>(value);
}

JsonValue parse_json(const std::string& text) { return Reader(text).document(); }

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string json_number(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace tandrel_site
