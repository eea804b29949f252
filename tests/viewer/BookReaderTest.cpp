// The viewer's book reader on hand-made books: what it reads, and that
// damaged books give BookError, never a crash or a huge allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
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
    // The message of opening bytes written to a file (a missing file for
    // nothing), its path written as {book}; "(opened)" when it opens.
    std::string ErrorOpening(const std::optional<std::vector<uint8_t>>& bytes) {
        const std::string path = bytes ? Write(*bytes) : dir / "missing.exe";
        try {
            BookReader::Open(path);
        } catch (const BookError& e) {
            std::string message = e.what();
            for (size_t at; (at = message.find(path)) != std::string::npos;)
                message.replace(at, path.size(), "{book}");
            return message;
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

// Files that are no book, and books damaged in each part that opening
// reads, with the message the viewer shows ({book} is the file's path).
TEST_F(BookReaderTest, RefusesWhatIsNoWholeBookWithItsMessage) {
    const auto good = MakeBook(kFakeStub, SampleLayout());
    const auto withEntries = [](const std::function<void(std::vector<RawEntry>&)>& change) {
        auto entries = test::BookEntries(SampleLayout());
        change(entries);
        return MakeBook(kFakeStub, entries);
    };
    BookLayout unmarked = SampleLayout();
    unmarked.marker = false;
    auto pastEnd = good;
    pastEnd[pastEnd.size() - 3] = 0x7F;  // the trailer's base beyond the file
    auto badClass = good;
    badClass[kFakeStub.size() + 10] = 'X';  // "CUpdateDir" -> "XUpdateDir"
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(kFakeStub.size()) + 40);
    cut.insert(cut.end(), good.end() - 6, good.end());  // the body cut short, the trailer kept

    const std::string damaged = "The e-book is damaged and cannot be shown: ";
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {kFakeStub, "This program holds no e-book."},
        {{}, "This program holds no e-book."},
        {{0x4B}, "This program holds no e-book."},
        {pastEnd, damaged + "its archive cannot be read (Seek failed on {book})."},
        {badClass,
         damaged + "its archive cannot be read ({book} contained an unexpected object.)."},
        {cut,
         damaged +
             "its archive cannot be read (An attempt was made to access {book} past its end.)."},
        {MakeBook(kFakeStub, unmarked), damaged + "its book marker is missing."},
        {withEntries([](auto& e) { e.back().data = {0x45, 0x42, 0x4F, 0x4F, 0x4B, 0x21}; }),
         damaged + "its book marker is wrong."},
        {withEntries([](auto& e) {
             for (auto& entry : e)
                 if (entry.type == 350 && entry.id == 3) entry.data.resize(20);
         }),
         damaged + "its settings record is malformed (settings record holds 20 bytes, not 56)."},
    };
    for (const auto& [bytes, message] : cases) EXPECT_EQ(ErrorOpening(bytes), message);
    EXPECT_EQ(ErrorOpening(std::nullopt), "Cannot open the e-book. {book} was not found.");
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
