// Default content of the simulated meters; see default_content.h.
#include "default_content.h"

#include <vector>

namespace tandrel_sim {

namespace {

void define32(RegisterMap& regs, std::uint16_t address, std::uint32_t v) {
    regs.define(address, static_cast<std::uint16_t>(v & 0xFFFF));
    regs.define(static_cast<std::uint16_t>(address + 1), static_cast<std::uint16_t>(v >> 16));
}

// Source and effect ids that reach each classification of the event texts:
// the fixed overrides, setpoint actions, setpoint operated and released,
// external events by source and by effect, setup areas, setpoints setup,
// clear/reset effects, and pairs with no text at all.
const std::vector<std::pair<std::uint16_t, std::uint16_t>>& event_kinds() {
    static const std::vector<std::pair<std::uint16_t, std::uint16_t>> KINDS = {
        {0x031D, 0xE100}, {0x5A00, 0x2000}, {0x5A00, 0x2001}, {0x0080, 0xE103},
        {0x0302, 0xE103}, {0x0302, 0xE102}, {0x0500, 0xE102}, {0x0303, 0xE105},
        {0x5A05, 0x2103}, {0x5A01, 0x2000}, {0x5A02, 0x2105}, {0x5A03, 0x3002},
        {0x5A04, 0x3101}, {0x5A06, 0x3703}, {0x5A07, 0x3800}, {0x5A08, 0x3901},
        {0x5A09, 0x3905}, {0x5A0A, 0x3A00}, {0x5A0B, 0x3A07}, {0x5A0C, 0x4003},
        {0x5A0D, 0x4102}, {0x5A0E, 0x4201}, {0x5A3F, 0x5100}, {0x5A10, 0x5300},
        {0x5A11, 0x6000}, {0x5A12, 0x6100}, {0x5A13, 0x6200}, {0x5A14, 0x6300},
        {0x5A15, 0x6400}, {0x5A16, 0x6500}, {0x5A17, 0x7000}, {0x5A18, 0x7001},
        {0x5A19, 0x7002}, {0x5A1A, 0x7102}, {0x5A1B, 0x7203}, {0x5A1C, 0x8004},
        {0x5A02, 0x1234}, {0x5A20, 0xE100}, {0x0001, 0xE13F}, {0x0102, 0xE101},
        {0x0001, 0xE200}, {0x0102, 0xE201}, {0x6300, 0x0000}, {0x6308, 0x0000},
        {0x6309, 0x0001}, {0x6318, 0x0000}, {0x6319, 0x0000}, {0x631A, 0x0000},
        {0x6320, 0x0000}, {0x6321, 0x0000}, {0x0001, 0x6308}, {0x0001, 0x6321},
        {0x5B0F, 0x1234}, {0x5B0F, 0xF500}, {0x5B12, 0xF400}, {0x5B14, 0x6A01},
        {0x5B15, 0xF200}, {0x5B1C, 0xF600}, {0x5B25, 0xF700}, {0x5B35, 0xF800},
        {0x5B10, 0x0400}, {0x5B10, 0x0007}, {0x0001, 0x0000}, {0x0001, 0x6000},
        {0x0001, 0x6101}, {0x0001, 0x6102}, {0x0001, 0x6103}, {0x0001, 0x6104},
        {0x0001, 0x6105}, {0x0001, 0x6200}, {0x0001, 0x6300}, {0x0001, 0x6400},
        {0x0001, 0x6405}, {0x0001, 0x6A03}, {0x0001, 0x6B06}, {0x0001, 0x6B07},
        {0x0001, 0xF103}, {0x0001, 0xF300}, {0x0001, 0xF500}, {0x0001, 0xF900},
        {0x0001, 0x1234}, {0x0001, 0x6106},
    };
    return KINDS;
}

DataLogSetup datalog(std::vector<std::uint16_t> points, int records, std::uint32_t interval,
                    std::uint32_t end_time, int per_block) {
    DataLogSetup s;
    s.point_ids = std::move(points);
    s.records = records;
    s.interval_s = interval;
    s.first_time = end_time - static_cast<std::uint32_t>(records) * interval;
    s.records_per_block = per_block;
    s.trigger = 0;
    return s;
}

}  // namespace

Identity default_identity(Model model) {
    Identity id;
    if (model == Model::EM133) {
        id = {13300421, 133, "EM133", 0x0003, 2104, 17, 301, 2};
    } else {
        id = {23501178, 235, "EM235", 0x0007, 3012, 5, 402, 1};
    }
    return id;
}

void define_identity(RegisterMap& regs, const Identity& id) {
    for (std::uint16_t i = 0; i < 32; ++i) {
        regs.define(static_cast<std::uint16_t>(reg::IDENTIFICATION + i), 0);
    }
    define32(regs, reg::IDENTIFICATION + 0, id.serial);
    define32(regs, reg::IDENTIFICATION + 2, id.model_id);
    for (std::size_t i = 0; i < 16; i += 2) {
        const auto hi = static_cast<std::uint8_t>(i < id.name.size() ? id.name[i] : 0);
        const auto lo = static_cast<std::uint8_t>(i + 1 < id.name.size() ? id.name[i + 1] : 0);
        regs.define(static_cast<std::uint16_t>(reg::IDENTIFICATION + 4 + i / 2),
                    static_cast<std::uint16_t>((hi << 8) | lo));
    }
    define32(regs, reg::IDENTIFICATION + 12, id.options);
    regs.define(reg::IDENTIFICATION + 20, id.firmware_version);
    regs.define(reg::IDENTIFICATION + 21, id.firmware_build);
    regs.define(reg::IDENTIFICATION + 24, id.bootloader_version);
    regs.define(reg::IDENTIFICATION + 25, id.bootloader_build);
}

void define_setup(RegisterMap& regs, Model model) {
    static const std::uint16_t UNITS[16] = {1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 1, 1, 2, 3, 0};
    const int registers = model == Model::EM133 ? 12 : 16;
    for (int i = 0; i < registers; ++i) {
        const auto base = static_cast<std::uint16_t>(reg::SUMMARY_SETUP + 4 * i);
        regs.define(base, static_cast<std::uint16_t>(i + 1));
        regs.define(static_cast<std::uint16_t>(base + 1), UNITS[i]);
        regs.define(static_cast<std::uint16_t>(base + 2), 0);
        regs.define(static_cast<std::uint16_t>(base + 3), 0);
    }
    if (model == Model::EM133) {
        regs.define(reg::EM133_PT_RATIO, 10);
        regs.define(reg::EM133_HIGH_RES, 1);
        regs.define(reg::EM133_ENERGY_DECIMALS, 2);
        regs.define(reg::EM133_CLOCK_PARAM, 0);
        for (std::uint16_t i = 0; i < 7; ++i) regs.define(static_cast<std::uint16_t>(reg::EM133_CLOCK + i), 0);
    } else {
        regs.define(reg::EM235_PT_RATIO, 10);
        regs.define(reg::EM235_ENERGY_DECIMALS, 3);
    }
}

std::map<int, DataLogSetup> default_datalogs(Model model, std::uint32_t end_time) {
    std::map<int, DataLogSetup> logs;
    logs[1] = datalog({4352, 4353, 4354, 4355, 4356, 4357, 5120, 5123}, 300, 900, end_time, 10);
    logs[2] = datalog({5888, 5889, 5892, 5896}, 250, 3600, end_time, 12);
    logs[3] = datalog({5632, 5633, 5634, 5638, 5639, 5640}, 200, 86400, end_time, 8);
    if (model == Model::EM235) {
        logs[4] = datalog({4352, 4353, 4354, 4355, 4356, 4357, 4358, 4359, 4360, 5120, 5121,
                           5122, 5123, 5378, 6016, 28672},
                          400, 60, end_time, 5);
    }
    return logs;
}

EventLogSetup default_eventlog(std::uint32_t end_time) {
    EventLogSetup s;
    const auto& kinds = event_kinds();
    const int count = 2 * static_cast<int>(kinds.size());
    for (int i = 0; i < count; ++i) {
        const auto& k = kinds[static_cast<std::size_t>(i) % kinds.size()];
        Event e;
        e.source_id = k.first;
        e.effect_id = k.second;
        e.event_no = static_cast<std::uint16_t>(i + 1);
        e.value = (i % 5 == 4) ? -(i * 37) : i * 1234;
        e.time = end_time - static_cast<std::uint32_t>(count - i) * 5400;
        e.microseconds = static_cast<std::uint32_t>((i * 137) % 1000) * 1000;
        s.events.push_back(e);
    }
    return s;
}

}  // namespace tandrel_sim
