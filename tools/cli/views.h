// The library's JSON documents rendered as text for people. Each function
// takes a parsed document and returns the text to print; none does I/O.
#pragma once

#include <string>

#include "json_reader.h"

namespace tandrel_cli {

std::string device_info_text(const JsonValue& doc);
std::string point_listing_text(const JsonValue& doc);
std::string readings_text(const JsonValue& doc);
std::string log_directory_text(const JsonValue& doc);

// "V1 (V)", or the bare name when the unit is empty.
std::string name_with_unit(const std::string& name, const std::string& unit);

}  // namespace tandrel_cli
