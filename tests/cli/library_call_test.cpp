// Status handling: buffer growth on "Output buffer too small", exit codes, log lines.
#include "library_call.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tandrel_cli {
namespace {

// A stand-in for a document call that needs `size` bytes with its NUL.
int fake_document(const std::string& doc, char* out, int out_len, char* err, int err_len,
                  int& calls) {
    ++calls;
    int need = static_cast<int>(doc.size()) + 1;
    if (out_len < need) {
        std::snprintf(err, err_len, "Output buffer too small: need %d bytes", need);
        return -1;
    }
    std::memcpy(out, doc.c_str(), need);
    return static_cast<int>(doc.size());
}

TEST(NeededSize, ReadsOnlyTheLibrarysMessage) {
    EXPECT_EQ(needed_size("Output buffer too small: need 300000 bytes"), 300000);
    EXPECT_EQ(needed_size("Output buffer too small: need x bytes"), -1);
    EXPECT_EQ(needed_size("Connection refused"), -1);
    EXPECT_EQ(needed_size(""), -1);
}

TEST(FetchDocument, RetriesOnceWithTheSizeAsked) {
    std::string big(600000, 'x');
    int calls = 0;
    CallResult result = fetch_document([&](char* out, int out_len, char* err, int err_len) {
        return fake_document(big, out, out_len, err, err_len, calls);
    });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(result.status, 600000);
    EXPECT_EQ(result.text, big);
}

TEST(FetchDocument, PassesOtherFailuresThrough) {
    int calls = 0;
    CallResult result = fetch_document([&](char*, int, char* err, int err_len) {
        ++calls;
        std::snprintf(err, err_len, "Connection refused");
        return -1;
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result.status, -1);
    EXPECT_EQ(result.error, "Connection refused");
}

TEST(ExitCodeForStatus, MapsEachStatusKind) {
    EXPECT_EQ(exit_code_for_status(0), EXIT_OK);
    EXPECT_EQ(exit_code_for_status(26), EXIT_OK);
    EXPECT_EQ(exit_code_for_status(-1), EXIT_FAILED);
    EXPECT_EQ(exit_code_for_status(-2), EXIT_CANCELLED);
}

TEST(LogLine, NamesTheLevel) {
    EXPECT_EQ(log_line(0, "x"), "[error] x\n");
    EXPECT_EQ(log_line(1, "x"), "[warning] x\n");
    EXPECT_EQ(log_line(2, "x"), "[info] x\n");
    EXPECT_EQ(log_line(3, "Connected to h:502"), "[debug] Connected to h:502\n");
    EXPECT_EQ(log_line(3, nullptr), "[debug] \n");
}

}  // namespace
}  // namespace tandrel_cli
