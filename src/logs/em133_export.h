// One call that exports an em133's three data logs and its event log into a
// directory, optionally after setting the meter's clock from local time.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace tandrel {

namespace em133 {
constexpr uint16_t CLOCK_PARAM_REGISTER = 2575;  // 0x0A0F
constexpr uint16_t CLOCK_REGISTER = 4352;        // 0x1100, seven words
}  // namespace em133

// The work behind tandrel_export_em133_all; returns the records of all four files.
int export_em133_all_impl(const char* host, int set_clock, int clock_param, const char* out_dir);

// Seconds, minutes, hours, day, month, year - 2000, weekday (1 = Sunday).
std::vector<uint16_t> em133_clock_words(const std::tm& local);

// out_dir + "/EM133_" + log + "_" + stamp + ".csv"; the separator is always added.
std::string em133_file_name(const std::string& out_dir, const std::string& log,
                            const std::string& stamp);

}  // namespace tandrel
