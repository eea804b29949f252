// Inputs the fuzz targets found, kept as cases named after what broke.
#include <gtest/gtest.h>

#include "format/ArchiveIndex.h"
#include "platform/Utf8.h"
#include "tests/support/BuiltBook.h"
#include "tests/support/RunningServer.h"
#include "viewer/BookReader.h"
#include "viewer/server/SearchIndex.h"

namespace folivex {
namespace {

// A book whose splash bitmap entry does not inflate made every request for
// the book's data fail (500), so the shell could not show a single page.
// The splash is left out instead.
TEST(FoundByFuzzing, ADamagedSplashBitmapStillServesTheBook) {
    test::TempDir dir;
    const std::string path = test::BuildTestBook(dir);
    auto bytes = test::ReadFile(path);
    {
        CFile file(path, CFile::modeRead);
        const auto index = ArchiveIndex::Load(file);
        ASSERT_TRUE(index.has_value());
        const IndexedEntry* splash = index->Find(350, 15);
        ASSERT_NE(splash, nullptr);
        // Keep the stated length and the zlib header; spoil the deflate data.
        for (uint32_t i = 6; i < splash->length; ++i) bytes[splash->dataOffset + i] ^= 0xA5;
    }
    test::WriteFile(path, bytes);

    const auto book = BookReader::Open(path);
    BookSite site(*book, "0123456789abcdef0123456789abcdef");
    std::string json;
    EXPECT_EQ(test::Get(site, "/api/book", &json), 200);
    EXPECT_NE(json.find("\"hasSplash\":false"), std::string::npos) << json;
    EXPECT_NE(json.find("Test book"), std::string::npos);
    EXPECT_EQ(test::Get(site, "/api/splash"), 404);
    EXPECT_EQ(test::Get(site, "/book/index.htm"), 200);
}

// Capital I with dot (U+0130) folds to the ASCII 'i', which was written as
// a two-byte overlong sequence: invalid UTF-8 in the search terms, and
// "İstanbul" never matched "istanbul".
TEST(FoundByFuzzing, ALetterThatFoldsToAsciiMakesAValidWord) {
    EXPECT_EQ(SearchIndex::QueryTerms("\xC4\xB0"), std::vector<std::string>{"i"});
    EXPECT_EQ(SearchIndex::QueryTerms("\xC4\xB0stanbul ISTANBUL"),
              std::vector<std::string>{"istanbul"});
    for (const std::string& term : SearchIndex::QueryTerms("\xC4\xB0\xC4\xB0 a\xC4\xB0"
                                                           "b"))
        EXPECT_TRUE(IsValidUtf8(term)) << term;
}

}  // namespace
}  // namespace folivex
