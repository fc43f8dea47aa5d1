// Every corpus file through its harness, as an ordinary test: the inputs the
// fuzzers found interesting (and every past finding) stay checked in builds
// without libFuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "harnesses.h"
#include "support/temp_dir.h"

namespace tandrel::fuzz {
// The test's parameter in ctest's output: the harness, not its bytes.
void PrintTo(const NamedHarness& harness, std::ostream* os) { *os << harness.name; }
}  // namespace tandrel::fuzz

namespace {

using tandrel::fuzz::NamedHarness;

class FuzzReplay : public ::testing::TestWithParam<NamedHarness> {};

TEST_P(FuzzReplay, EveryCorpusInputKeepsTheInvariants) {
    const std::filesystem::path dir = std::filesystem::path(TANDREL_FUZZ_CORPUS_DIR) / GetParam().name;
    EXPECT_FALSE(std::filesystem::is_empty(dir)) << "empty corpus " << dir;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string bytes = tandrel::testing::file_bytes(entry.path().string());
        SCOPED_TRACE(entry.path().string());
        GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}

std::string harness_name(const ::testing::TestParamInfo<NamedHarness>& harness) {
    return harness.param.name;
}

INSTANTIATE_TEST_SUITE_P(Harness, FuzzReplay, ::testing::ValuesIn(tandrel::fuzz::HARNESSES), harness_name);

}  // namespace
