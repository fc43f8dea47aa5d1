// Hints: which library messages get one, in the command line's words, and which do not.
#include "hints.h"

#include <gtest/gtest.h>

namespace tandrel_cli {
namespace {

struct HintCase {
    const char* message;
    int datalog;
    int event_file;
    bool timeout_option;
    const char* hint;
};

const HintCase HINT_CASES[] = {
    {"Cannot connect to 192.0.2.10:1502", 0, 0, true,
     "is the meter's Modbus TCP server on, and the port right?"},
    {"Timed out connecting to 192.0.2.10:1502", 0, 0, true,
     "nothing answered at that address: is it the meter's, and is the meter on?"},
    {"socket recv failed", 0, 0, true,
     "the meter stopped answering or closed the connection; a slow meter or gateway may need a "
     "longer --timeout"},
    {"socket recv failed", 0, 0, false, "the meter stopped answering or closed the connection"},
    {"Modbus exception 2", 9, 0, true,
     "this meter has no data log 9; `tandrel logs 192.0.2.10:1502` lists them"},
    {"Modbus exception 2", 0, 3, true,
     "this meter has no event log in file 3; `tandrel logs 192.0.2.10:1502` lists its logs"},
    {"Unknown point 'Nope'", 0, 0, true, "see `tandrel points --meter em133`"},
    // Elsewhere an exception 2 has no single cause; other messages speak for themselves.
    {"Modbus exception 2", 0, 0, true, ""},
    {"Modbus exception 3", 9, 0, true, ""},
    {"Cannot open CSV: /x.csv", 9, 0, true, ""},
    {"Cancelled by caller", 9, 0, true, ""},
    {"Cannot connect", 0, 0, true, ""},
};

TEST(FailureHint, Table) {
    for (const auto& c : HINT_CASES) {
        FailureContext context;
        context.address = "192.0.2.10:1502";
        context.meter = "em133";
        context.datalog = c.datalog;
        context.event_file = c.event_file;
        context.timeout_option = c.timeout_option;
        EXPECT_EQ(failure_hint(c.message, context), c.hint) << c.message;
    }
}

TEST(FailureHint, TakesTheAddressAndModelFromTheTarget) {
    Target target{"::1", "pm335", "{}", "[::1]:1502"};
    FailureContext context = failure_context(target);
    context.datalog = 2;
    EXPECT_EQ(failure_hint("Modbus exception 2", context),
              "this meter has no data log 2; `tandrel logs [::1]:1502` lists them");
    EXPECT_EQ(failure_hint("Unknown point 'x'", context), "see `tandrel points --meter pm335`");
}

}  // namespace
}  // namespace tandrel_cli
