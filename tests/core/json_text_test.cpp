// JSON string escaping and the document prefix.
#include "core/json_text.h"

#include <gtest/gtest.h>

namespace tandrel {
namespace {

struct EscapeCase {
    std::string input;
    std::string expected;
};

TEST(JsonEscape, EscapesExactlyTheControlBytesQuoteAndBackslash) {
    const EscapeCase cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a\"b\\c", "a\\\"b\\\\c"},
        {"\n\r\t", "\\n\\r\\t"},
        {std::string("\x01", 1), "\\u0001"},
        {std::string("\x08\x0c\x1b\x1f", 4), "\\u0008\\u000c\\u001b\\u001f"},
        {std::string("\0", 1), "\\u0000"},
        {"/", "/"},
        {"\x7f", "\x7f"},
        {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
    };
    for (const auto& c : cases) EXPECT_EQ(json_escape(c.input), c.expected);
}

TEST(DocPrefix, NamesModelAndEscapedHost) {
    EXPECT_EQ(doc_prefix("meter7", MeterModel::EM235), R"("meter":"em235","host":"meter7")");
    EXPECT_EQ(doc_prefix("a\"b\\", MeterModel::EM133), R"("meter":"em133","host":"a\"b\\")");
    EXPECT_EQ(doc_prefix(std::string("\x01", 1), MeterModel::EM133),
              R"("meter":"em133","host":"\u0001")");
}

}  // namespace
}  // namespace tandrel
