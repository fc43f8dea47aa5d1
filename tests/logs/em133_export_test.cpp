// The clock words are checked against the local time on the wire in
// tests/integration (em133 export); here the file names.
#include "logs/em133_export.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

TEST(Em133FileName, AlwaysInsertsTheSeparator) {
    EXPECT_EQ(em133_file_name("C:/logs", "DL1", "20261205_134207_123"),
              "C:/logs/EM133_DL1_20261205_134207_123.csv");
    EXPECT_EQ(em133_file_name("out/", "EVENTLOG", "20261205_134207_123"),
              "out//EM133_EVENTLOG_20261205_134207_123.csv");
    EXPECT_EQ(em133_file_name("", "DL3", "s"), "/EM133_DL3_s.csv");
}

}  // namespace
}  // namespace tandrel
