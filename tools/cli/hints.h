// A hint line after a library failure whose message is terse and whose cause
// is common, in the words of the command line. It is worked out from the
// message and what the command asked for alone, so a hint never costs a
// request to the meter; the library's message is printed first, unchanged.
#pragma once

#include <string>

#include "arguments.h"

namespace tandrel_cli {

// Where the model of a command came from, for the hint on a model mismatch.
enum class ModelSetting { MeterOption, SiteFile, Implied };

// What the failed command asked for.
struct FailureContext {
    std::string address;  // HOST or HOST:PORT as a command line names the meter; "" for none
    std::string meter;    // the model, for the point listing
    int datalog = 0;      // the data log number asked for; 0: none
    int event_file = 0;   // the event log's file number when another than 0 was asked for
    bool timeout_option = false;  // the command has --timeout
    ModelSetting model_setting = ModelSetting::MeterOption;
};

// The context of a command that talks to `target`.
FailureContext failure_context(const Target& target);

// The hint for `message`, or "" when there is none.
std::string failure_hint(const std::string& message, const FailureContext& context);

}  // namespace tandrel_cli
