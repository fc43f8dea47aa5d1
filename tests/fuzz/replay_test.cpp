// Every corpus file through its harness, as an ordinary test: the inputs the
// fuzzers found interesting (and every past finding) stay checked in builds
// without libFuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <vector>

#include "harnesses.h"
#include "support/temp_dir.h"

namespace {

using tandrel::fuzz::NamedHarness;

std::vector<NamedHarness> all_harnesses() {
    std::vector<NamedHarness> list;
    for (const NamedHarness* h = tandrel::fuzz::HARNESSES; h->name != nullptr; ++h) list.push_back(*h);
    return list;
}

class FuzzReplay : public ::testing::TestWithParam<NamedHarness> {};

TEST_P(FuzzReplay, EveryCorpusInputKeepsTheInvariants) {
    const std::filesystem::path dir = std::filesystem::path(TANDREL_FUZZ_CORPUS_DIR) / GetParam().name;
    int replayed = 0;
    tandrel::fuzz::call_outcomes() = {};
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string bytes = tandrel::testing::file_bytes(entry.path().string());
        SCOPED_TRACE(entry.path().string());
        GetParam().run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ++replayed;
    }
    EXPECT_GT(replayed, 0) << "empty corpus " << dir;
    if (GetParam().calls_meter) {
        // Both ends must be reached: a fake meter that failed every call (or
        // a corpus of only failures) would pass the invariants while testing
        // no decoder.
        const tandrel::fuzz::CallOutcomes o = tandrel::fuzz::call_outcomes();
        std::cout << GetParam().name << ": " << o.succeeded << " calls succeeded, " << o.failed
                  << " failed\n";
        EXPECT_GT(o.succeeded, 0);
        EXPECT_GT(o.failed, 0);
    }
}

std::string harness_name(const ::testing::TestParamInfo<NamedHarness>& harness) {
    return harness.param.name;
}

INSTANTIATE_TEST_SUITE_P(Harness, FuzzReplay, ::testing::ValuesIn(all_harnesses()), harness_name);

}  // namespace
