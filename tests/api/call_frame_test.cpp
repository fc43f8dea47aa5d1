// The call frame: statuses, messages and callback cancellation. The buffer
// rules are tested on the exported functions in tests/hardening (misuse).
#include "api/call_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tandrel {
namespace {

struct Captured {
    std::vector<std::pair<int, std::string>> messages;
};

void capture(int level, const char* message, void* user) {
    static_cast<Captured*>(user)->messages.emplace_back(level, message);
}

class LogCapture {
public:
    LogCapture() { set_log_callback(capture, &captured); }
    ~LogCapture() { set_log_callback(nullptr, nullptr); }
    Captured captured;
};

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
    ASSERT_EQ(log.captured.messages.size(), 1u);
    EXPECT_EQ(log.captured.messages[0].first, 0);
    EXPECT_EQ(log.captured.messages[0].second, "boom");
}

TEST(RunSafe, CancelledBecomesMinusTwoWithoutLogging) {
    LogCapture log;
    char err[64];
    EXPECT_EQ(run_safe(err, sizeof err, []() -> int { throw Cancelled(); }), -2);
    EXPECT_STREQ(err, "Cancelled by caller");
    EXPECT_TRUE(log.captured.messages.empty());
}

TEST(RunSafe, ForeignExceptionBecomesUnknownErrorWithoutLogging) {
    LogCapture log;
    char err[64];
    EXPECT_EQ(run_safe(err, sizeof err, []() -> int { throw 7; }), -1);
    EXPECT_STREQ(err, "Unknown error");
    EXPECT_TRUE(log.captured.messages.empty());
}

TEST(RunSafe, NullErrorBufferStillReturnsStatusAndLogs) {
    LogCapture log;
    EXPECT_EQ(run_safe(nullptr, 0, []() -> int { throw std::runtime_error("x"); }), -1);
    EXPECT_EQ(log.captured.messages.size(), 1u);
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
