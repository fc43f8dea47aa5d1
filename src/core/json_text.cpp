// JSON escaping and the members every document opens with.
#include "core/json_text.h"

namespace tandrel {

void append_json_escaped(std::string& out, const std::string& text) {
    static const char HEX[] = "0123456789abcdef";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += HEX[c >> 4];
                    out += HEX[c & 0xF];
                } else {
                    out += ch;
                }
        }
    }
}

std::string json_escape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    append_json_escaped(out, text);
    return out;
}

std::string doc_prefix(const std::string& host, MeterModel model) {
    std::string out = "\"meter\":\"";
    out += model_text(model);
    out += "\",\"host\":\"";
    append_json_escaped(out, host);
    out += '"';
    return out;
}

}  // namespace tandrel
