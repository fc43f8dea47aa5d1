// The checks of a call's opening, in the call's order.
#include "meter/call_opening.h"

namespace tandrel {

MeterTarget check_meter_call(const MeterArguments& args, ParseOrder order,
                             const std::function<void()>& own_checks) {
    require_non_null({{args.host, "host"}, {args.meter, "meter"}, args.required});
    MeterTarget target{};
    const auto parse_model = [&] {
        target.model = parse_meter(args.meter);
        if (own_checks) own_checks();
    };
    if (order == ParseOrder::ModelFirst) parse_model();
    target.options = parse_options(args.options);
    if (order == ParseOrder::OptionsFirst) parse_model();
    return target;
}

}  // namespace tandrel
