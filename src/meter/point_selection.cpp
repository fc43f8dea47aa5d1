// The point list is a JSON-like array, scanned leniently: numbers may be bare,
// names must be quoted, and separators are any run of commas and blanks.
#include "meter/point_selection.h"

#include <cctype>
#include <stdexcept>

#include "core/call_frame.h"
#include "core/hex_text.h"
#include "core/options.h"
#include "meter/model_profile.h"
#include "meter/point_table.h"

namespace tandrel {
namespace {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

size_t skip_separators(const std::string& s, size_t pos) {
    while (pos < s.size() && (is_space(s[pos]) || s[pos] == ',')) ++pos;
    return pos;
}

// pos is just behind the opening quote; returns the position behind the
// closing one (or the end of the text when it is missing).
size_t read_quoted(const std::string& s, size_t pos, std::string& text) {
    while (pos < s.size() && s[pos] != '"') {
        if (s[pos] == '\\' && pos + 1 < s.size()) ++pos;
        text += s[pos++];
    }
    return pos < s.size() ? pos + 1 : pos;
}

size_t read_bare(const std::string& s, size_t pos, std::string& text) {
    while (pos < s.size() && s[pos] != ',' && s[pos] != ']' && !is_space(s[pos])) {
        text += s[pos++];
    }
    return pos;
}

// True when the whole text converts as a 32-bit strtol would.
bool parse_number(const std::string& text, int32_t& value) {
    const bool hex = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* start = text.c_str();
    char* end = nullptr;
    value = strtol_int32(start, &end, hex ? 16 : 10);
    return end != start && end == start + text.size();
}

uint16_t resolve_number(const std::string& text, int32_t value) {
    if (static_cast<uint32_t>(value) > 0xFFFFu) {
        throw std::runtime_error("points: " + text + " is not a 16-bit point ID");
    }
    const auto id = static_cast<uint16_t>(value);
    if (find_family(id) == nullptr) {
        throw std::runtime_error("Point " + hex4(id) + " is not in a readable register block");
    }
    return id;
}

bool same_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The 1-second phase, total and auxiliary values and the energies are what a
// caller usually means by a name that several families share.
bool preferred(uint16_t id) {
    const unsigned high = id >> 8;
    return high == 0x11 || high == 0x14 || high == 0x15 || high == 0x17;
}

uint16_t resolve_name(const std::string& name) {
    const uint16_t NONE = 0;
    uint16_t first = NONE;
    for (const auto& [id, def] : param_table()) {
        if (!same_name(def.name, name) || find_family(id) == nullptr) continue;
        if (preferred(id)) return id;
        if (first == NONE) first = id;
    }
    if (first == NONE) throw std::runtime_error("Unknown point '" + name + "'");
    return first;
}

}  // namespace

std::vector<PointItem> scan_point_list(const std::string& text) {
    std::vector<PointItem> items;
    size_t pos = skip_separators(text, 0);
    if (pos < text.size() && text[pos] == '[') ++pos;
    for (;;) {
        pos = skip_separators(text, pos);
        if (pos >= text.size() || text[pos] == ']') break;
        PointItem item;
        if (text[pos] == '"') {
            item.quoted = true;
            pos = read_quoted(text, pos + 1, item.text);
        } else {
            pos = read_bare(text, pos, item.text);
        }
        items.push_back(std::move(item));
    }
    return items;
}

uint16_t resolve_point_item(const PointItem& item) {
    int32_t value = 0;
    if (parse_number(item.text, value)) return resolve_number(item.text, value);
    if (!item.quoted) throw std::runtime_error("points: unexpected item " + item.text);
    return resolve_name(item.text);
}

std::vector<uint16_t> parse_point_list(const std::string& text) {
    std::vector<uint16_t> selection;
    for (const PointItem& item : scan_point_list(text)) {
        if (item.text.empty()) throw std::runtime_error("points: empty item");
        selection.push_back(resolve_point_item(item));
    }
    return selection;
}

std::vector<uint16_t> required_point_list(const char* points) {
    require_non_null(points, "points");
    std::vector<uint16_t> selection = parse_point_list(points);
    if (selection.empty()) throw std::runtime_error("points: at least one point is required");
    return selection;
}

std::vector<uint16_t> live_points(MeterModel model) {
    // Voltages, currents and powers per phase, the totals, frequency and
    // unbalance, I4 and I leakage, and the energies; a model takes those it has.
    std::vector<uint16_t> all;
    for (uint16_t id = 4352; id <= 4384; ++id) all.push_back(id);
    for (uint16_t id = 5120; id <= 5132; ++id) all.push_back(id);
    for (uint16_t id = 5376; id <= 5380; ++id) all.push_back(id);
    all.push_back(5390);
    for (uint16_t id = 5888; id <= 5896; ++id) all.push_back(id);
    std::vector<uint16_t> ids;
    for (const uint16_t id : all) {
        if (model_has_point(model, id)) ids.push_back(id);
    }
    return ids;
}

}  // namespace tandrel
