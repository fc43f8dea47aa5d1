// HOST:PORT splitting, the options text built from the command line, and
// POINT arguments: numbers bare, names quoted with quotes and backslashes escaped.
#include "arguments.h"

#include <gtest/gtest.h>

namespace tandrel_cli {
namespace {

struct SplitCase {
    const char* text;
    const char* host;
    int port;
};

const SplitCase SPLIT_CASES[] = {
    {"meter7", "meter7", 0},
    {"192.0.2.10:1502", "192.0.2.10", 1502},
    {"localhost:1", "localhost", 1},
    {"h:65535", "h", 65535},
    {"[::1]:1502", "::1", 1502},
    {"[::1]", "::1", 0},
    {"fe80::1", "fe80::1", 0},  // a bare IPv6 address carries no port
};

const char* const BAD_ENDPOINTS[] = {"", ":502", "h:", "h:0", "h:65536", "h:12a", "h:-1",
                                     "[::1", "[::1]x", "[]:502", "h: 502"};

TEST(SplitHostPort, SeparatesHostAndPort) {
    for (const auto& c : SPLIT_CASES) {
        Endpoint endpoint = split_host_port(c.text);
        EXPECT_EQ(endpoint.host, c.host) << c.text;
        EXPECT_EQ(endpoint.port, c.port) << c.text;
    }
}

TEST(SplitHostPort, RejectsMalformedEndpoints) {
    for (const char* text : BAD_ENDPOINTS) EXPECT_THROW(split_host_port(text), UsageError) << text;
}

TEST(OptionsText, HoldsOnlyWhatWasGiven) {
    EXPECT_EQ(options_text(0, -1, 0), "{}");
    EXPECT_EQ(options_text(1502, -1, 0), "{\"port\":1502}");
    EXPECT_EQ(options_text(0, 0, 0), "{\"unit_id\":0}");
    EXPECT_EQ(options_text(1502, 3, 5000), "{\"port\":1502,\"unit_id\":3,\"timeout_ms\":5000}");
}

TEST(ResolveTarget, TakesThePortFromEitherPlace) {
    ConnectionArgs args;
    args.host = "h:1502";
    EXPECT_EQ(resolve_target(args).options, "{\"port\":1502}");
    args.port = 1502;  // the same port twice is no contradiction
    EXPECT_EQ(resolve_target(args).host, "h");
    args.host = "h";
    args.timeout_s = 2.5;
    EXPECT_EQ(resolve_target(args).options, "{\"port\":1502,\"timeout_ms\":2500}");
}

TEST(ResolveTarget, NamesTheMeterAsACommandLineWould) {
    ConnectionArgs args;
    args.host = "[::1]:1502";
    EXPECT_EQ(resolve_target(args).address, "[::1]:1502");
    args.host = "h";
    EXPECT_EQ(resolve_target(args).address, "h");
    args.port = 1502;
    EXPECT_EQ(resolve_target(args).address, "h:1502");
}

TEST(ResolveTarget, RefusesContradictingPorts) {
    ConnectionArgs args;
    args.host = "h:1502";
    args.port = 502;
    EXPECT_THROW(resolve_target(args), UsageError);
}

struct ListCase {
    std::vector<std::string> points;
    const char* text;
};

const ListCase LIST_CASES[] = {
    {{"4352"}, "4352"},
    {{"0x1100", "0X1a"}, "0x1100,0X1a"},
    {{"V1", "Total kW"}, "\"V1\",\"Total kW\""},
    {{"-1", "+7"}, "-1,+7"},  // the library reports the range error in its own words
    {{"0x", "12a", "1 2"}, "\"0x\",\"12a\",\"1 2\""},
    {{"a\"b", "c\\d"}, "\"a\\\"b\",\"c\\\\d\""},
    {{"[", "]", ","}, "\"[\",\"]\",\",\""},
};

TEST(PointListText, QuotesEverythingThatIsNotANumber) {
    for (const auto& c : LIST_CASES) EXPECT_EQ(point_list_text(c.points), c.text) << c.text;
}

}  // namespace
}  // namespace tandrel_cli
