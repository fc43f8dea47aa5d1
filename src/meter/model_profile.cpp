// The em133 and em235 profiles. The em133 register map puts the fundamental
// phasors and both billing summaries 0x18 registers lower than the em235's,
// lacks I4 and I leakage of the 1-second auxiliary values and the net and
// total energies, keeps its energy decimals at 0x0959 with up to four
// digits, and reports unbalance in whole percent.
#include "meter/model_profile.h"

#include <algorithm>

namespace tandrel {

const ModelProfile& model_profile(MeterModel model) {
    static const ModelProfile EM133{
        {0x0901, 0x0956, 0x0959, 4, 12},
        {0x3400, 0x3580, 0x3600, 0x3628, 0x3680, 0x3800, 0x3880, 0x3900, 0x3980, 0x39A8, 0x4980,
         0x51A8},
        {5376, 5390, 5890, 5891, 5894, 5895},
        0};
    static const ModelProfile EM235{
        {0xB481, -1, 0xB4B2, 3, 16},
        {0x3400, 0x3580, 0x3600, 0x3640, 0x3680, 0x3800, 0x3880, 0x3900, 0x3980, 0x39C0, 0x4980,
         0x51C0},
        {},
        1};
    switch (model) {
        case MeterModel::EM133:
            return EM133;
        case MeterModel::EM235:
            return EM235;
    }
    return EM235;  // unreachable: the switch names every model
}

bool model_has_point(MeterModel model, uint16_t point_id) {
    const std::vector<uint16_t>& lacking = model_profile(model).lacking_points;
    return std::find(lacking.begin(), lacking.end(), point_id) == lacking.end();
}

}  // namespace tandrel
