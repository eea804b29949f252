#include <gtest/gtest.h>

#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/Utf8.h"

namespace folivex {
namespace {

TEST(Text, LowerCasingIsUnicodeAwareAndKeepsInvalidBytes) {
    EXPECT_EQ(ToLowerSystem("Index.HTML"), "index.html");
    EXPECT_EQ(ToLowerSystem("\xC3\x80\xC3\x89\xC3\x8E"), "\xC3\xA0\xC3\xA9\xC3\xAE");  // ÀÉÎ
    EXPECT_EQ(ToLowerSystem("\xCE\xA3\xCE\x91"), "\xCF\x83\xCE\xB1");                  // ΣΑ
    EXPECT_EQ(ToLowerSystem("\xD0\x96"), "\xD0\xB6");                                  // Ж
    // Not UTF-8: a Windows-1252 "É", an overlong "A", a lone continuation.
    EXPECT_EQ(ToLowerSystem("A\xC9Z"), "a\xC9z");
    EXPECT_EQ(ToLowerSystem("\xC1\x81"
                            "B"),
              "\xC1\x81"
              "b");
    EXPECT_EQ(ToLowerSystem("\x80X\xE2\x82"), "\x80x\xE2\x82");
    // An ASCII start, then letters that must be decoded to be lowered.
    EXPECT_EQ(ToLowerSystem("Sub\\\xC3\x89T\xC3\x89.HTM"), "sub\\\xC3\xA9t\xC3\xA9.htm");
    EXPECT_TRUE(EqualsNoCase("Guide\\\xC3\x89t\xC3\xA9.htm", "guide\\\xC3\xA9T\xC3\x89.HTM"));
    EXPECT_FALSE(EqualsNoCase("a.htm", "a.html"));
}

TEST(Utf8, TakesValidUtf8AsItIsAndAnythingElseAsWindows1252) {
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

TEST(Text, Utf16ToSystem) {
    const uint8_t units[] = {'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC};
    EXPECT_EQ(Utf16LeToSystem(units), "A\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD");
}

TEST(Text, PathHelpers) {
    EXPECT_EQ(JoinStoredPath("C:\\book", "a.htm"), "C:\\book\\a.htm");
    EXPECT_EQ(JoinStoredPath("C:\\", "a.htm"), "C:\\a.htm");
    EXPECT_EQ(JoinStoredPath("", "a.htm"), "a.htm");
    EXPECT_EQ(BaseNameWithoutExtension("/usr/bin/folivex"), "folivex");
    EXPECT_EQ(BaseNameWithoutExtension("C:\\x\\folivex.exe"), "folivex");
    EXPECT_EQ(BaseNameWithoutExtension(".profile"), ".profile");
    EXPECT_TRUE(EndsWithSeparator("C:\\"));
    EXPECT_FALSE(EndsWithSeparator(""));
}

}  // namespace
}  // namespace folivex
