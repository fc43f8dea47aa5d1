// Reading scenario files; see scenario_json.h. The key names follow the
// simulator's interface: a data log here is a DataLogSetup there.
#include "scenario_json.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tandrel_sim {

using nlohmann::json;

namespace {

long long number(const json& j, const std::string& key) {
    if (j.is_number_integer()) return j.get<long long>();
    if (j.is_boolean()) return j.get<bool>() ? 1 : 0;
    if (j.is_string()) {
        const std::string s = j.get<std::string>();
        try {
            std::size_t used = 0;
            const long long v = std::stoll(s, &used, 0);
            if (used == s.size()) return v;
        } catch (const std::exception&) {
        }
    }
    throw std::runtime_error("Scenario: \"" + key + "\" must be an integer");
}

long long get(const json& obj, const std::string& key, long long fallback) {
    const auto it = obj.find(key);
    return it == obj.end() ? fallback : number(*it, key);
}

std::uint16_t u16(const json& obj, const std::string& key, long long fallback = 0) {
    const long long v = get(obj, key, fallback);
    if (v < 0 || v > 0xFFFF) throw std::runtime_error("Scenario: \"" + key + "\" out of range 0..65535");
    return static_cast<std::uint16_t>(v);
}

// Refuses a member no reader asks for: a typo would leave a fault or a
// setting at its default without a word. Index paths count from 0.
using Keys = std::vector<const char*>;

void known_keys(const json& obj, const std::string& where, const Keys& keys, const Keys& more = {}) {
    if (!obj.is_object()) throw std::runtime_error("Scenario: " + where + " must be an object");
    const auto known = [&](const std::string& key) {
        const auto is_key = [&](const char* k) { return key == k; };
        return std::any_of(keys.begin(), keys.end(), is_key) ||
               std::any_of(more.begin(), more.end(), is_key);
    };
    for (const auto& member : obj.items()) {
        if (!known(member.key())) {
            throw std::runtime_error("Scenario: unknown key '" + member.key() + "' in " + where);
        }
    }
}

std::string path(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
}

// Calls read(item, "where.key[i]") for each item of the list obj[key], if any.
template <typename Read>
void each(const json& obj, const char* key, const std::string& where, Read read) {
    const auto it = obj.find(key);
    if (it == obj.end()) return;
    const std::string list = path(where, key);
    if (!it->is_array()) throw std::runtime_error("Scenario: " + list + " must be a list");
    for (std::size_t i = 0; i < it->size(); ++i) read((*it)[i], list + "[" + std::to_string(i) + "]");
}

std::vector<std::uint16_t> u16_list(const json& obj, const std::string& key) {
    std::vector<std::uint16_t> out;
    const auto it = obj.find(key);
    if (it == obj.end()) return out;
    for (const json& v : *it) {
        const long long x = number(v, key);
        if (x < 0 || x > 0xFFFF) throw std::runtime_error("Scenario: \"" + key + "\" out of range 0..65535");
        out.push_back(static_cast<std::uint16_t>(x));
    }
    return out;
}

LogScenario log_scenario(const json& j, const std::string& where) {
    known_keys(j, where, {"kind", "presentation", "times", "record", "flags", "count", "size"});
    const std::string kind = j.value("kind", "");
    const int p = static_cast<int>(get(j, "presentation", 1));
    const int times = static_cast<int>(get(j, "times", 1));
    if (kind == "repeat_block") return LogScenario::repeat_block(p, times);
    if (kind == "empty_header") return LogScenario::empty_header(p, times);
    if (kind == "oversize_header") {
        return LogScenario::oversize_header(p, u16(j, "count", 7000), u16(j, "size", 10));
    }
    if (kind == "record_flags") {
        return LogScenario::record_flags(static_cast<int>(get(j, "record", 0)), u16(j, "flags"));
    }
    throw std::runtime_error("Scenario: unknown log scenario kind \"" + kind + "\"");
}

// Members every log has beside its own.
const Keys& file_info_keys() {
    static const Keys KEYS = {"file_info", "layout", "announced_records", "start_pos", "current_pos",
                              "eof_flag", "records_per_block", "layout_override", "scenarios"};
    return KEYS;
}

void read_file_info(const json& j, const std::string& where, FileInfoSetup& f) {
    f.file_info = j.value("file_info", f.file_info);
    f.layout = j.value("layout", f.layout);
    f.announced_records = static_cast<int>(get(j, "announced_records", f.announced_records));
    f.start_pos = u16(j, "start_pos", f.start_pos);
    f.current_pos = static_cast<int>(get(j, "current_pos", f.current_pos));
    f.eof_flag = j.value("eof_flag", f.eof_flag);
    f.records_per_block = static_cast<int>(get(j, "records_per_block", f.records_per_block));
    f.layout_override = u16_list(j, "layout_override");
    each(j, "scenarios", where, [&](const json& s, const std::string& at) {
        f.scenarios.push_back(log_scenario(s, at));
    });
}

DataLogSetup datalog(const json& j, const std::string& where) {
    known_keys(j, where, {"file", "points", "records", "first_time", "interval_s", "first_seq",
                          "trigger", "record_words"}, file_info_keys());
    DataLogSetup s;
    read_file_info(j, where, s);
    s.point_ids = u16_list(j, "points");
    s.records = static_cast<int>(get(j, "records", 0));
    s.first_time = static_cast<std::uint32_t>(get(j, "first_time", s.first_time));
    s.interval_s = static_cast<std::uint32_t>(get(j, "interval_s", s.interval_s));
    s.first_seq = u16(j, "first_seq", s.first_seq);
    s.trigger = u16(j, "trigger", 0);
    s.record_words = static_cast<int>(get(j, "record_words", 0));
    return s;
}

EventLogSetup eventlog(const json& j, const std::string& where) {
    known_keys(j, where, {"events", "first_seq", "record_words"}, file_info_keys());
    EventLogSetup s;
    read_file_info(j, where, s);
    s.first_seq = u16(j, "first_seq", s.first_seq);
    s.record_words = static_cast<int>(get(j, "record_words", s.record_words));
    each(j, "events", where, [&](const json& e, const std::string& at) {
        known_keys(e, at, {"source", "effect", "event_no", "value", "time", "microseconds"});
        Event ev;
        ev.source_id = u16(e, "source");
        ev.effect_id = u16(e, "effect");
        ev.event_no = u16(e, "event_no");
        ev.value = static_cast<std::int32_t>(get(e, "value", 0));
        ev.time = static_cast<std::uint32_t>(get(e, "time", 0));
        ev.microseconds = static_cast<std::uint32_t>(get(e, "microseconds", 0));
        s.events.push_back(ev);
    });
    return s;
}

FaultAction fault_action(const std::string& name) {
    static const std::pair<const char*, FaultAction> NAMES[] = {
        {"exception", FaultAction::Exception}, {"delay", FaultAction::Delay},
        {"silence", FaultAction::Silence}, {"close", FaultAction::Close},
        {"one_byte_segments", FaultAction::OneByteSegments},
        {"wrong_transaction_id", FaultAction::WrongTransactionId},
        {"wrong_function_code", FaultAction::WrongFunctionCode},
        {"bad_byte_count", FaultAction::BadByteCount}, {"mbap_length", FaultAction::MbapLength}};
    for (const auto& [text, action] : NAMES) {
        if (name == text) return action;
    }
    throw std::runtime_error("Scenario: unknown fault action \"" + name + "\"");
}

Fault fault(const json& j, const std::string& where) {
    known_keys(j, where, {"function", "address_lo", "address_hi", "address", "request", "unit_id",
                          "action", "code", "delay_ms", "mbap_length", "once"});
    Fault f;
    f.function = static_cast<int>(get(j, "function", -1));
    f.address_lo = static_cast<int>(get(j, "address_lo", get(j, "address", -1)));
    f.address_hi = static_cast<int>(get(j, "address_hi", get(j, "address", -1)));
    f.nth_request = static_cast<int>(get(j, "request", -1));
    f.unit_id = static_cast<int>(get(j, "unit_id", -1));
    f.action = fault_action(j.value("action", "exception"));
    f.code = static_cast<int>(get(j, "code", 2));
    f.delay_ms = static_cast<int>(get(j, "delay_ms", 0));
    f.mbap_length = static_cast<int>(get(j, "mbap_length", 0));
    f.once = j.value("once", true);
    return f;
}

void apply_setup(const json& j, Simulator& sim) {
    known_keys(j, "setup", {"pt_ratio_x10", "high_resolution", "energy_decimals", "summary_units"});
    if (j.contains("pt_ratio_x10")) sim.set_pt_ratio_x10(u16(j, "pt_ratio_x10"));
    if (j.contains("high_resolution")) sim.set_high_resolution(get(j, "high_resolution", 1) != 0);
    if (j.contains("energy_decimals")) sim.set_energy_decimals(u16(j, "energy_decimals"));
    if (j.contains("summary_units")) sim.set_summary_units(u16_list(j, "summary_units"));
}

Identity identity(const json& j) {
    known_keys(j, "identity", {"serial", "model_id", "name", "options", "firmware_version",
                               "firmware_build", "bootloader_version", "bootloader_build"});
    Identity id;
    id.serial = static_cast<std::uint32_t>(get(j, "serial", 0));
    id.model_id = static_cast<std::uint32_t>(get(j, "model_id", 0));
    id.name = j.value("name", "");
    id.options = static_cast<std::uint32_t>(get(j, "options", 0));
    id.firmware_version = u16(j, "firmware_version");
    id.firmware_build = u16(j, "firmware_build");
    id.bootloader_version = u16(j, "bootloader_version");
    id.bootloader_build = u16(j, "bootloader_build");
    return id;
}

json parse(const std::string& text) {
    try {
        json j = json::parse(text);
        if (!j.is_object()) throw std::runtime_error("Scenario: the document must be a JSON object");
        return j;
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("Scenario: ") + e.what());
    }
}

void apply_registers(const json& doc, Simulator& sim) {
    each(doc, "registers", "", [&](const json& r, const std::string& at) {
        known_keys(r, at, {"address", "values"});
        sim.set_registers(u16(r, "address"), u16_list(r, "values"));
    });
    each(doc, "points", "", [&](const json& p, const std::string& at) {
        known_keys(p, at, {"id", "raw"});
        if (!sim.set_point_raw(u16(p, "id"), static_cast<std::int32_t>(get(p, "raw", 0)))) {
            throw std::runtime_error("Scenario: point " + std::to_string(u16(p, "id")) + " has no register family");
        }
    });
    each(doc, "reject", "", [&](const json& r, const std::string& at) {
        known_keys(r, at, {"from", "to", "exception"});
        sim.reject_range(u16(r, "from"), u16(r, "to", get(r, "from", 0)),
                         static_cast<int>(get(r, "exception", 2)));
    });
}

void apply_diagnostics(const json& d, Simulator& sim) {
    known_keys(d, "diagnostics", {"address", "unit_id", "words"});
    const std::vector<std::uint16_t> w = u16_list(d, "words");
    sim.set_diagnostics(u16(d, "address"), static_cast<std::uint8_t>(u16(d, "unit_id", 1)),
                        w.size() > 0 ? w[0] : 0, w.size() > 1 ? w[1] : 0);
}

void apply_logs(const json& doc, Simulator& sim) {
    each(doc, "datalogs", "", [&](const json& d, const std::string& at) {
        const DataLogSetup log = datalog(d, at);
        const long long file = get(d, "file", 0);
        if (file < 1 || file > 16) throw std::runtime_error("Scenario: data log \"file\" must be 1..16");
        sim.set_datalog(static_cast<int>(file), log);
    });
    if (doc.contains("eventlog")) sim.set_eventlog(eventlog(doc["eventlog"], "eventlog"));
    each(doc, "raw_logs", "", [&](const json& r, const std::string& at) {
        known_keys(r, at, {"file", "records", "records_per_block", "points"});
        std::vector<std::vector<std::uint16_t>> records;
        for (const json& rec : r.value("records", json::array())) {
            json holder = {{"record", rec}};
            records.push_back(u16_list(holder, "record"));
        }
        sim.set_raw_log(static_cast<int>(get(r, "file", 0)), records,
                        static_cast<int>(get(r, "records_per_block", 10)), u16_list(r, "points"));
    });
}

}  // namespace

Model parse_model(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    if (lower == "em133") return Model::EM133;
    if (lower == "em235" || lower == "pm335") return Model::EM235;
    throw std::runtime_error("Unknown model: " + name + " (em133, em235 or pm335)");
}

ScenarioHead read_scenario_head(const std::string& json_text) {
    const json doc = parse(json_text);
    ScenarioHead head;
    if (doc.contains("model")) {
        head.has_model = true;
        head.model = parse_model(doc["model"].get<std::string>());
    }
    head.options.live = !doc.value("deterministic", false);
    head.options.default_logs = doc.value("default_logs", true);
    head.options.fixed_time = static_cast<std::uint32_t>(get(doc, "fixed_time", head.options.fixed_time));
    return head;
}

void apply_scenario(const std::string& json_text, Simulator& sim) {
    const json doc = parse(json_text);
    try {
        // "call" and "expect" belong to the test cases that are scenarios too.
        known_keys(doc, "the document",
                   {"model", "deterministic", "default_logs", "fixed_time", "identity", "setup",
                    "registers", "points", "reject", "clock", "diagnostics", "datalogs",
                    "eventlog", "raw_logs", "faults", "call", "expect"});
        if (doc.contains("identity")) sim.set_identity(identity(doc["identity"]));
        if (doc.contains("setup")) apply_setup(doc["setup"], sim);
        apply_registers(doc, sim);
        if (doc.contains("clock")) sim.set_clock(static_cast<std::uint32_t>(get(doc, "clock", 0)));
        if (doc.contains("diagnostics")) apply_diagnostics(doc["diagnostics"], sim);
        apply_logs(doc, sim);
        each(doc, "faults", "", [&](const json& f, const std::string& at) {
            sim.add_fault(fault(f, at));
        });
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("Scenario: ") + e.what());
    }
}

}  // namespace tandrel_sim
