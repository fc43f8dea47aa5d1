// The point listing: every point of a register family, less the few that the
// EM133 register map does not carry.
#include "point_listing.h"

#include <string>

#include "api/call_frame.h"
#include "api/json_text.h"
#include "meter/point_table.h"

namespace tandrel {
namespace {

// I4, I leakage and the net and total energies exist on the EM235 only.
constexpr uint16_t EM235_ONLY[] = {5376, 5390, 5890, 5891, 5894, 5895};

bool offered_by(MeterModel model, uint16_t point_id) {
    switch (model) {
        case MeterModel::EM235:
            return true;
        case MeterModel::EM133:
            for (const uint16_t id : EM235_ONLY) {
                if (id == point_id) return false;
            }
            return true;
    }
    return true;
}

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
        if (find_family(entry.first) != nullptr && offered_by(model, entry.first)) {
            ids.push_back(entry.first);
        }
    }
    return ids;
}

int list_points_impl(MeterModel model, char* out, int out_len) {
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
