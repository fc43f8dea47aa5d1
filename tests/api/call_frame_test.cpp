// The call frame and the boundary helpers: statuses, the error buffer, the
// output buffer rule and callback cancellation.
#include "api/call_frame.h"

#include <gtest/gtest.h>

#include <cstring>
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

struct SetErrorCase {
    int err_len;
    const char* expected;
};

TEST(SetError, CutsToTheBufferAndAlwaysTerminates) {
    const std::string message(40, 'm');
    const SetErrorCase cases[] = {
        {1, ""}, {2, "m"}, {16, "mmmmmmmmmmmmmmm"}, {41, "mmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmm"}};
    for (const auto& c : cases) {
        std::vector<char> buf(64, 'X');
        set_error(message, buf.data(), c.err_len);
        EXPECT_STREQ(buf.data(), c.expected) << "err_len " << c.err_len;
        EXPECT_EQ(buf[static_cast<size_t>(c.err_len)], 'X') << "wrote past err_len " << c.err_len;
    }
}

TEST(SetError, ZeroOrNegativeLengthWritesNothing) {
    char buf[4] = {'A', 'B', 'C', 'D'};
    set_error("zzz", buf, 0);
    set_error("zzz", buf, -5);
    EXPECT_EQ(std::memcmp(buf, "ABCD", 4), 0);
}

TEST(WriteOut, NeedsRoomForTheTerminator) {
    const std::string text = "0123456789";
    char out[32];
    std::memset(out, 'X', sizeof out);
    try {
        write_out(text, out, 10);
        FAIL() << "expected a too-small failure";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Output buffer too small: need 11 bytes");
    }
    EXPECT_EQ(out[0], 'X') << "a failed write_out must leave out untouched";
    EXPECT_EQ(write_out(text, out, 11), 10);
    EXPECT_STREQ(out, "0123456789");
}

TEST(WriteOut, NegativeLengthFailsInsteadOfCopying) {
    char out[4] = {'X', 'X', 'X', 'X'};
    EXPECT_THROW(write_out("ab", out, -1), std::runtime_error);
    EXPECT_EQ(out[0], 'X');
}

TEST(RequireNonNull, NamesTheArgument) {
    try {
        require_non_null(nullptr, "host");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "host must not be null");
    }
    EXPECT_NO_THROW(require_non_null("x", "host"));
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

TEST(Version, IsConstantText) {
    EXPECT_STREQ(tandrel_version(), "1.2.1");
    EXPECT_EQ(tandrel_version(), tandrel_version());
}

}  // namespace
}  // namespace tandrel
