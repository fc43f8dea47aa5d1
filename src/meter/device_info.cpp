// Device information: the identification block, the setup that scales
// readings and the voltage transformer ratio, as one JSON document.
#include "meter/device_info.h"

#include <charconv>

#include "core/call_frame.h"
#include "core/json_text.h"
#include "core/meter_model.h"
#include "meter/call_opening.h"
#include "meter/data_scales.h"
#include "meter/model_profile.h"
#include "modbus/modbus_tcp_client.h"
#include "modbus/word_pair.h"

namespace tandrel {
namespace {

uint32_t word_pair(const std::vector<uint16_t>& w, size_t low) {
    return low_word_first(w[low], w[low + 1]);
}

// Printable in the classic "C" sense, whatever locale the host has set.
bool printable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }

// The ratio is optional: a meter without the register is taken as direct.
double read_pt_ratio(ModbusTcpClient& client, MeterModel model) {
    const uint16_t address = model_profile(model).setup.pt_ratio;
    double ratio = 1.0;
    read_optional(client, [&] { ratio = read_words(client, address, 1)[0] * 0.1; });
    return ratio;
}

std::string one_decimal(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 1);
    return std::string(buf, r.ptr);
}

}  // namespace

std::string decode_model_name(const uint16_t* name_words) {
    std::string name;
    for (int i = 0; i < 16; ++i) {
        const uint16_t word = name_words[i / 2];
        const auto c = static_cast<unsigned char>(i % 2 == 0 ? word >> 8 : word & 0xFF);
        if (c == 0) return name;
        if (printable(c)) name += static_cast<char>(c);
    }
    // Only a name that fills all sixteen bytes is padded with blanks.
    const size_t end = name.find_last_not_of(' ');
    name.erase(end == std::string::npos ? 0 : end + 1);
    return name;
}

DeviceIdentity decode_identity(const std::vector<uint16_t>& words) {
    DeviceIdentity id;
    id.serial = word_pair(words, 0);
    id.model_id = word_pair(words, 2);
    id.model_name = decode_model_name(&words[4]);
    id.options = word_pair(words, 12);
    id.firmware_version = words[20];
    id.firmware_build = words[21];
    id.bootloader_version = words[24];
    id.bootloader_build = words[25];
    return id;
}

DeviceIdentity read_identity(ModbusTcpClient& client) {
    return decode_identity(read_words(client, IDENTITY_BLOCK, IDENTITY_WORDS));
}

void read_setup(ModbusTcpClient& client, MeterModel model, DeviceInfo& info) {
    info.scales = read_data_scales(client, model);
    info.pt_ratio = read_pt_ratio(client, model);
}

DeviceInfo read_device_info(ModbusTcpClient& client, MeterModel model) {
    DeviceInfo info;
    info.identity = read_identity(client);
    read_setup(client, model, info);
    return info;
}

std::string device_info_json(const std::string& host, MeterModel model, const DeviceInfo& info) {
    const DeviceIdentity& id = info.identity;
    std::string doc = "{" + doc_prefix(host, model);
    doc += ",\"model_name\":\"" + json_escape(id.model_name) + "\"";
    doc += ",\"model_id\":" + std::to_string(id.model_id);
    doc += ",\"serial\":" + std::to_string(id.serial);
    doc += ",\"options\":" + std::to_string(id.options);
    doc += ",\"firmware\":{\"version\":" + std::to_string(id.firmware_version);
    doc += ",\"build\":" + std::to_string(id.firmware_build) + "}";
    doc += ",\"bootloader\":{\"version\":" + std::to_string(id.bootloader_version);
    doc += ",\"build\":" + std::to_string(id.bootloader_build) + "}";
    doc += ",\"setup\":{\"pt_ratio\":" + one_decimal(info.pt_ratio);
    doc += ",\"energy_decimals\":" + std::to_string(info.scales.energy_decimals);
    doc += ",\"high_resolution\":";
    doc += info.scales.current_decimals > 0 ? "true" : "false";
    doc += "}}";
    return doc;
}

int read_device_info_impl(const char* host, const char* meter, const char* options, char* out,
                          int out_len) {
    return with_meter({host, meter, options, {out, "out"}}, ParseOrder::OptionsFirst,
                      [&](ModbusTcpClient& client, MeterModel model) {
                          const DeviceInfo info = read_device_info(client, model);
                          return write_out(device_info_json(host, model, info), out, out_len);
                      });
}

}  // namespace tandrel
