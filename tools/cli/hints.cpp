// The library's terse messages with common causes, and what to try for each.
#include "hints.h"

namespace tandrel_cli {
namespace {

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::string logs_command(const FailureContext& context) {
    return "`tandrel logs " + (context.address.empty() ? std::string("HOST") : context.address) +
           "`";
}

// A Modbus exception 2 (illegal address) on a log read is the meter saying
// that the file number does not exist. Elsewhere the registers asked for are
// ones every model has: the device is another kind, or a gateway has no such
// unit behind it.
std::string exception_2_hint(const FailureContext& context) {
    if (context.datalog > 0)
        return "this meter has no data log " + std::to_string(context.datalog) + "; " +
               logs_command(context) + " lists them";
    if (context.event_file > 0)
        return "this meter has no event log in file " + std::to_string(context.event_file) +
               "; " + logs_command(context) + " lists its logs";
    return "the device has no such register: is it an em133, em235 or pm335, and is the unit "
           "id right?";
}

// The two messages of model_check.cpp: a model that contradicts the meter's
// identity, and a model id no model of the tool has.
std::string model_hint(const std::string& message, const FailureContext& context) {
    bool unknown = message.find(", which is none of ") != std::string::npos;
    switch (context.model_setting) {
        case ModelSetting::MeterOption:
            return unknown ? "if it reads as one of them, name that model with --meter and add "
                             "--force-model"
                           : "leave out --meter to read it as the model it reports, or add "
                             "--force-model to read it as the one given";
        case ModelSetting::SiteFile:
            return unknown ? "if it reads as one of them, write that model and force-model on "
                             "its line of the site file"
                           : "leave the model out of its line of the site file to read it as the "
                             "model it reports, or add force-model to the line";
        case ModelSetting::Implied: return "add --force-model to read it anyway";
    }
    return "";
}

}  // namespace

FailureContext failure_context(const Target& target) {
    FailureContext context;
    context.address = target.address;
    context.meter = target.meter;
    context.timeout_option = true;
    return context;
}

std::string failure_hint(const std::string& message, const FailureContext& context) {
    if (starts_with(message, "Cannot connect to "))
        return "is the meter's Modbus TCP server on, and the port right?";
    if (starts_with(message, "Timed out connecting to "))
        return "nothing answered at that address: is it the meter's, and is the meter on?";
    // A read that times out and a connection the meter closes end the same way.
    if (message == "socket recv failed")
        return std::string("the meter stopped answering or closed the connection") +
               (context.timeout_option ? "; a slow meter or gateway may need a longer --timeout"
                                       : "");
    // `read` and `live` name the cause when no point at all could be read.
    if (message == "Modbus exception 2" || message == "No values could be read: Modbus exception 2")
        return exception_2_hint(context);
    if (starts_with(message, "the meter at ") && message.find(" reports model id ") != std::string::npos)
        return model_hint(message, context);
    if (starts_with(message, "Unknown point '"))
        return "see `tandrel points --meter " + (context.meter.empty() ? "MODEL" : context.meter) +
               "`";
    return "";
}

}  // namespace tandrel_cli
