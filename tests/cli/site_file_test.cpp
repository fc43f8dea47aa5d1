// Site files: meters with their defaults, one message per malformed line, folder names.
#include "site_file.h"

#include <gtest/gtest.h>

namespace tandrel_cli {
namespace {

struct MeterCase {
    const char* line;
    const char* host;
    int port;
    const char* model;
    int unit;
};

const MeterCase METER_CASES[] = {
    {"192.0.2.10", "192.0.2.10", 502, "em235", 1},
    {"  meter7:1502\tEM133  ", "meter7", 1502, "em133", 1},
    {"[::1]:1502 pm335 0 # gateway", "::1", 1502, "pm335", 0},
    {"h em235 255#no blank before the comment", "h", 502, "em235", 255},
};

struct ErrorCase {
    const char* line;
    const char* message;
};

const ErrorCase ERROR_CASES[] = {
    {"h:0", "bad port in 'h:0' (expected 1-65535)"},
    {"[::1", "missing ']' in '[::1'"},
    {"h 3", "unknown model '3' (expected em133, em235 or pm335 before the unit id)"},
    {"h em133 256", "bad unit id '256' (expected 0-255)"},
    {"h em133 -1", "bad unit id '-1' (expected 0-255)"},
    {"h em133 1 x", "unexpected 'x' after the unit id"},
};

TEST(ParseSiteFile, ReadsEachMeterWithItsDefaults) {
    for (const auto& c : METER_CASES) {
        SiteFile site = parse_site_file(std::string("# site\n\n") + c.line + "\n");
        ASSERT_TRUE(site.errors.empty()) << c.line << ": " << site.errors[0].message;
        ASSERT_EQ(site.meters.size(), 1u) << c.line;
        const SiteMeter& meter = site.meters[0];
        EXPECT_EQ(meter.host, c.host) << c.line;
        EXPECT_EQ(meter.port, c.port) << c.line;
        EXPECT_EQ(meter.model, c.model) << c.line;
        EXPECT_EQ(meter.unit, c.unit) << c.line;
        EXPECT_EQ(meter.line, 3) << c.line;
    }
}

TEST(ParseSiteFile, NamesEveryMalformedLine) {
    for (const auto& c : ERROR_CASES) {
        SiteFile site = parse_site_file(std::string("good\n") + c.line + "\nalso.good\n");
        ASSERT_EQ(site.errors.size(), 1u) << c.line;
        EXPECT_EQ(site.errors[0].line, 2) << c.line;
        EXPECT_EQ(site.errors[0].message, c.message);
    }
}

TEST(ParseSiteFile, RefusesTheSameMeterTwiceAndAnEmptySite) {
    SiteFile twice = parse_site_file("h\nh:502 em133 1\nh em235 2\n");
    ASSERT_EQ(twice.errors.size(), 1u);
    EXPECT_EQ(twice.errors[0].line, 2);
    EXPECT_EQ(twice.errors[0].message, "the same meter as line 1");
    SiteFile empty = parse_site_file("# nothing yet\n\n");
    ASSERT_EQ(empty.errors.size(), 1u);
    EXPECT_EQ(empty.errors[0].line, 0);
}

TEST(MeterDirName, HostPortUnitWithFileNameSafeCharacters) {
    SiteMeter meter;
    meter.host = "192.0.2.10";
    EXPECT_EQ(meter_dir_name(meter), "192.0.2.10_502_1");
    EXPECT_EQ(meter_endpoint(meter), "192.0.2.10:502");
    meter.host = "fe80::1";
    meter.port = 1502;
    meter.unit = 7;
    EXPECT_EQ(meter_dir_name(meter), "fe80--1_1502_7");
    EXPECT_EQ(meter_endpoint(meter), "[fe80::1]:1502");
}

}  // namespace
}  // namespace tandrel_cli
