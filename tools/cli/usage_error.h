// A command line that parsed but makes no sense (a bad HOST:PORT, two ports
// that disagree); main turns it into exit status 2 like CLI11's own errors.
#pragma once

#include <stdexcept>
#include <string>

namespace tandrel_cli {

class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tandrel_cli
