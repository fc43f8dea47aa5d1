// The tool's JSON reader: numbers keep the library's digits, strings unescape.
#include "json.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tandrel_cli {
namespace {

const char* const MALFORMED[] = {
    "",         "{",          "{\"a\":}",   "{\"a\" 1}",  "[1,]",     "[1 2]",
    "\"open",   "{\"a\":1}x", "tru",        "-",          "\"\\q\"",  "\"\\u12\"",
    "{1:2}",    "[",          "{\"a\":1,}", "nul",
};

TEST(ParseJson, KeepsNumberTextAsWritten) {
    JsonValue doc = parse_json("{\"value\":230.50,\"neg\":-0.010,\"big\":4294967295}");
    EXPECT_EQ(doc["value"].str(), "230.50");
    EXPECT_EQ(doc["neg"].str(), "-0.010");
    EXPECT_EQ(doc["big"].str(), "4294967295");
    EXPECT_EQ(doc["value"].kind, JsonValue::Kind::Number);
}

TEST(ParseJson, UnescapesStrings) {
    JsonValue doc = parse_json(R"({"s":"a\"b\\c\/d\n\u0001\u00e9"})");
    EXPECT_EQ(doc["s"].str(), std::string("a\"b\\c/d\n\x01\xC3\xA9"));
}

TEST(ParseJson, ReadsNestedArraysAndObjectsInOrder) {
    JsonValue doc = parse_json(
        "{\"meter\":\"em235\",\"logs\":[{\"file_id\":0},{\"file_id\":1,\"columns\":[]}],"
        "\"ok\":true,\"no\":false,\"none\":null}");
    ASSERT_EQ(doc["logs"].items.size(), 2u);
    EXPECT_EQ(doc["logs"].items[1]["file_id"].str(), "1");
    EXPECT_TRUE(doc["logs"].items[1]["columns"].items.empty());
    EXPECT_EQ(doc["ok"].str(), "true");
    EXPECT_EQ(doc["no"].str(), "false");
    EXPECT_EQ(doc["none"].kind, JsonValue::Kind::Null);
    EXPECT_EQ(doc.members.front().first, "meter");
}

TEST(ParseJson, MissingMemberIsNull) {
    JsonValue doc = parse_json("{\"a\":1}");
    EXPECT_EQ(doc["b"].kind, JsonValue::Kind::Null);
    EXPECT_EQ(doc["b"]["c"].str(), "");
}

TEST(JsonInteger, OnlyWholeNumbersThatFitAnInt) {
    JsonValue doc = parse_json(
        "{\"a\":12,\"b\":-1,\"c\":1.5,\"d\":\"7\",\"e\":4294967296,\"f\":true}");
    EXPECT_EQ(doc["a"].integer(), 12);
    EXPECT_EQ(doc["b"].integer(0), -1);
    for (const char* key : {"c", "d", "e", "f", "missing"})
        EXPECT_EQ(doc[key].integer(-7), -7) << key;
}

TEST(ParseJson, RejectsMalformedText) {
    for (const char* text : MALFORMED) EXPECT_THROW(parse_json(text), std::runtime_error) << text;
}

TEST(ParseJson, RejectsNestingBeyondTheLimit) {
    std::string deep(200, '[');
    deep += std::string(200, ']');
    EXPECT_THROW(parse_json(deep), std::runtime_error);
}

}  // namespace
}  // namespace tandrel_cli
