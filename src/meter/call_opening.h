// The opening that every call reading a meter shares: its pointer arguments
// tested, its options text and model name parsed, in the order the call
// fixes, and then the connection its work runs on. A caller may rely on which
// error comes first, so the order is the call's, given here as a parameter.
#pragma once

#include <functional>
#include <utility>

#include "core/call_frame.h"
#include "core/meter_model.h"
#include "core/options.h"
#include "modbus/modbus_tcp_client.h"

namespace tandrel {

// What a call names its meter with, and the pointer of its own that it needs.
struct MeterArguments {
    const char* host;
    const char* meter;
    const char* options;
    NamedArgument required;  // "out", "cb" or "csv_path": tested right after host and meter
};

// Which of the two texts is parsed first; with both wrong, its error is the one.
enum class ParseOrder { OptionsFirst, ModelFirst };

struct MeterTarget {
    Options options;
    MeterModel model;
};

// Tests host, meter and the required pointer for null, in this order, then
// parses the two texts in the given order. own_checks, when set, runs right
// after the model name is parsed: the call's own arguments, checked before
// the options when the model comes first. Throws the first failure.
MeterTarget check_meter_call(const MeterArguments& args, ParseOrder order,
                             const std::function<void()>& own_checks = nullptr);

// The whole opening: the checks, then a connection on which
// work(client, model) runs. The connection is closed when work returns or
// throws; what work returns is the call's status.
template <typename Work>
int with_meter(const MeterArguments& args, ParseOrder order,
               const std::function<void()>& own_checks, Work&& work) {
    const MeterTarget target = check_meter_call(args, order, own_checks);
    ModbusTcpClient client(args.host, target.options);
    client.connect();
    return work(client, target.model);
}

template <typename Work>
int with_meter(const MeterArguments& args, ParseOrder order, Work&& work) {
    return with_meter(args, order, nullptr, std::forward<Work>(work));
}

}  // namespace tandrel
