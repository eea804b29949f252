// BuildEBook compresses pages on worker threads, takes blobs from the cache
// and streams the archive: whatever the thread count and whatever the cache
// holds, the e-book equals the one the writer makes from the same entries
// given one by one.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "builder/BlobCache.h"
#include "builder/BuildEBook.h"
#include "builder/DigestMemo.h"
#include "format/Container.h"
#include "format/UpdateArchive.h"
#include "platform/FileStamp.h"
#include "platform/Path.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/support/FakePe.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class ParallelBuild : public ::testing::Test {
protected:
    ParallelBuild() : app(prompts) {
        stub = test::MakeFakePe().bytes;
        app.viewerStub = stub;
        app.project.projectDir = dir / "book";
        app.project.ebookFile = dir / "out.exe";
        app.project.title = "Parallel";
        app.blobCacheFolder = dir / "cache";
        std::mt19937 random(11);
        for (int i = 0; i < 60; ++i) {
            // Sizes from empty to several deflate blocks; some pages alike
            // (the cache holds them once), some left out.
            std::string content;
            const size_t size = i == 0 ? 0 : (random() % 5 == 0 ? 200000 : random() % 3000);
            for (size_t k = 0; k < size; ++k)
                content += static_cast<char>('a' + (random() % 5 ? k % 7 : random() % 26));
            if (i % 10 == 9) content = "the same page";
            AddPage("part" + std::to_string(i % 4) + "\\p" + std::to_string(i) + ".htm", content,
                    i % 13 != 5);
        }
        WriteFile(dir / "splash.bmp", std::vector<uint8_t>(3000, 0x42));
        app.project.splashFile = dir / "splash.bmp";
    }

    void AddPage(const std::string& path, const std::string& content, bool included) {
        std::string onDisk = path;
        for (char& c : onDisk)
            if (c == '\\') c = '/';
        test::WriteText(app.project.projectDir + "/" + onDisk, content);
        auto page = std::make_unique<CPieceElem>();
        page->path = path;
        page->included = included;
        page->inPageSequence = page->inSearch = 1;
        app.project.pages.push_back(std::move(page));
    }

    // The e-book as the writer makes it: every entry through UpdateEntry,
    // one after the other, all held in memory until EndUpdate.
    std::vector<uint8_t> Reference() {
        const std::string path = dir / "reference.exe";
        WriteFile(path, stub);
        const BookProject& p = app.project;
        CUpdateArchive archive;
        archive.BeginUpdate(path);
        std::vector<PageDirEntry> records;
        for (size_t i = 0; i < p.pages.size(); ++i) {
            if (!p.pages[i]->included) continue;
            const auto bytes = ReadFile(NativePath(JoinStoredPath(p.projectDir, p.pages[i]->path)));
            archive.UpdateEntry(kTypePages, static_cast<int>(i + 1), MakeBlob(bytes));
            std::string slashed = p.pages[i]->path;
            for (char& c : slashed)
                if (c == '\\') c = '/';
            records.push_back({slashed, static_cast<int32_t>(i + 1), 1, 1});
        }
        archive.UpdateEntry(kTypeBook, kIdPageDirectory, EncodePageDirectory(records));
        archive.UpdateEntry(kTypeBook, kIdSplash, MakeBlob(ReadFile(p.splashFile)));
        archive.UpdateEntry(kTypeBook, kIdSettings, EncodeSettings(BookSettings{}));
        for (const auto& [id, text] :
             std::vector<std::pair<int, std::string>>{{kIdTitle, p.title},
                                                      {kIdAuthor, p.author},
                                                      {kIdCopyright, p.copyright},
                                                      {kIdUrl, p.url},
                                                      {kIdEmail, p.email},
                                                      {kIdAboutInfo, p.aboutInfo}})
            archive.UpdateEntry(kTypeBook, id, EncodeText(text));
        archive.UpdateEntry(kTypeBook, kIdMarker, kBookMarker.data(), kBookMarker.size());
        archive.EndUpdate();
        return ReadFile(path);
    }

    std::vector<uint8_t> Build() {
        EXPECT_EQ(BuildEBook(app), 1)
            << (prompts.messages.empty() ? "" : prompts.messages.back().text);
        return ReadFile(app.project.ebookFile);
    }

    test::TempDir dir;
    ScriptedPrompts prompts;
    CBookApp app;
    std::vector<uint8_t> stub;
};

TEST_F(ParallelBuild, EveryThreadCountGivesTheWritersBytes) {
    const std::vector<uint8_t> reference = Reference();
    app.blobCacheFolder = std::string();  // no cache: every page compressed here
    for (const unsigned threads : {1u, 2u, 3u, 8u, 0u}) {
        app.buildThreads = threads;
        EXPECT_EQ(Build(), reference) << threads << " threads";
    }
}

TEST_F(ParallelBuild, ColdWarmAndDamagedCachesGiveTheWritersBytes) {
    const std::vector<uint8_t> reference = Reference();
    app.buildThreads = 2;
    EXPECT_EQ(Build(), reference) << "cold cache";
    EXPECT_EQ(Build(), reference) << "warm cache";

    // Every entry damaged in its own way, and one page changed on disk.
    int n = 0;
    for (const auto& item : fs::recursive_directory_iterator(*app.blobCacheFolder)) {
        if (!item.is_regular_file() || item.path().filename().string().size() != 64) continue;
        auto bytes = ReadFile(item.path().string());
        if (n % 3 == 0) bytes.back() ^= 1;
        if (n % 3 == 1) bytes.resize(bytes.size() / 2);
        if (n % 3 == 2) bytes[60] ^= 0x55;
        WriteFile(item.path().string(), bytes);
        ++n;
    }
    ASSERT_GT(n, 40);
    test::WriteText(app.project.projectDir + "/part1/p1.htm", "changed");
    const std::vector<uint8_t> changed = Reference();
    EXPECT_NE(changed, reference);
    EXPECT_EQ(Build(), changed) << "damaged cache";
    EXPECT_EQ(Build(), changed) << "repaired cache";
}

TEST_F(ParallelBuild, ARebuildTakesUnchangedPagesByTheirStampWithoutReadingThem) {
    const std::vector<uint8_t> reference = Reference();
    app.buildThreads = 2;
    EXPECT_EQ(Build(), reference) << "first build";

    std::vector<std::string> paths;
    for (const auto& page : app.project.pages)
        if (page->included) paths.push_back(JoinStoredPath(app.project.projectDir, page->path));
    paths.push_back(app.project.splashFile);

    // The book as it would be if one page held other bytes of its length.
    const std::string swappedPath = NativePath(paths[3]);
    const std::vector<uint8_t> original = ReadFile(swappedPath);
    const std::vector<uint8_t> other(original.size(), 'z');
    WriteFile(swappedPath, other);
    const std::vector<uint8_t> withOther = Reference();
    WriteFile(swappedPath, original);

    // The memo a build long after these files were written leaves behind.
    const std::string memoPath = DigestMemo::PathFor(*app.blobCacheFolder, app.project.projectDir);
    {
        DigestMemo memo(memoPath, StampClockNowNs() + 3600'000'000'000);
        for (const std::string& path : paths)
            memo.Remember(path, *StampOfFile(path), Sha256Of(ReadFile(NativePath(path))));
        memo.Save();
    }

    // Proof that an unchanged page is not read: its cache entry swapped for
    // the other bytes' blob is what the book gets.
    BlobCache cache(*app.blobCacheFolder);
    const Sha256Digest key = Sha256Of(original);
    const std::vector<uint8_t> soundEntry = ReadFile(cache.EntryPath(key));
    cache.Store(key, original.size(), MakeBlob(other));
    EXPECT_EQ(Build(), withOther) << "the entry of the remembered digest";
    WriteFile(cache.EntryPath(key), soundEntry);
    EXPECT_EQ(Build(), reference);

    // Entries gone or damaged are made again from the pages, read then.
    int n = 0;
    for (const std::string& path : paths) {
        const std::string entry = cache.EntryPath(Sha256Of(ReadFile(NativePath(path))));
        if (n % 3 == 0) fs::remove(entry);
        if (n % 3 == 1 && fs::exists(entry)) WriteFile(entry, std::vector<uint8_t>(100, 1));
        ++n;
    }
    EXPECT_EQ(Build(), reference) << "entries gone";

    // A page changed since (same length, time put back) is read again.
    const std::string changedPath = NativePath(paths[7]);
    const auto modified = fs::last_write_time(changedPath);
    std::vector<uint8_t> changedBytes = ReadFile(changedPath);
    ASSERT_FALSE(changedBytes.empty());
    changedBytes[0] ^= 1;
    WriteFile(changedPath, changedBytes);
    fs::last_write_time(changedPath, modified);
    const std::vector<uint8_t> changed = Reference();
    ASSERT_NE(changed, reference);
    EXPECT_EQ(Build(), changed) << "page changed";
    // The memo now holds every file but the one just written, whose stamp
    // has not settled yet.
    EXPECT_EQ(DigestMemo(memoPath, 0).Loaded(), paths.size() - 1);
}

TEST_F(ParallelBuild, AStubCarryingAnArchiveIsStillMerged) {
    // Such a stub's archive is loaded and kept, which streaming cannot do.
    const std::string path = dir / "stub-with-archive.exe";
    WriteFile(path, stub);
    {
        CUpdateArchive archive;
        archive.BeginUpdate(path);
        archive.UpdateEntry(400, 1, std::vector<uint8_t>{1, 2, 3});
        archive.EndUpdate();
    }
    const std::vector<uint8_t> carrying = ReadFile(path);
    app.viewerStub = carrying;
    const std::vector<uint8_t> built = Build();
    CFile file(app.project.ebookFile, CFile::modeRead);
    CUpdateArchive check;
    file.Close();
    check.BeginUpdate(app.project.ebookFile);
    ASSERT_FALSE(check.Root().Children().empty());
    EXPECT_EQ(check.Root().Children().front()->id, 400);
}

TEST_F(ParallelBuild, AMissingPageStopsEveryThreadAndLeavesNoOutput) {
    fs::remove(app.project.projectDir + "/part2/p30.htm");
    for (const unsigned threads : {1u, 4u}) {
        app.buildThreads = threads;
        EXPECT_EQ(BuildEBook(app), 0);
        ASSERT_FALSE(prompts.messages.empty());
        EXPECT_EQ(
            prompts.messages.back().text.rfind("Cannot read file " + app.project.projectDir, 0), 0u)
            << prompts.messages.back().text;
        EXPECT_FALSE(fs::exists(app.project.ebookFile));
    }
}

}  // namespace
}  // namespace folivex
