// The call frame: statuses, messages, the error log and callback
// cancellation. The buffer rules are tested on the exported functions in
// tests/hardening (misuse); callbacks that go on, and null ones, in every
// call of tests/integration.
#include "core/call_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_capture.h"

namespace tandrel {
namespace {

using testing::LogCapture;
using testing::Logged;

int success() { return 42; }
int failure() { throw std::runtime_error("boom"); }
int foreign_failure() { throw 7; }
int refuse_output(const char*, void*) { return -1; }
int refuse_progress(int, int, void*) { return 1; }
int output_refused() { return deliver(refuse_output, nullptr, "{}"), 0; }
int progress_refused() { return report_progress(refuse_progress, nullptr, 1, 2), 0; }

struct FrameCase {
    int (*work)();
    int status;
    const char* err;
    std::vector<Logged> logged;  // only the work's own failure is logged, at error level
};

TEST(RunSafe, TurnsEachOutcomeIntoItsStatusMessageAndLog) {
    const FrameCase cases[] = {
        {success, 42, "", {}},
        {failure, -1, "boom", {{0, "boom"}}},
        {foreign_failure, -1, "Unknown error", {}},
        {output_refused, -2, "Cancelled by caller", {}},
        {progress_refused, -2, "Cancelled by caller", {}},
    };
    for (const FrameCase& c : cases) {
        LogCapture log;
        char err[32] = "stale";
        EXPECT_EQ(run_safe(err, sizeof err, c.work), c.status);
        EXPECT_STREQ(err, c.err);
        EXPECT_EQ(log.at_levels({0, 1, 2, 3}), c.logged) << c.err;
        EXPECT_EQ(run_safe(nullptr, sizeof err, c.work), c.status);  // no buffer to fill
    }
}

}  // namespace
}  // namespace tandrel
