// File stamps and the digest memo: a rebuild may skip reading a file only
// when nothing about it could have changed, and a damaged memo is empty.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "builder/DigestMemo.h"
#include "platform/FileStamp.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;
using test::WriteText;

constexpr int64_t kHour = 3600'000'000'000;

Sha256Digest DigestOf(const std::string& text) {
    return Sha256Of(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

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

class DigestMemoTest : public ::testing::Test {
protected:
    DigestMemoTest() {
        WriteText(page, "page text");
        stamp = *StampOfFile(page);
    }

    test::TempDir dir;
    std::string cache = dir / "cache";
    std::string page = dir / "book/page.htm";
    std::string memoPath = DigestMemo::PathFor(dir / "cache", dir / "book");
    FileStamp stamp;
    // A build long after the page was written: its stamp has settled.
    int64_t later = StampClockNowNs() + kHour;
};

TEST_F(DigestMemoTest, ABuildSeesWhatTheLastOneRemembered) {
    {
        DigestMemo memo(memoPath, later);
        EXPECT_EQ(memo.Seen(page), nullptr);
        memo.Remember(page, stamp, DigestOf("page text"));
        memo.Save();
    }
    DigestMemo next(memoPath, later);
    const DigestMemo::Record* seen = next.Seen(page);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen->stamp, stamp);
    EXPECT_EQ(seen->digest, DigestOf("page text"));
    EXPECT_EQ(next.Seen(dir / "book/other.htm"), nullptr);

    // Each project folder has its own memo; its name is a cache entry's.
    EXPECT_NE(DigestMemo::PathFor(cache, dir / "other"), memoPath);
    EXPECT_EQ(fs::path(memoPath).filename().string().size(), 64u);
}

TEST_F(DigestMemoTest, AStampTooCloseToTheBuildIsNotRemembered) {
    // Changed a second before this build started: a second write in the
    // same tick could have left the stamp as it is.
    DigestMemo memo(memoPath, stamp.changedNs + 1'000'000'000);
    memo.Remember(page, stamp, DigestOf("page text"));
    memo.Save();
    EXPECT_EQ(DigestMemo(memoPath, later).Seen(page), nullptr);
}

TEST_F(DigestMemoTest, OnlyTheFilesOfTheLastBuildAreKept) {
    {
        DigestMemo memo(memoPath, later);
        memo.Remember(page, stamp, DigestOf("page text"));
        memo.Remember(dir / "book/gone.htm", stamp, DigestOf("gone"));
        memo.Save();
    }
    {
        DigestMemo memo(memoPath, later);
        EXPECT_EQ(memo.Loaded(), 2u);
        ASSERT_NE(memo.Seen(page), nullptr);
        // Found unchanged by a build that starts soon after its change.
        DigestMemo soon(memoPath, stamp.changedNs + 1);
        soon.Remember(page, stamp, memo.Seen(page)->digest);
        soon.Save();
    }
    DigestMemo last(memoPath, later);
    EXPECT_EQ(last.Loaded(), 1u);
    EXPECT_NE(last.Seen(page), nullptr);
    EXPECT_EQ(last.Seen(dir / "book/gone.htm"), nullptr);
}

TEST_F(DigestMemoTest, ADamagedMemoIsEmpty) {
    {
        DigestMemo memo(memoPath, later);
        memo.Remember(page, stamp, DigestOf("page text"));
        memo.Remember(dir / "book/second.htm", stamp, DigestOf("second"));
        memo.Save();
    }
    const std::vector<uint8_t> sound = ReadFile(memoPath);
    ASSERT_EQ(DigestMemo(memoPath, later).Loaded(), 2u);
    // Every byte flipped in turn, every length cut, one byte more.
    for (size_t i = 0; i < sound.size(); ++i) {
        auto damaged = sound;
        damaged[i] ^= 0x20;
        WriteFile(memoPath, damaged);
        EXPECT_EQ(DigestMemo(memoPath, later).Loaded(), 0u) << "byte " << i;
    }
    for (size_t n = 0; n < sound.size(); ++n) {
        WriteFile(memoPath,
                  std::vector<uint8_t>(sound.begin(), sound.begin() + static_cast<ptrdiff_t>(n)));
        EXPECT_EQ(DigestMemo(memoPath, later).Loaded(), 0u) << n << " bytes";
    }
    auto longer = sound;
    longer.push_back(0);
    WriteFile(memoPath, longer);
    EXPECT_EQ(DigestMemo(memoPath, later).Loaded(), 0u);

    // A memo that cannot be written leaves nothing behind and fails nothing.
    fs::remove_all(cache);
    WriteText(cache, "a file where the folder should be");
    DigestMemo memo(memoPath, later);
    memo.Remember(page, stamp, DigestOf("page text"));
    memo.Save();
    EXPECT_TRUE(fs::is_regular_file(cache));
}

}  // namespace
}  // namespace folivex
