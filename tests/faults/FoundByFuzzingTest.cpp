// Inputs the fuzz targets found, kept as cases named after what broke.
#include <gtest/gtest.h>

#include "builder/ArchiveIndex.h"
#include "tests/faults/TestBook.h"
#include "viewer/BookReader.h"

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

}  // namespace
}  // namespace folivex
