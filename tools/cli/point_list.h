// POINT arguments to the library's point list text. Numbers (4352, 0x1100)
// go as they are; anything else is a name and is quoted, so that
// `tandrel read HOST V1 "Total kW"` works without shell-level JSON quoting.
#pragma once

#include <string>
#include <vector>

namespace tandrel_cli {

std::string point_list_text(const std::vector<std::string>& points);

}  // namespace tandrel_cli
