// Page text for the search and the titles: what is text, what is markup,
// and how 8-bit pages are read.
#include <gtest/gtest.h>

#include "viewer/server/HtmlText.h"
#include "viewer/server/TextDecode.h"
#include "viewer/server/Words.h"

namespace folivex::text {
namespace {

std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> out;
    ForEachWord(s, [&](std::string_view w, size_t, size_t) {
        out.emplace_back(w);
        return true;
    });
    return out;
}

TEST(HtmlText, KeepsTextAndDropsMarkupScriptsStylesAndComments) {
    PageText p = ExtractPageText(
        "<html><head><title> The  Title </title><style>p{color:red}</style>"
        "<script>var hidden = '<p>no</p>';</script></head><body><!-- a <b>comment</b> -->"
        "<p class=\"x>y\">One<br>two</p><P>H<sub>2</sub>O &amp; caf&eacute; &#233;t&#xE9; &#150; "
        "&nbsp;x"
        "<noscript>fallback</noscript> a < b</body>");
    EXPECT_EQ(p.title, "The Title");
    EXPECT_EQ(p.text, "One two H2O & café été \u2013 x a < b");
}

TEST(HtmlText, TitleFallsBackToTheFirstHeading) {
    EXPECT_EQ(ExtractTitle("<title>T</title><h1>H</h1>"), "T");
    EXPECT_EQ(ExtractTitle("<title>  </title><body><h2>Sub <i>heading</i></h2><h1>Later</h1>"),
              "Sub heading");
    EXPECT_EQ(ExtractTitle("<p>no title here</p>"), "");
    EXPECT_EQ(ExtractTitle("<title>cut off"), "cut off");
    PageText p = ExtractPageText("<h3>Unclosed heading");
    EXPECT_EQ(p.heading, "Unclosed heading");
}

TEST(HtmlText, SurvivesBrokenMarkup) {
    for (std::string_view html : {"<", "<a", "<a href=\"", "<!--", "<script>", "&", "&#", "&#x;",
                                  "</", "<title>", "&#99999999999;", "<h1><h1><h1>"}) {
        PageText p = ExtractPageText(html);
        EXPECT_TRUE(IsValidUtf8(p.text)) << html;
    }
}

TEST(TextDecode, TakesValidUtf8AsItIsAndAnythingElseAsWindows1252) {
    EXPECT_EQ(ToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToUtf8("caf\xE9 \x93quoted\x94 \x80"), "café \u201cquoted\u201d \u20ac");
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(IsValidUtf8("abc\xE2\x82"));   // cut short
    EXPECT_EQ(TrimPartialUtf8("abc\xE2\x82"), "abc");
    EXPECT_EQ(TrimPartialUtf8("abc\xE2\x82\xAC"), "abc\xE2\x82\xAC");
    std::string ansi;
    EXPECT_TRUE(Utf8ToWindows1252("caf\xC3\xA9 \xE2\x82\xAC", ansi));
    EXPECT_EQ(ansi, "caf\xE9 \x80");
    EXPECT_FALSE(Utf8ToWindows1252("\xD0\x96", ansi));  // Cyrillic has no place there
}

TEST(Words, SplitsAndFoldsLatinGreekAndCyrillic) {
    EXPECT_EQ(Words("Hello, WORLD! It's 2024."),
              (std::vector<std::string>{"hello", "world", "it", "s", "2024"}));
    EXPECT_EQ(Words("ÉCOLE Straße ŁÓDŹ"), (std::vector<std::string>{"école", "straße", "łódź"}));
    EXPECT_EQ(Words("ΟΔΥΣΣΕΥΣ Όμηρος"), (std::vector<std::string>{"οδυσσευσ", "όμηροσ"}));
    EXPECT_EQ(Words("МОСКВА Ёлка"), (std::vector<std::string>{"москва", "ёлка"}));
    EXPECT_EQ(Words("a\u2014b \u00ABc\u00BB"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(Words(std::string(200, 'x')).empty());  // too long to be a word
}

}  // namespace
}  // namespace folivex::text
