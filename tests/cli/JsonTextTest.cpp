#include <gtest/gtest.h>

#include "cli/JsonText.h"

namespace folivex::cli {
namespace {

TEST(JsonText, EscapesWhatJsonRequires) {
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("l1\r\nl2\t\x01\x7F"), "\"l1\\r\\nl2\\t\\u0001\\u007F\"");
    EXPECT_EQ(JsonString(std::string("nul\0end", 7)), "\"nul\\u0000end\"");
    EXPECT_EQ(JsonString(""), "\"\"");
}

TEST(JsonText, Utf8IsKeptAndOtherTextIsReadAsWindows1252) {
    EXPECT_EQ(JsonString("caf\xC3\xA9 \xE2\x82\xAC"), "\"caf\xC3\xA9 \xE2\x82\xAC\"");
    EXPECT_EQ(JsonString("\xC2\x85"), "\"\\u0085\"");  // a C1 control in UTF-8
    // Not UTF-8: the whole text is Windows-1252.
    EXPECT_EQ(JsonString("caf\xE9 \x80 \x93"
                         "a\x94"),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9C"
              "a\xE2\x80\x9D\"");
    EXPECT_EQ(JsonString("\x81\xFF"), "\"\\u0081\xC3\xBF\"");
}

}  // namespace
}  // namespace folivex::cli
