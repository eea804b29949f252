// The viewer's book reader on hand-made books: what it reads, and that
// damaged books give BookError, never a crash or a huge allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "format/Container.h"
#include "tests/support/HandMadeBook.h"
#include "tests/support/TempDir.h"
#include "viewer/BookReader.h"

namespace folivex {
namespace {

using test::BookLayout;
using test::MakeBook;
using test::RawEntry;

const std::vector<uint8_t> kFakeStub(1000, 0x90);

BookLayout SampleLayout() {
    BookLayout layout;
    layout.pages = {
        {"index.htm", "<html><title>Home</title>Welcome</html>", 1, 1},
        {"sub/chapter one.html", std::string(5000, 'x') + "chapter", 1, 0},
        {"img/logo.png", "\x89PNG not really", 0, 0},
    };
    layout.splash = true;
    layout.settings = {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
    return layout;
}

class BookReaderTest : public ::testing::Test {
protected:
    std::string Write(const std::vector<uint8_t>& bytes, const std::string& name = "book.exe") {
        const std::string path = dir / name;
        test::WriteFile(path, bytes);
        return path;
    }
    std::string ErrorOpening(const std::vector<uint8_t>& bytes) {
        try {
            BookReader::Open(Write(bytes));
        } catch (const BookError& e) {
            return e.what();
        }
        return "(opened)";
    }
    test::TempDir dir;
};

TEST_F(BookReaderTest, ReadsDirectorySettingsTextsPagesAndSplash) {
    const auto book = BookReader::Open(Write(MakeBook(kFakeStub, SampleLayout())));
    ASSERT_EQ(book->Pages().size(), 3u);
    EXPECT_EQ(book->Pages()[0].path, "index.htm");
    EXPECT_EQ(book->Pages()[1].path, "sub/chapter one.html");
    EXPECT_EQ(book->Pages()[1].id, 2);
    EXPECT_EQ(book->Pages()[1].inSearch, 0);
    EXPECT_EQ(book->Pages()[2].inPageSequence, 0);

    EXPECT_EQ(book->Settings().showAboutAtStart, 1);
    EXPECT_EQ(book->Settings().startMaximized, 0);
    EXPECT_EQ(book->Settings().startFullScreen, 1);
    EXPECT_EQ(book->Settings().showToolbar, 0);
    EXPECT_EQ(book->Settings().toolbarButtons[0], 1);
    EXPECT_EQ(book->Settings().toolbarButtons[9], 0);

    EXPECT_EQ(book->Texts().title, "A Test Book");
    EXPECT_EQ(book->Texts().author, "An Author");
    EXPECT_EQ(book->Texts().copyright, "(c) 2024");
    EXPECT_EQ(book->Texts().url, "https://example.org/");
    EXPECT_EQ(book->Texts().email, "a@example.org");
    EXPECT_EQ(book->Texts().aboutInfo, "About\r\nthis book");

    const auto page = book->PageData(book->Pages()[1]);
    EXPECT_EQ(std::string(page.begin(), page.end()), std::string(5000, 'x') + "chapter");

    uint32_t length = 0;
    const auto stream = book->PageDeflateStream(book->Pages()[0], length);
    EXPECT_EQ(length, 39u);
    std::vector<uint8_t> blob{39, 0, 0, 0};
    blob.insert(blob.end(), stream.begin(), stream.end());
    const auto inflated = InflateBlob(blob);
    EXPECT_EQ(std::string(inflated.begin(), inflated.end()),
              "<html><title>Home</title>Welcome</html>");

    const auto splash = book->Splash();
    ASSERT_TRUE(splash.has_value());
    EXPECT_EQ(std::string(splash->begin(), splash->end()), "BM fake bitmap");
    EXPECT_FALSE(book->IconFile().has_value());  // the fake stub is no PE file
}

TEST_F(BookReaderTest, FindsPagesWithoutRegardToCase) {
    const auto book = BookReader::Open(Write(MakeBook(kFakeStub, SampleLayout())));
    const PageDirEntry* page = book->FindPage("SUB/Chapter One.HTML");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->id, 2);
    EXPECT_NE(book->FindPage("INDEX.HTM"), nullptr);
    EXPECT_EQ(book->FindPage("sub"), nullptr);
    EXPECT_EQ(book->FindPage("index.htm/"), nullptr);
    EXPECT_EQ(book->FindPage(""), nullptr);
}

TEST_F(BookReaderTest, BookWithoutPagesOrSplashOpensEmpty) {
    BookLayout layout;
    layout.texts = {{6, ""}};  // the other texts absent: they read as empty
    const auto book = BookReader::Open(Write(MakeBook(kFakeStub, layout)));
    EXPECT_TRUE(book->Pages().empty());
    EXPECT_EQ(book->FindPage("index.htm"), nullptr);
    EXPECT_FALSE(book->Splash().has_value());
    EXPECT_EQ(book->Texts().title, "");
    EXPECT_EQ(book->Texts().aboutInfo, "");
    EXPECT_EQ(book->Settings().startMaximized, 1);
}

TEST_F(BookReaderTest, FilesWithoutAnArchiveHoldNoBook) {
    EXPECT_EQ(ErrorOpening(kFakeStub), "This program holds no e-book.");
    EXPECT_EQ(ErrorOpening({}), "This program holds no e-book.");
    EXPECT_EQ(ErrorOpening({0x4B}), "This program holds no e-book.");
    try {
        BookReader::Open(dir / "missing.exe");
        FAIL() << "opened a missing file";
    } catch (const BookError& e) {
        EXPECT_NE(std::string(e.what()).find("missing.exe"), std::string::npos) << e.what();
    }
}

TEST_F(BookReaderTest, ArchiveWithoutTheBookMarkerIsRefused) {
    BookLayout layout = SampleLayout();
    layout.marker = false;
    EXPECT_NE(ErrorOpening(MakeBook(kFakeStub, layout)).find("book marker is missing"),
              std::string::npos);

    auto entries = test::BookEntries(SampleLayout());
    entries.back().data = {0x45, 0x42, 0x4F, 0x4F, 0x4B, 0x21};  // "EBOOK!"
    EXPECT_NE(ErrorOpening(MakeBook(kFakeStub, entries)).find("book marker is wrong"),
              std::string::npos);
}

TEST_F(BookReaderTest, DamagedArchivesGiveClearErrors) {
    const auto good = MakeBook(kFakeStub, SampleLayout());

    auto pastEnd = good;  // trailer base beyond the file
    pastEnd[pastEnd.size() - 3] = 0x7F;
    EXPECT_NE(ErrorOpening(pastEnd).find("damaged"), std::string::npos);

    auto badClass = good;  // "CUpdateDir" -> "XUpdateDir"
    badClass[kFakeStub.size() + 10] = 'X';
    EXPECT_NE(ErrorOpening(badClass).find("damaged"), std::string::npos);

    // The body cut short, trailer kept.
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(kFakeStub.size()) + 40);
    cut.insert(cut.end(), good.end() - 6, good.end());
    EXPECT_NE(ErrorOpening(cut).find("damaged"), std::string::npos);

    auto entries = test::BookEntries(SampleLayout());
    for (auto& e : entries)
        if (e.type == 350 && e.id == 3) e.data.resize(20);  // settings too short
    EXPECT_NE(ErrorOpening(MakeBook(kFakeStub, entries)).find("settings"), std::string::npos);
}

// Every single-byte change of the archive either opens or gives BookError,
// and so does reading every page of what opens.
TEST_F(BookReaderTest, NoByteOfTheArchiveCanCrashTheReader) {
    BookLayout layout = SampleLayout();
    layout.pages[1].content = "short chapter";
    const auto good = MakeBook(kFakeStub, layout);
    int opened = 0, refused = 0;
    for (size_t i = kFakeStub.size(); i < good.size(); ++i) {
        for (uint8_t value : {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(good[i] ^ 0x01)}) {
            auto bad = good;
            bad[i] = value;
            const std::string path = Write(bad);
            try {
                const auto book = BookReader::Open(path);
                ++opened;
                for (const auto& page : book->Pages()) {
                    try {
                        book->PageData(page);
                        uint32_t length = 0;
                        book->PageDeflateStream(page, length);
                    } catch (const BookError&) {
                    }
                }
                (void)book->Splash();
            } catch (const BookError&) {
                ++refused;
            }
        }
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
}

TEST_F(BookReaderTest, DamagedPagesFailOnReadingNotOnOpening) {
    auto entries = test::BookEntries(SampleLayout());
    entries[0].data[10] ^= 0xFF;                             // page 1: corrupt stream
    entries[1].data = {0xFF, 0xFF, 0xFF, 0x7F, 0x78, 0x9C};  // page 2: claims 2 GB from 2 bytes
    entries.erase(entries.begin() + 2);                      // page 3: gone from type 349
    const auto book = BookReader::Open(Write(MakeBook(kFakeStub, entries)));
    ASSERT_EQ(book->Pages().size(), 3u);
    for (const auto& page : book->Pages()) {
        try {
            book->PageData(page);
            ADD_FAILURE() << page.path << " read";
        } catch (const BookError& e) {
            EXPECT_NE(std::string(e.what()).find(page.path), std::string::npos) << e.what();
        }
    }
    uint32_t length = 0;
    EXPECT_THROW(book->PageDeflateStream(book->Pages()[2], length), BookError);
}

TEST_F(BookReaderTest, PagesCanBeReadFromManyThreadsAtOnce) {
    BookLayout layout;
    for (int i = 0; i < 20; ++i)
        layout.pages.push_back({"p" + std::to_string(i) + ".htm",
                                std::string(3000 + i * 97, static_cast<char>('a' + i)), 1, 1});
    const auto book = BookReader::Open(Write(MakeBook(kFakeStub, layout)));
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 40; ++round) {
                const int i = (t * 7 + round) % 20;
                const auto data = book->PageData(book->Pages()[static_cast<size_t>(i)]);
                if (data != std::vector<uint8_t>(3000 + static_cast<size_t>(i) * 97,
                                                 static_cast<uint8_t>('a' + i)))
                    ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

// The hand-made archives follow the format's worked example to the byte.
TEST(HandMadeBook, MatchesTheWorkedExample) {
    EXPECT_EQ(test::EncodeArchive(test::kWorkedExampleEntries, 1000), test::kWorkedExampleArchive);
}

}  // namespace
}  // namespace folivex
