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
// that the file number does not exist; elsewhere it may mean anything.
std::string missing_log_hint(const FailureContext& context) {
    if (context.datalog > 0)
        return "this meter has no data log " + std::to_string(context.datalog) + "; " +
               logs_command(context) + " lists them";
    if (context.event_file > 0)
        return "this meter has no event log in file " + std::to_string(context.event_file) +
               "; " + logs_command(context) + " lists its logs";
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
    if (message == "Modbus exception 2") return missing_log_hint(context);
    if (starts_with(message, "Unknown point '"))
        return "see `tandrel points --meter " + (context.meter.empty() ? "MODEL" : context.meter) +
               "`";
    return "";
}

}  // namespace tandrel_cli
