// The meter's identification block and the device information document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/meter_model.h"
#include "meter/data_scales.h"

namespace tandrel {

class ModbusTcpClient;

// The 26 words from 0xB400; 32-bit values are low-order word first.
struct DeviceIdentity {
    uint32_t serial = 0;
    uint32_t model_id = 0;
    std::string model_name;
    uint32_t options = 0;
    uint16_t firmware_version = 0;
    uint16_t firmware_build = 0;
    uint16_t bootloader_version = 0;
    uint16_t bootloader_build = 0;
};

constexpr uint16_t IDENTITY_BLOCK = 0xB400;
constexpr uint16_t IDENTITY_WORDS = 26;

// words must hold IDENTITY_WORDS words.
DeviceIdentity decode_identity(const std::vector<uint16_t>& words);

// Sixteen characters, high byte first in each of the eight words.
std::string decode_model_name(const uint16_t* name_words);

// What the device information document tells: the identity, the setup that
// scales readings and the voltage transformer ratio.
struct DeviceInfo {
    DeviceIdentity identity;
    DataScales scales;
    double pt_ratio = 1.0;
};

// On a connected client: the identification block, the setup, then the
// ratio (optional: a meter without it is taken as wired directly).
DeviceInfo read_device_info(ModbusTcpClient& client, MeterModel model);

// The two halves of read_device_info, for a caller that learns the model
// from the identity in between: the identification block, then the setup
// and the ratio into info.
DeviceIdentity read_identity(ModbusTcpClient& client);
void read_setup(ModbusTcpClient& client, MeterModel model, DeviceInfo& info);

// The device information document of the meter at host.
std::string device_info_json(const std::string& host, MeterModel model, const DeviceInfo& info);

// The work behind tandrel_read_device_info: writes the document into out and
// returns its length.
int read_device_info_impl(const char* host, const char* meter, const char* options, char* out,
                          int out_len);

}  // namespace tandrel
