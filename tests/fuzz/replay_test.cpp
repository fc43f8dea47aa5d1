// Every corpus file through its harness, as an ordinary test: the inputs the
// fuzzers found interesting (and every past finding) stay checked in builds
// without libFuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "harnesses.h"

namespace fs = std::filesystem;
using tandrel::fuzz::HARNESSES;
using tandrel::fuzz::NamedHarness;

namespace {

std::vector<NamedHarness> all_harnesses() {
    std::vector<NamedHarness> list;
    for (const NamedHarness* h = HARNESSES; h->name != nullptr; ++h) list.push_back(*h);
    return list;
}

std::vector<std::uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FuzzReplay : public ::testing::TestWithParam<NamedHarness> {};

TEST_P(FuzzReplay, EveryCorpusInputKeepsTheInvariants) {
    const fs::path dir = fs::path(TANDREL_FUZZ_CORPUS_DIR) / GetParam().name;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int replayed = 0;
    tandrel::fuzz::call_outcomes() = {};
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        const std::vector<std::uint8_t> bytes = read_file(entry.path());
        SCOPED_TRACE(entry.path().string());
        EXPECT_EQ(GetParam().run(bytes.data(), bytes.size()), 0);
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

std::string harness_name(const ::testing::TestParamInfo<NamedHarness>& param_info) {
    return param_info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Harness, FuzzReplay, ::testing::ValuesIn(all_harnesses()), harness_name);

}  // namespace
