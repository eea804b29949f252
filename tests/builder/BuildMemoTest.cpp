// File stamps, the build memo and the earlier book: a rebuild may skip
// reading a file only when nothing about it could have changed, takes from
// the earlier book only the blob the memo knew, and a damaged memo is empty.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "builder/BuildMemo.h"
#include "builder/EarlierBook.h"
#include "format/Crc32.h"
#include "platform/FileStamp.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;
using test::WriteText;

constexpr int64_t kHour = 3600'000'000'000;

// Long enough for the file system's clock to move on.
void NextTick() {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
}

TEST(FileStamp, ChangesWithEveryRewriteEvenWhenSizeAndTimeAreRestored) {
    test::TempDir dir;
    const std::string path = dir / "Page.htm";
    WriteText(path, "first version");
    const auto first = StampOfFile(path);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->size, 13u);
    EXPECT_EQ(StampOfFile(path), first);

    // Same length, and the modification time put back as a restoring tool
    // would: the change time still tells.
    NextTick();
    const auto modified = fs::last_write_time(path);
    WriteText(path, "other version");
    fs::last_write_time(path, modified);
    const auto second = StampOfFile(path);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->size, first->size);
    EXPECT_EQ(second->modifiedNs, first->modifiedNs);
    EXPECT_NE(second, first);

    // Stored paths are found like CFile finds them; folders and missing
    // files have no stamp.
    EXPECT_EQ(StampOfFile((dir.Path() / "PAGE.HTM").string()), second);
    fs::create_directories(dir / "sub");
    WriteText(dir / "sub/a.htm", "a");
    EXPECT_EQ(StampOfFile(dir.Path().string() + "\\sub\\A.htm"), StampOfFile(dir / "sub/a.htm"));
    EXPECT_FALSE(StampOfFile(dir / "sub").has_value());
    EXPECT_FALSE(StampOfFile(dir / "missing.htm").has_value());
    EXPECT_FALSE(StampOfFile("").has_value());
}

class BuildMemoTest : public ::testing::Test {
protected:
    BuildMemoTest() {
        WriteText(page, "page text");
        WriteText(book, "stand-in for the book the build wrote");
        stamp = *StampOfFile(page);
    }

    test::TempDir dir;
    std::string cache = dir / "cache";
    std::string page = dir / "book/page.htm";
    std::string book = dir / "out.exe";
    std::string memoPath = BuildMemo::PathFor(dir / "cache", dir / "book");
    FileStamp stamp;
    const BuildMemo::Place place{100, 20, 0xC0FFEE};
    // A build long after the page was written: its stamp has settled.
    int64_t later = StampClockNowNs() + kHour;
};

TEST_F(BuildMemoTest, ABuildSeesWhatTheLastOneRemembered) {
    {
        BuildMemo memo(memoPath, later);
        EXPECT_EQ(memo.Seen(page), nullptr);
        EXPECT_EQ(memo.BookPath(), "");
        memo.Remember(page, stamp, place);
        EXPECT_GT(memo.Save(book), 0u);
    }
    BuildMemo next(memoPath, later);
    const BuildMemo::Record* seen = next.Seen(page);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->stamp, stamp);
    EXPECT_EQ(seen->blob, place);
    EXPECT_EQ(next.Seen(dir / "book/other.htm"), nullptr);
    EXPECT_EQ(next.BookPath(), book);
    EXPECT_EQ(next.BookStamp(), StampOfFile(book));

    // A book named relative to the folder the build runs in is kept by its
    // absolute path.
    const auto cwd = fs::current_path();
    fs::current_path(dir.Path());
    BuildMemo(memoPath, later).Save("out.exe");
    fs::current_path(cwd);
    EXPECT_EQ(BuildMemo(memoPath, later).BookPath(), book);

    // Each project folder has its own memo; its name is 64 hex digits.
    EXPECT_NE(BuildMemo::PathFor(cache, dir / "other"), memoPath);
    EXPECT_EQ(fs::path(memoPath).filename().string().size(), 64u);
}

TEST_F(BuildMemoTest, AStampTooCloseToTheBuildIsNotRemembered) {
    // Changed a second before this build started: a second write in the
    // same tick could have left the stamp as it is.
    BuildMemo memo(memoPath, stamp.changedNs + 1'000'000'000);
    memo.Remember(page, stamp, place);
    memo.Save(book);
    EXPECT_EQ(BuildMemo(memoPath, later).Seen(page), nullptr);
}

TEST_F(BuildMemoTest, OnlyTheFilesOfTheLastBuildAreKept) {
    {
        BuildMemo memo(memoPath, later);
        memo.Remember(page, stamp, place);
        memo.Remember(dir / "book/gone.htm", stamp, place);
        memo.Save(book);
    }
    {
        BuildMemo memo(memoPath, later);
        EXPECT_EQ(memo.Loaded(), 2u);
        // Found unchanged by a build that starts soon after its change; its
        // blob went elsewhere in the new book.
        BuildMemo soon(memoPath, stamp.changedNs + 1);
        soon.Remember(page, stamp, {7, 8, 9});
        soon.Save(book);
    }
    BuildMemo last(memoPath, later);
    EXPECT_EQ(last.Loaded(), 1u);
    ASSERT_NE(last.Seen(page), nullptr);
    EXPECT_EQ(last.Seen(page)->blob, (BuildMemo::Place{7, 8, 9}));
    EXPECT_EQ(last.Seen(dir / "book/gone.htm"), nullptr);
}

TEST_F(BuildMemoTest, ADamagedOrForeignMemoIsEmpty) {
    {
        BuildMemo memo(memoPath, later);
        memo.Remember(page, stamp, place);
        memo.Remember(dir / "book/second.htm", stamp, place);
        memo.Save(book);
    }
    const std::vector<uint8_t> sound = ReadFile(memoPath);
    ASSERT_EQ(BuildMemo(memoPath, later).Loaded(), 2u);
    // Every byte flipped in turn (the zlib version among them), every
    // length cut, one byte more.
    for (size_t i = 0; i < sound.size(); ++i) {
        auto damaged = sound;
        damaged[i] ^= 0x20;
        WriteFile(memoPath, damaged);
        const BuildMemo memo(memoPath, later);
        EXPECT_EQ(memo.Loaded(), 0u) << "byte " << i;
        EXPECT_EQ(memo.BookPath(), "") << "byte " << i;
    }
    for (size_t n = 0; n < sound.size(); ++n) {
        WriteFile(memoPath,
                  std::vector<uint8_t>(sound.begin(), sound.begin() + static_cast<ptrdiff_t>(n)));
        EXPECT_EQ(BuildMemo(memoPath, later).Loaded(), 0u) << n << " bytes";
    }
    auto longer = sound;
    longer.push_back(0);
    WriteFile(memoPath, longer);
    EXPECT_EQ(BuildMemo(memoPath, later).Loaded(), 0u);

    // A memo that cannot be written, or whose book is gone, leaves nothing
    // behind and fails nothing.
    BuildMemo memo(memoPath, later);
    memo.Remember(page, stamp, place);
    EXPECT_EQ(memo.Save(dir / "no-such-book.exe"), 0u);
    fs::remove_all(cache);
    WriteText(cache, "a file where the folder should be");
    EXPECT_EQ(memo.Save(book), 0u);
    EXPECT_TRUE(fs::is_regular_file(cache));
}

TEST_F(BuildMemoTest, BuildsSavingAtOnceLeaveOneWholeMemo) {
    std::vector<std::thread> builds;
    for (uint32_t b = 0; b < 6; ++b) {
        builds.emplace_back([&, b] {
            for (uint32_t round = 0; round < 10; ++round) {
                BuildMemo memo(memoPath, later);
                for (uint32_t i = 0; i <= b; ++i)
                    memo.Remember(dir / ("book/p" + std::to_string(i)), stamp, {i, b, round});
                memo.Save(book);
            }
        });
    }
    for (auto& t : builds) t.join();
    const BuildMemo memo(memoPath, later);
    ASSERT_GE(memo.Loaded(), 1u);
    // One build's records, all of them.
    const uint32_t b = memo.Seen(dir / "book/p0")->blob.length;
    EXPECT_EQ(memo.Loaded(), b + 1);
    for (const auto& item : fs::directory_iterator(cache))
        EXPECT_EQ(item.path().filename().string().find(".tmp"), std::string::npos) << item.path();
}

// Memos of n folders, the one of folder i last used i hours ago.
std::vector<std::string> AgedMemos(const std::string& cache, const std::string& book, int n) {
    std::vector<std::string> paths;
    const auto now = fs::file_time_type::clock::now();
    for (int i = 0; i < n; ++i) {
        paths.push_back(BuildMemo::PathFor(cache, "/folder" + std::to_string(i)));
        BuildMemo memo(paths.back(), StampClockNowNs() + kHour);
        for (int k = 0; k < 20; ++k)
            memo.Remember("/folder/page" + std::to_string(k), *StampOfFile(book), {});
        memo.Save(book);
        fs::last_write_time(paths.back(), now - std::chrono::hours(i));
    }
    return paths;
}

TEST_F(BuildMemoTest, TrimKeepsTheFolderUnderItsBoundLeastRecentlyUsedFirst) {
    const std::vector<std::string> memos = AgedMemos(cache, book, 10);
    const uint64_t size = fs::file_size(memos[0]);
    // A temporary file of a build killed long ago goes; a fresh one stays.
    WriteText(cache + "/" + fs::path(memos[0]).filename().string() + ".tmp1-2", "left over");
    fs::last_write_time(cache + "/" + fs::path(memos[0]).filename().string() + ".tmp1-2",
                        fs::file_time_type::clock::now() - std::chrono::hours(2));
    WriteText(cache + "/fresh.tmp3-4", "being written");
    // What the link report kept beside a memo goes with it.
    for (const size_t i : {0, 9})
        for (const char* beside : {".links", ".found"}) WriteText(memos[i] + beside, "kept");

    // A bound of four memos: trimming keeps at most three, the newest.
    BuildMemo::TrimFolderNow(cache, size * 4);
    for (size_t i = 0; i < memos.size(); ++i)
        EXPECT_EQ(fs::exists(memos[i]), i < 3) << "memo " << i;
    for (const char* beside : {".links", ".found"}) {
        EXPECT_TRUE(fs::exists(memos[0] + beside));
        EXPECT_FALSE(fs::exists(memos[9] + beside));
    }
    EXPECT_FALSE(fs::exists(cache + "/" + fs::path(memos[0]).filename().string() + ".tmp1-2"));
    EXPECT_TRUE(fs::exists(cache + "/fresh.tmp3-4"));
    // Below the bound nothing goes.
    BuildMemo::TrimFolderNow(cache, size * 4);
    EXPECT_TRUE(fs::exists(memos[2]));
}

TEST_F(BuildMemoTest, TrimLooksOnlyWhenTheFolderGrew) {
    const std::vector<std::string> memos = AgedMemos(cache, book, 3);
    const uint64_t size = fs::file_size(memos[0]);
    // A memo's own length, as the build reads it before saving.
    EXPECT_EQ(BuildMemo(memos[1], 0).FileBytes(), size);
    EXPECT_EQ(BuildMemo(dir / "no-memo", 0).FileBytes(), 0u);
    // Three memos are too many for a bound of two, but a memo saved in
    // place of one as long (or longer) leaves the folder as large.
    BuildMemo::TrimFolder(cache, size, size, size * 2);
    BuildMemo::TrimFolder(cache, size, size + 1, size * 2);
    EXPECT_TRUE(fs::exists(memos[2]));
    // A longer one, or a new one, makes it look.
    BuildMemo::TrimFolder(cache, size + 1, size, size * 2);
    EXPECT_FALSE(fs::exists(memos[2]));
    EXPECT_TRUE(fs::exists(memos[0]));
    BuildMemo::TrimFolder(cache, size, 0, size / 2);
    EXPECT_FALSE(fs::exists(memos[0]));
}

TEST(EarlierBook, GivesOnlyTheBlobTheMemoKnew) {
    test::TempDir dir;
    const std::string book = dir / "out.exe";
    std::vector<uint8_t> bytes(200, 0x11);
    // A blob of a 1000-byte file at offset 50.
    std::vector<uint8_t> blob = {0xE8, 0x03, 0, 0, 0x78, 0x9C, 1, 2, 3};
    std::copy(blob.begin(), blob.end(), bytes.begin() + 50);
    WriteFile(book, bytes);
    const BuildMemo::Place place{50, static_cast<uint32_t>(blob.size()), Crc32(blob)};
    const FileStamp stamp = *StampOfFile(book);

    const auto earlier = EarlierBook::Open(book, stamp);
    ASSERT_NE(earlier, nullptr);
    EXPECT_EQ(earlier->Blob(place, 1000), blob);

    struct Case {
        const char* what;
        BuildMemo::Place place;
        uint64_t fileLength;
    };
    const Case refused[] = {
        {"another checksum", {50, place.length, place.crc ^ 1}, 1000},
        {"another file length", place, 1001},
        {"one byte off", {51, place.length, place.crc}, 1000},
        {"past the end", {195, place.length, place.crc}, 1000},
        {"far past the end", {1ull << 40, place.length, place.crc}, 1000},
        {"shorter than a blob", {50, 3, Crc32(std::span(blob).first(3))}, 1000},
    };
    for (const Case& c : refused) EXPECT_FALSE(earlier->Blob(c.place, c.fileLength)) << c.what;

    // Asked together, in any order, each blob stands on its own: one that
    // is refused spoils none read with it.
    std::vector<uint8_t> second = {0x02, 0, 0, 0, 0x78, 0x9C, 9};
    std::copy(second.begin(), second.end(), bytes.begin() + 120);
    WriteFile(book, bytes);
    const auto rewritten = EarlierBook::Open(book, *StampOfFile(book));
    ASSERT_NE(rewritten, nullptr);
    const EarlierBook::Wanted together[] = {
        {{120, static_cast<uint32_t>(second.size()), Crc32(second)}, 2},
        {refused[0].place, 1000},
        {place, 1000},
        {refused[3].place, 1000},
    };
    const auto blobs = rewritten->Blobs(together);
    ASSERT_EQ(blobs.size(), 4u);
    EXPECT_EQ(blobs[0], second);
    EXPECT_FALSE(blobs[1]);
    EXPECT_EQ(blobs[2], blob);
    EXPECT_FALSE(blobs[3]);

    // A book written since, or gone, is not used at all.
    EXPECT_EQ(EarlierBook::Open(dir / "gone.exe", stamp), nullptr);
    EXPECT_EQ(EarlierBook::Open("", stamp), nullptr);
    NextTick();
    WriteFile(book, bytes);
    EXPECT_EQ(EarlierBook::Open(book, stamp), nullptr);
}

}  // namespace
}  // namespace folivex
