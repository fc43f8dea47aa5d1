// Caller texts: the options text, the model name and the point list. The
// texts reach the library as C strings, so each input is cut at its first NUL.
#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>

#include "core/options.h"
#include "harnesses.h"
#include "meter/point_selection.h"

namespace tandrel::fuzz {
namespace {

std::string c_text(const std::uint8_t* data, std::size_t size) {
    const auto* begin = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(begin, '\0', size);
    return std::string(begin, nul ? static_cast<const char*>(nul) : begin + size);
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool is_option_error(const std::string& message) {
    return message == "options.port must be 1-65535" ||
           message == "options.unit_id must be 0-255" ||
           message == "options.timeout_ms must be 100-3600000";
}

bool is_point_list_error(const std::string& message) {
    return starts_with(message, "points: ") || starts_with(message, "Point 0x") ||
           starts_with(message, "Unknown point '");
}

}  // namespace

int fuzz_options(const std::uint8_t* data, std::size_t size) {
    const std::string text = c_text(data, size);
    try {
        const Options o = parse_options(text.c_str());
        harness_check(o.port >= 1, "options: port 0 accepted");
        harness_check(o.timeout_ms >= 100 && o.timeout_ms <= 3600000,
                      "options: time-out outside 100-3600000 accepted");
    } catch (const std::runtime_error& e) {
        harness_check(is_option_error(e.what()), "options: unexpected message");
    }
    return 0;
}

int fuzz_model(const std::uint8_t* data, std::size_t size) {
    const std::string text = c_text(data, size);
    try {
        const MeterModel model = parse_meter(text);
        const std::string name = model_text(model);
        harness_check(text.size() == 5, "model: a name of another length accepted");
        harness_check(name == "em133" || name == "em235", "model: unknown model text");
    } catch (const std::runtime_error& e) {
        const std::string expected =
            "Unknown meter model '" + text + "' (expected em133 or em235)";
        harness_check(e.what() == expected, "model: unexpected message");
    }
    return 0;
}

int fuzz_point_list(const std::uint8_t* data, std::size_t size) {
    const std::string text = c_text(data, size);
    const auto items = scan_point_list(text);
    try {
        const auto ids = parse_point_list(text);
        harness_check(ids.size() == items.size(), "point list: an item lost or added");
    } catch (const std::runtime_error& e) {
        harness_check(is_point_list_error(e.what()), "point list: unexpected message");
    }
    return 0;
}

}  // namespace tandrel::fuzz
