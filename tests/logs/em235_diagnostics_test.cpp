#include "logs/em235_diagnostics.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tandrel {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(DiagnosticsValue, OnlyExactlyHiFirstMakesTheSecondWordHigh) {
    struct {
        const char* order;
        uint32_t value;
    } const cases[] = {
        {"HI_FIRST", 0x56781234u}, {"hi_first", 0x12345678u}, {"HI_FIRST ", 0x12345678u},
        {"LO_FIRST", 0x12345678u}, {"", 0x12345678u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(diagnostics_value(0x1234, 0x5678, c.order), c.value) << c.order;
    }
}

TEST(DiagnosticsCsv, WritesTheRawWordsValueAndEveryBitRow) {
    const std::vector<std::string> lines = lines_of(diagnostics_csv(0x0001, 0x0010, "HI_FIRST"));
    ASSERT_EQ(lines.size(), 30u);
    EXPECT_EQ(lines[0], "word0_hex,word1_hex,value_hex,word_order");
    EXPECT_EQ(lines[1], "0x1,0x10,0x100001,HI_FIRST");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "bit,label,state");
    EXPECT_EQ(lines[4], "0,Critical error,1");
    EXPECT_EQ(lines[5], "1,Permanent fault (critical error),0");
    EXPECT_EQ(lines[10], "6,,0");
    EXPECT_EQ(lines[24], "20,C Library error,1");
    EXPECT_EQ(lines[29], "25,IRIG-B time unlocked,0");
}

TEST(DiagnosticsCsv, PrintsUpperCaseHexWithoutLeadingZeros) {
    const std::vector<std::string> lines = lines_of(diagnostics_csv(0xABCD, 0x000F, "x"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "0xABCD,0xF,0xABCD000F,x");
    EXPECT_EQ(lines_of(diagnostics_csv(0, 0, "x"))[1], "0x0,0x0,0x0,x");
}

TEST(DiagnosticsCsv, StatesFollowTheBitsAndIgnoreBitsAboveTwentyFive) {
    // word0 0xFE00 as the high half sets bits 25 to 31 and nothing below.
    const std::vector<std::string> lines = lines_of(diagnostics_csv(0xFE00, 0x0000, "LO_FIRST"));
    ASSERT_EQ(lines.size(), 30u);
    for (int bit = 0; bit < 26; ++bit) {
        const std::string& row = lines[4 + bit];
        EXPECT_EQ(row.substr(0, row.find(',')), std::to_string(bit));
        EXPECT_EQ(row.back(), bit == 25 ? '1' : '0') << row;
    }
    const std::string text = diagnostics_csv(0, 0, "LO_FIRST");
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(BitLabels, LabelTwentyTwoBitsAndLeaveSixEighteenNineteenTwentyThreeOut) {
    const auto& labels = bit_labels();
    EXPECT_EQ(labels.size(), 22u);
    for (const int bit : {6, 18, 19, 23}) EXPECT_EQ(labels.count(bit), 0u) << bit;
    for (const auto& entry : labels) EXPECT_LE(entry.first, 25);
    EXPECT_EQ(labels.at(24), "IRIG-B signal lost");
    EXPECT_EQ(&labels, &bit_labels());
}

}  // namespace
}  // namespace tandrel
