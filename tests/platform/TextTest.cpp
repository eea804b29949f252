#include <gtest/gtest.h>

#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/Utf8.h"

namespace folivex {
namespace {

// This file is compiled into the Linux suite and into the Windows one
// (tests/windows, run under wine64): both systems must lower names alike.

TEST(Text, LowerCasingIsUnicodeAwareAndReadsOtherBytesAsWindows1252) {
    EXPECT_EQ(ToLowerSystem("Index.HTML"), "index.html");
    EXPECT_EQ(ToLowerSystem("\xC3\x80\xC3\x89\xC3\x8E"), "\xC3\xA0\xC3\xA9\xC3\xAE");  // ÀÉÎ
    EXPECT_EQ(ToLowerSystem("\xCE\xA3\xCE\x91"), "\xCF\x83\xCE\xB1");                  // ΣΑ
    EXPECT_EQ(ToLowerSystem("\xD0\x96"), "\xD0\xB6");                                  // Ж
    // Not UTF-8: a Windows-1252 "É", an overlong "A", a lone continuation,
    // a cut sequence. The whole name is then read as Windows-1252.
    EXPECT_EQ(ToLowerSystem("A\xC9Z"), "a\xC3\xA9z");
    EXPECT_EQ(ToLowerSystem("\xC1\x81"
                            "B"),
              "\xC3\xA1\xC2\x81"
              "b");
    EXPECT_EQ(ToLowerSystem("\x80X\xE2\x82"), "\xE2\x82\xACx\xC3\xA2\xE2\x80\x9A");
    // An ASCII start, then letters that must be decoded to be lowered.
    EXPECT_EQ(ToLowerSystem("Sub\\\xC3\x89T\xC3\x89.HTM"), "sub\\\xC3\xA9t\xC3\xA9.htm");
    // Lowering may change a name's length in bytes.
    EXPECT_EQ(ToLowerSystem("\xE2\x84\xAA.htm"), "k.htm");             // Kelvin sign
    EXPECT_EQ(ToLowerSystem("\xC8\xBA"), "\xE2\xB1\xA5");              // Ⱥ, two bytes to three
    EXPECT_EQ(ToLowerSystem("\xF0\x90\x90\x80"), "\xF0\x90\x90\xA8");  // Deseret, four bytes
}

// Names that are one name to the book, and names that are not, on every
// system. Lower-casing is Unicode's simple mapping: one code point to one,
// no folding of "ß" to "ss", no normalisation. Names that are not UTF-8
// were stored by older tools in the ANSI code page (Windows-1252).
struct NamePair {
    const char* a;
    const char* b;
    bool same;
};

class SameNameInTheBook : public ::testing::TestWithParam<NamePair> {};

TEST_P(SameNameInTheBook, EqualsNoCaseAgrees) {
    const NamePair& pair = GetParam();
    EXPECT_EQ(EqualsNoCase(pair.a, pair.b), pair.same) << pair.a << " / " << pair.b;
    EXPECT_EQ(EqualsNoCase(pair.b, pair.a), pair.same) << pair.b << " / " << pair.a;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, SameNameInTheBook,
    ::testing::Values(NamePair{"Index.HTML", "index.html", true},          // ASCII
                      NamePair{"Caf\u00e9.html", "caf\u00e9.html", true},  // Latin-1
                      NamePair{"CAF\u00c9.HTML", "caf\u00e9.html", true},  // É é
                      NamePair{"\u0141\u00f3d\u017a.htm", "\u0142\u00f3d\u017a.htm", true},  // Łódź
                      NamePair{"\u0150", "\u0151", true},  // Ő ő
                      NamePair{"\u039a\u0391\u039b\u0397", "\u03ba\u03b1\u03bb\u03b7",
                               true},                       // ΚΑΛΗ
                      NamePair{"\u03a3", "\u03c2", false},  // Σ is σ, never final ς
                      NamePair{"\u041a\u041d\u0418\u0413\u0410", "\u043a\u043d\u0438\u0433\u0430",
                               true},                                 // КНИГА
                      NamePair{"\u0401", "\u0451", true},             // Ё ё
                      NamePair{"\u0531", "\u0561", true},             // Armenian
                      NamePair{"\u1c90", "\u10d0", true},             // Georgian Mtavruli
                      NamePair{"\u13a0", "\uab70", true},             // Cherokee
                      NamePair{"\U00010400", "\U00010428", true},     // Deseret
                      NamePair{"\U0001e900", "\U0001e922", true},     // Adlam
                      NamePair{"\uff21", "\uff41", true},             // fullwidth A
                      NamePair{"\u216b", "\u217b", true},             // Roman numeral twelve
                      NamePair{"\u24b6", "\u24d0", true},             // circled A
                      NamePair{"\u212a", "k", true},                  // Kelvin sign
                      NamePair{"\u2126", "\u03c9", true},             // Ohm sign
                      NamePair{"\u0130", "i", true},                  // İ lowers to i
                      NamePair{"\u0131", "i", false},                 // dotless ı stays itself
                      NamePair{"I", "\u0131", false},                 // and I is not it
                      NamePair{"\u1e9e", "\u00df", true},             // capital sharp s
                      NamePair{"\u00df", "ss", false},                // no folding to two letters
                      NamePair{"\u01c4", "\u01c5", true},             // Ǆ ǅ
                      NamePair{"\u01c5", "\u01c6", true},             // ǅ ǆ
                      NamePair{"a.htm", "a.html", false},             // not a prefix
                      NamePair{"\u00e9", "e\u0301", false},           // no normalisation
                      NamePair{"\u4e66.html", "\u66f8.html", false},  // no case at all
                      NamePair{"caf\xE9.html", "CAF\u00c9.html", true},  // stored in Windows-1252
                      NamePair{"\x80", "\u20ac", true},                  // Windows-1252 €
                      NamePair{"\x8A", "\u0161", true}));                // Windows-1252 Š

TEST(Utf8, TakesValidUtf8AsItIsAndAnythingElseAsWindows1252) {
    EXPECT_EQ(ToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToUtf8("caf\xE9 \x93quoted\x94 \x80"), "café \u201cquoted\u201d \u20ac");
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(IsValidUtf8("abc\xE2\x82"));   // cut short
    // A bad byte anywhere in a long ASCII run, which is read in blocks.
    for (size_t at = 0; at < 80; ++at) {
        std::string text(80, 'a');
        text[at] = '\xE9';
        EXPECT_FALSE(IsValidUtf8(text)) << at;
        text.replace(at, 1, "\xC3\xA9");
        EXPECT_TRUE(IsValidUtf8(text)) << at;
    }
    EXPECT_EQ(TrimPartialUtf8("abc\xE2\x82"), "abc");
    EXPECT_EQ(TrimPartialUtf8("abc\xE2\x82\xAC"), "abc\xE2\x82\xAC");
    std::string ansi;
    EXPECT_TRUE(Utf8ToWindows1252("caf\xC3\xA9 \xE2\x82\xAC", ansi));
    EXPECT_EQ(ansi, "caf\xE9 \x80");
    EXPECT_FALSE(Utf8ToWindows1252("\xD0\x96", ansi));  // Cyrillic has no place there
}

TEST(Text, Utf16ToUtf8) {
    const uint8_t units[] = {'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC};
    EXPECT_EQ(Utf16LeToUtf8(units), "A\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD");
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
