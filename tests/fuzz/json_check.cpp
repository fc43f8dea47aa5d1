#include "json_check.h"

#include <cctype>
#include <cstring>

namespace tandrel::fuzz {
namespace {

class Checker {
public:
    explicit Checker(const std::string& text) : s_(text) {}

    bool whole() { return value(0) && pos_ == s_.size(); }

private:
    bool value(int depth) {
        if (depth > 64 || pos_ >= s_.size()) return false;
        switch (s_[pos_]) {
            case '{': return container(depth, '}', true);
            case '[': return container(depth, ']', false);
            case '"': return string();
            case 't': return word("true");
            case 'f': return word("false");
            case 'n': return word("null");
            default: return number();
        }
    }

    bool container(int depth, char close, bool object) {
        ++pos_;
        if (peek(close)) return ++pos_, true;
        for (;;) {
            if (object && !(string() && expect(':'))) return false;
            if (!value(depth + 1)) return false;
            if (peek(close)) return ++pos_, true;
            if (!expect(',')) return false;
        }
    }

    bool string() {
        if (!expect('"')) return false;
        while (pos_ < s_.size()) {
            const auto c = static_cast<unsigned char>(s_[pos_++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c == '\\' && !escape()) return false;
        }
        return false;
    }

    bool escape() {
        if (pos_ >= s_.size()) return false;
        const char c = s_[pos_++];
        if (std::strchr("\"\\/bfnrt", c) != nullptr) return true;
        if (c != 'u') return false;
        for (int i = 0; i < 4; ++i) {
            if (pos_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[pos_++]))) {
                return false;
            }
        }
        return true;
    }

    bool number() {
        if (peek('-')) ++pos_;
        if (peek('0')) {
            ++pos_;
        } else if (!digits()) {
            return false;
        }
        if (peek('.') && (++pos_, !digits())) return false;
        if (peek('e') || peek('E')) {
            ++pos_;
            if (peek('+') || peek('-')) ++pos_;
            if (!digits()) return false;
        }
        return true;
    }

    bool digits() {
        const size_t start = pos_;
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        return pos_ > start;
    }

    bool word(const char* w) {
        const size_t n = std::strlen(w);
        if (s_.compare(pos_, n, w) != 0) return false;
        pos_ += n;
        return true;
    }

    bool peek(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
    bool expect(char c) { return peek(c) ? (++pos_, true) : false; }

    const std::string& s_;
    size_t pos_ = 0;
};

}  // namespace

bool is_compact_json(const std::string& text) { return Checker(text).whole(); }

}  // namespace tandrel::fuzz
