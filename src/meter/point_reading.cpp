// Point reading keeps the request count down: one span per register family,
// from its lowest to its highest selected point, unselected points in between
// read and dropped. Only when a span fails (it may touch registers this meter
// lacks) are the family's points read one by one. A broken connection ends
// the call: a document without the rest of the points would pass for whole.
#include "meter/point_reading.h"

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/call_frame.h"
#include "core/hex_text.h"
#include "core/json_text.h"
#include "core/log_sink.h"
#include "core/meter_model.h"
#include "core/time_text.h"
#include "meter/call_opening.h"
#include "meter/data_scales.h"
#include "meter/point_selection.h"
#include "meter/point_table.h"
#include "meter/value_format.h"
#include "modbus/modbus_tcp_client.h"
#include "modbus/word_pair.h"
#include "platform/calendar.h"

namespace tandrel {
namespace {

using RawValues = std::map<uint16_t, int32_t>;

struct ReadContext {
    ModbusTcpClient& client;
    MeterModel model;
    const std::vector<uint16_t>& selection;
    RawValues raw_values;
    std::string last_error;
};

bool in_family(uint16_t point_id, const FamilyBlock& family) {
    return static_cast<uint16_t>(point_id & 0xFF80) == family.pid_base;
}

void read_span(ReadContext& ctx, const FamilyBlock& family, uint16_t lo, uint16_t hi) {
    const uint16_t start = point_register(family, lo, ctx.model);
    const auto count = static_cast<uint16_t>(2 * (hi - lo) + 2);
    const std::vector<uint16_t> words = read_words(ctx.client, start, count);
    for (const uint16_t p : ctx.selection) {
        if (!in_family(p, family) || p < lo || p > hi) continue;
        const size_t k = p - lo;
        ctx.raw_values[p] = static_cast<int32_t>(low_word_first(words[2 * k], words[2 * k + 1]));
    }
}

void read_points_singly(ReadContext& ctx, const FamilyBlock& family) {
    for (const uint16_t p : ctx.selection) {
        if (!in_family(p, family)) continue;
        try {
            read_span(ctx, family, p, p);
        } catch (const std::exception& e) {
            if (ctx.client.broken()) throw;
            ctx.last_error = e.what();
            log_msg(LogLevel::Warning,
                    "Point " + hex4(p) + " not readable on this meter: " + ctx.last_error);
        }
    }
}

void read_family(ReadContext& ctx, const FamilyBlock& family) {
    uint16_t lo = 0xFFFF;
    uint16_t hi = 0;
    for (const uint16_t p : ctx.selection) {
        if (!in_family(p, family)) continue;
        if (p < lo) lo = p;
        if (p > hi) hi = p;
    }
    if (hi == 0) return;
    try {
        read_span(ctx, family, lo, hi);
    } catch (const std::exception& e) {
        if (ctx.client.broken()) throw;
        ctx.last_error = e.what();
        log_msg(LogLevel::Debug, std::string("Block ") + family.name + " span failed (" +
                                     ctx.last_error + "), reading points one by one");
        read_points_singly(ctx, family);
    }
}

void append_reading(std::string& doc, uint16_t p, const ColumnFormat& cf, int32_t raw) {
    doc += "{\"pid\":";
    doc += std::to_string(p);
    doc += ",\"name\":\"";
    append_json_escaped(doc, cf.name);
    doc += "\",\"value\":";
    doc += format_value(raw, cf);
    doc += ",\"unit\":\"";
    append_json_escaped(doc, cf.unit);
    doc += "\"}";
}

// Readings follow the selection, duplicates included; failed points are left out.
std::string readings_document(const ReadContext& ctx, const DataScales& scales, int& count) {
    std::string doc = "{" + doc_prefix(ctx.client.host(), ctx.model);
    doc += ",\"timestamp\":\"" + fmt_iso_utc_ns(platform::system_clock_ns());
    doc += "\",\"readings\":[";
    count = 0;
    for (const uint16_t p : ctx.selection) {
        const auto it = ctx.raw_values.find(p);
        if (it == ctx.raw_values.end()) continue;
        if (count > 0) doc += ',';
        append_reading(doc, p, resolve_column(p, count + 1, ctx.model, scales), it->second);
        ++count;
    }
    doc += "]}";
    return doc;
}

[[noreturn]] void throw_no_values(const std::string& reason) {
    throw std::runtime_error("No values could be read: " + reason);
}

// As every plain call does: the setup first, then the selection. A broken
// connection before any value came in is one more reason that nothing could
// be read, and is reported as such.
int read_setup_and_selection(ModbusTcpClient& client, MeterModel model,
                             const std::vector<uint16_t>& selection, char* out, int out_len) {
    DataScales scales;
    try {
        scales = read_data_scales(client, model);
    } catch (const std::runtime_error& e) {
        throw_no_values(e.what());
    }
    return read_selection(client, model, scales, selection, out, out_len);
}

}  // namespace

int read_selection(ModbusTcpClient& client, MeterModel model, const DataScales& scales,
                   const std::vector<uint16_t>& selection, char* out, int out_len) {
    ReadContext ctx{client, model, selection, {}, {}};
    try {
        for (const FamilyBlock& family : FAMILY_BLOCKS) read_family(ctx, family);
    } catch (const std::runtime_error& e) {
        if (!ctx.raw_values.empty()) throw;
        ctx.last_error = e.what();
    }
    if (ctx.raw_values.empty()) throw_no_values(ctx.last_error);
    int count = 0;
    const std::string doc = readings_document(ctx, scales, count);
    write_out(doc, out, out_len);
    return count;
}

// Each call checks its arguments and parses before it connects, in the order
// the interface fixes, so that a bad argument costs no connection.
int read_points_impl(const char* host, const char* meter, const char* options, const char* points,
                     char* out, int out_len) {
    std::vector<uint16_t> selection;
    const auto point_list = [&] { selection = required_point_list(points); };
    return with_meter({host, meter, options, {out, "out"}}, ParseOrder::ModelFirst, point_list,
                      [&](ModbusTcpClient& client, MeterModel model) {
                          return read_setup_and_selection(client, model, selection, out, out_len);
                      });
}

int read_live_ex_impl(const char* host, const char* meter, const char* options, char* out,
                      int out_len) {
    return with_meter({host, meter, options, {out, "out"}}, ParseOrder::OptionsFirst,
                      [&](ModbusTcpClient& client, MeterModel model) {
                          return read_setup_and_selection(client, model, live_points(model), out,
                                                          out_len);
                      });
}

int read_live_impl(const char* host, const char* meter, char* out, int out_len) {
    return read_live_ex_impl(host, meter, nullptr, out, out_len);
}

}  // namespace tandrel
