// The point listing: every point of a register family that the model carries.
#include "meter/point_listing.h"

#include <string>

#include "core/call_frame.h"
#include "core/json_text.h"
#include "core/meter_model.h"
#include "meter/model_profile.h"
#include "meter/point_table.h"

namespace tandrel {
namespace {

void append_point(std::string& doc, uint16_t id, const ParamDef& def, const FamilyBlock& f) {
    doc += "{\"pid\":";
    doc += std::to_string(id);
    doc += ",\"name\":\"";
    append_json_escaped(doc, def.name);
    doc += "\",\"unit\":\"";
    append_json_escaped(doc, def.unit);
    doc += "\",\"group\":\"";
    doc += f.name;
    doc += "\"}";
}

}  // namespace

std::vector<uint16_t> listed_points(MeterModel model) {
    std::vector<uint16_t> ids;
    for (const auto& entry : param_table()) {
        if (find_family(entry.first) != nullptr && model_has_point(model, entry.first)) {
            ids.push_back(entry.first);
        }
    }
    return ids;
}

int list_points_impl(const char* meter, char* out, int out_len) {
    require_non_null({{meter, "meter"}, {out, "out"}});
    const MeterModel model = parse_meter(meter);
    const std::vector<uint16_t> ids = listed_points(model);
    const auto& table = param_table();
    std::string doc = "{\"meter\":\"";
    doc += model_text(model);
    doc += "\",\"points\":[";
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) doc += ',';
        append_point(doc, ids[i], table.at(ids[i]), *find_family(ids[i]));
    }
    doc += "]}";
    write_out(doc, out, out_len);
    return static_cast<int>(ids.size());
}

}  // namespace tandrel
