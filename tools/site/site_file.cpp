// Site-file lines to meters, with one message per malformed line.
#include "site_file.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "endpoint.h"
#include "models.h"

namespace tandrel_site {
namespace {

// The word that insists on a line's model, named as the command line's --force-model.
constexpr const char* FORCE_MODEL = "force-model";

// A unit id, or a mistyped one: what does not start so is taken for a model.
bool looks_like_unit(const std::string& text) {
    return std::strchr("0123456789+-", text[0]) != nullptr;
}

// 0-255 in decimal digits, or -1.
int unit_id(const std::string& text) {
    bool digits = text.find_first_not_of("0123456789") == std::string::npos;
    if (text.empty() || text.size() > 3 || !digits) return -1;
    int value = std::stoi(text);
    return value <= 255 ? value : -1;
}

// The text of a `name=` field, which runs to the end of the line, spaces
// included; `line` keeps what comes before it. "" when there is none.
std::string take_name(std::string& line) {
    static const std::string KEY = "name=";
    line = line.substr(0, line.find('#'));
    size_t at = line.find(KEY);
    while (at != std::string::npos && at > 0 && !std::isspace(static_cast<unsigned char>(line[at - 1])))
        at = line.find(KEY, at + 1);
    if (at == std::string::npos) return "";
    std::string name = line.substr(at + KEY.size());
    line.erase(at);
    const char* space = " \t\r";
    name.erase(0, name.find_first_not_of(space));
    name.erase(name.find_last_not_of(space) + 1);
    if (name.empty()) throw InputError("name= needs a name after it");
    return name;
}

std::vector<std::string> fields_of(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> fields;
    for (std::string field; stream >> field;) fields.push_back(field);
    return fields;
}

// The meter a line names, its fields in the order MODEL, UNIT, force-model,
// each optional; throws InputError with the reason when it names none.
SiteMeter meter_of(const std::vector<std::string>& fields) {
    SiteMeter meter;
    Endpoint endpoint = split_host_port(fields[0]);
    meter.host = endpoint.host;
    if (endpoint.port > 0) meter.port = endpoint.port;
    size_t next = 1;
    std::string after = "the host";
    if (next < fields.size() && fields[next] != FORCE_MODEL && !looks_like_unit(fields[next])) {
        meter.model = known_model(fields[next]);
        if (meter.model.empty())
            throw InputError("unknown model '" + fields[next] + "' (expected " +
                             model_names_text() + ")");
        after = "the model";
        ++next;
    }
    if (next < fields.size() && looks_like_unit(fields[next])) {
        meter.unit = unit_id(fields[next]);
        if (meter.unit < 0) throw InputError("bad unit id '" + fields[next] + "' (expected 0-255)");
        after = "the unit id";
        ++next;
    }
    if (next < fields.size() && fields[next] == FORCE_MODEL) {
        if (meter.model.empty()) throw InputError("force-model needs a model before it");
        meter.force_model = true;
        after = FORCE_MODEL;
        ++next;
    }
    if (next < fields.size())
        throw InputError("unexpected '" + fields[next] + "' after " + after);
    return meter;
}

}  // namespace

SiteFile parse_site_file(const std::string& text) {
    SiteFile site;
    std::map<std::string, int> first_line_of;  // by folder: two lines must not share one
    std::map<std::string, int> named_on;       // nor two meters one name
    std::istringstream stream(text);
    std::string line;
    for (int number = 1; std::getline(stream, line); ++number) {
        try {
            std::string name = take_name(line);
            std::vector<std::string> fields = fields_of(line);
            if (fields.empty()) {
                if (name.empty()) continue;
                throw InputError("name= needs a meter before it");
            }
            SiteMeter meter = meter_of(fields);
            meter.name = name;
            meter.line = number;
            auto known = first_line_of.emplace(meter_dir_name(meter), number);
            if (!known.second)
                throw InputError("the same meter as line " + std::to_string(known.first->second));
            auto named = name.empty() ? known : named_on.emplace(name, number);
            if (!named.second)
                throw InputError("the same name as line " + std::to_string(named.first->second));
            site.meters.push_back(meter);
        } catch (const InputError& e) {
            site.errors.push_back({number, e.what()});
        }
    }
    if (site.meters.empty() && site.errors.empty()) site.errors.push_back({0, "no meters"});
    return site;
}

std::string meter_dir_name(const SiteMeter& meter) {
    std::string host = meter.host;
    for (char& c : host)
        if (static_cast<unsigned char>(c) < 0x20 || std::strchr("<>:\"/\\|?*", c) != nullptr)
            c = '-';
    return host + "_" + std::to_string(meter.port) + "_" + std::to_string(meter.unit);
}

std::string meter_endpoint(const SiteMeter& meter) { return endpoint_text(meter.host, meter.port); }

std::string read_site_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) throw InputError("cannot read the site file " + path);
    return text.str();
}

}  // namespace tandrel_site
