// The call frame: statuses, messages and callback cancellation. The buffer
// rules are tested on the exported functions in tests/hardening (misuse).
#include "core/call_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/log_capture.h"

namespace tandrel {
namespace {

using testing::LogCapture;
using testing::Logged;
using Messages = std::vector<Logged>;

TEST(RunSafe, ReturnsTheWorkResultAndClearsTheErrorBuffer) {
    char err[16] = "stale";
    EXPECT_EQ(run_safe(err, sizeof err, [] { return 42; }), 42);
    EXPECT_STREQ(err, "");
}

TEST(RunSafe, RuntimeErrorBecomesMinusOneLoggedAtErrorAndCopied) {
    LogCapture log;
    char err[64];
    const int status = run_safe(err, sizeof err, []() -> int { throw std::runtime_error("boom"); });
    EXPECT_EQ(status, -1);
    EXPECT_STREQ(err, "boom");
    EXPECT_EQ(log.at_levels({0, 1, 2, 3}), (Messages{{0, "boom"}}));
}

TEST(RunSafe, CancelledBecomesMinusTwoWithoutLogging) {
    LogCapture log;
    char err[64];
    EXPECT_EQ(run_safe(err, sizeof err, []() -> int { throw Cancelled(); }), -2);
    EXPECT_STREQ(err, "Cancelled by caller");
    EXPECT_TRUE(log.at_levels({0, 1, 2, 3}).empty());
}

TEST(RunSafe, ForeignExceptionBecomesUnknownErrorWithoutLogging) {
    LogCapture log;
    char err[64];
    EXPECT_EQ(run_safe(err, sizeof err, []() -> int { throw 7; }), -1);
    EXPECT_STREQ(err, "Unknown error");
    EXPECT_TRUE(log.at_levels({0, 1, 2, 3}).empty());
}

TEST(RunSafe, NullErrorBufferStillReturnsStatusAndLogs) {
    LogCapture log;
    EXPECT_EQ(run_safe(nullptr, 0, []() -> int { throw std::runtime_error("x"); }), -1);
    EXPECT_EQ(log.at_levels({0}), (Messages{{0, "x"}}));
}

TEST(RunSafe, WithoutLogCallbackTheErrorBufferIsStillFilled) {
    set_log_callback(nullptr, nullptr);
    char err[8];
    EXPECT_EQ(run_safe(err, sizeof err, []() -> int { throw std::runtime_error("abc"); }), -1);
    EXPECT_STREQ(err, "abc");
}

int answer(const char*, void* user) { return *static_cast<int*>(user); }
int progress_answer(int, int, void* user) { return *static_cast<int*>(user); }

TEST(Callbacks, NonZeroAnswerCancelsZeroGoesOnNullIsIgnored) {
    for (int verdict : {0, 1, -1, 99}) {
        if (verdict == 0) {
            EXPECT_NO_THROW(deliver(answer, &verdict, "{}"));
            EXPECT_NO_THROW(report_progress(progress_answer, &verdict, 1, 2));
        } else {
            EXPECT_THROW(deliver(answer, &verdict, "{}"), Cancelled);
            EXPECT_THROW(report_progress(progress_answer, &verdict, 1, 2), Cancelled);
        }
    }
    EXPECT_NO_THROW(deliver(nullptr, nullptr, "{}"));
    EXPECT_NO_THROW(report_progress(nullptr, nullptr, 1, -1));
}

}  // namespace
}  // namespace tandrel
