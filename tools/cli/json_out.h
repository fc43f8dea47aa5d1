// The tool's own small JSON summaries (export results), escaped like the
// library's texts.
#pragma once

#include <string>

namespace tandrel_cli {

// The text between double quotes, with quotes, backslashes and control bytes escaped.
std::string json_string(const std::string& text);

}  // namespace tandrel_cli
