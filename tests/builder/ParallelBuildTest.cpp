// BuildEBook reads and compresses pages on worker threads, takes the blobs of
// unchanged pages from the earlier book and streams the archive: whatever
// the thread count and whatever the memo and the earlier book hold, the
// e-book equals the one the writer makes from the same entries given one by
// one.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "builder/BlobPipeline.h"
#include "builder/BuildEBook.h"
#include "builder/BuildMemo.h"
#include "builder/EarlierBook.h"
#include "builder/LinkReport.h"
#include "format/ArchiveIndex.h"
#include "format/Container.h"
#include "format/Crc32.h"
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

    // Writes the memo a build long after every page was written would have
    // left had it found each as it is now and written book.
    void SettleMemo(const std::string& book) {
        BuildMemo memo(BuildMemo::PathFor(*app.blobCacheFolder, app.project.projectDir),
                       StampClockNowNs() + 3600'000'000'000);
        // Where each blob went: the pages in order, right after the stub.
        CFile file(book, CFile::modeRead);
        const auto index = ArchiveIndex::Load(file);
        ASSERT_TRUE(index.has_value());
        for (size_t i = 0; i < app.project.pages.size(); ++i) {
            if (!app.project.pages[i]->included) continue;
            const auto* entry = index->Find(kTypePages, static_cast<int>(i + 1));
            ASSERT_NE(entry, nullptr);
            std::vector<uint8_t> blob(entry->length);
            file.ReadAt(entry->dataOffset, blob.data(), blob.size());
            const std::string name =
                JoinStoredPath(app.project.projectDir, app.project.pages[i]->path);
            memo.Remember(name, *StampOfFile(name),
                          {entry->dataOffset, entry->length, Crc32(blob)});
        }
        memo.Save(book);
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

TEST_F(ParallelBuild, FirstBuildsRebuildsAndDamagedMemosGiveTheWritersBytes) {
    const std::vector<uint8_t> reference = Reference();
    app.buildThreads = 2;
    const std::string memoPath = BuildMemo::PathFor(*app.blobCacheFolder, app.project.projectDir);
    struct Case {
        const char* what;
        std::function<void()> before;  // done before the build
    };
    const std::string other = dir / "other.exe";
    const Case cases[] = {
        {"first build", [] {}},
        {"rebuild", [] {}},
        {"the memo damaged",
         [&] {
             auto bytes = ReadFile(memoPath);
             bytes[bytes.size() / 2] ^= 1;
             WriteFile(memoPath, bytes);
         }},
        {"rebuild after the damage", [] {}},
        {"the book moved away", [&] { fs::rename(app.project.ebookFile, other); }},
        {"the book back, another file now", [&] { fs::rename(other, app.project.ebookFile); }},
        {"the book damaged",
         [&] {
             auto bytes = ReadFile(app.project.ebookFile);
             for (size_t i = stub.size() + 100; i < bytes.size(); i += 97) bytes[i] ^= 0x5A;
             WriteFile(app.project.ebookFile, bytes);
         }},
        {"the book gone", [&] { fs::remove(app.project.ebookFile); }},
        {"the memo gone", [&] { fs::remove(memoPath); }},
    };
    for (const Case& c : cases) {
        c.before();
        EXPECT_EQ(Build(), reference) << c.what;
    }
    // A page changed on disk is read again.
    test::WriteText(app.project.projectDir + "/part1/p1.htm", "changed");
    const std::vector<uint8_t> changed = Reference();
    EXPECT_NE(changed, reference);
    EXPECT_EQ(Build(), changed) << "a page changed";
}

TEST_F(ParallelBuild, ARebuildTakesUnchangedPagesFromTheEarlierBookWithoutReadingThem) {
    const std::vector<uint8_t> reference = Reference();
    app.buildThreads = 2;
    std::vector<std::string> names;
    for (const auto& page : app.project.pages)
        if (page->included) names.push_back(JoinStoredPath(app.project.projectDir, page->path));
    names.push_back(app.project.splashFile);

    // A book made while one page held other bytes of its length, kept as
    // other.exe; then the page gets its own bytes back.
    const std::string swappedPath = NativePath(names[3]);
    const std::vector<uint8_t> original = ReadFile(swappedPath);
    WriteFile(swappedPath, std::vector<uint8_t>(original.size(), 'z'));
    const std::vector<uint8_t> withOther = Reference();
    EXPECT_EQ(Build(), withOther);
    const std::string other = dir / "other.exe";
    fs::copy_file(app.project.ebookFile, other);
    WriteFile(swappedPath, original);

    // The memo a build long after these files were written would leave if
    // it had found every file as it is now and written other.exe.
    const std::string memoPath = BuildMemo::PathFor(*app.blobCacheFolder, app.project.projectDir);
    ASSERT_EQ(BuildMemo(memoPath, 0).Loaded(), 0u) << "every file was just written";
    SettleMemo(other);
    // Proof that an unchanged page is not read: the other bytes' blob from
    // other.exe is what the book gets. The splash, not in that memo, is read.
    EXPECT_EQ(Build(), withOther) << "the blobs of the earlier book";
    EXPECT_EQ(Build(), withOther) << "and of this book, after it";

    // A page changed since (same length, time put back) is read again.
    const std::vector<uint8_t> changedBytes(original.size(), 'y');
    const auto modified = fs::last_write_time(swappedPath);
    WriteFile(swappedPath, changedBytes);
    fs::last_write_time(swappedPath, modified);
    const std::vector<uint8_t> changed = Reference();
    EXPECT_EQ(Build(), changed) << "page changed";
    // The memo now holds every page but the one just written, whose stamp
    // has not settled yet (the memo above knew the others as settled).
    const BuildMemo after(memoPath, 0);
    for (size_t i = 0; i + 1 < names.size(); ++i)
        EXPECT_EQ(after.Seen(names[i]) != nullptr, i != 3) << names[i];
}

TEST_F(ParallelBuild, BuildsAtOnceOfOneFolderGiveTheWritersBytes) {
    const std::vector<uint8_t> reference = Reference();
    std::vector<std::thread> builds;
    std::vector<std::vector<uint8_t>> books(4);
    for (size_t b = 0; b < books.size(); ++b) {
        builds.emplace_back([&, b] {
            ScriptedPrompts quiet;
            CBookApp other(quiet);
            other.viewerStub = stub;
            other.project.projectDir = app.project.projectDir;
            other.project.title = app.project.title;
            other.project.splashFile = app.project.splashFile;
            for (const auto& page : app.project.pages)
                other.project.pages.push_back(std::make_unique<CPieceElem>(*page));
            other.blobCacheFolder = app.blobCacheFolder;
            other.buildThreads = 2;
            // Two rounds: the second finds the memo of one of the others.
            for (int round = 0; round < 2; ++round) {
                other.project.ebookFile = dir / ("out" + std::to_string(b) + ".exe");
                if (BuildEBook(other) == 1) books[b] = ReadFile(other.project.ebookFile);
            }
        });
    }
    for (auto& t : builds) t.join();
    for (size_t b = 0; b < books.size(); ++b) EXPECT_EQ(books[b], reference) << "build " << b;
    EXPECT_EQ(Build(), reference) << "after them";
}

TEST_F(ParallelBuild, ProgressCountsEveryFileOnTheBuildingThread) {
    for (const unsigned threads : {1u, 2u}) {
        app.buildThreads = threads;
        std::vector<BuildProgress> heard;
        bool elsewhere = false;
        const auto self = std::this_thread::get_id();
        ASSERT_EQ(BuildEBook(app, nullptr,
                             [&](const BuildProgress& p) {
                                 heard.push_back(p);
                                 elsewhere = elsewhere || std::this_thread::get_id() != self;
                             }),
                  1);
        EXPECT_FALSE(elsewhere);
        size_t files = 1;  // the splash
        uint64_t bytes = fs::file_size(app.project.splashFile);
        for (const auto& page : app.project.pages) {
            if (!page->included) continue;
            ++files;
            bytes += fs::file_size(NativePath(JoinStoredPath(app.project.projectDir, page->path)));
        }
        ASSERT_FALSE(heard.empty());
        EXPECT_EQ(heard.front().filesDone, 0u);
        EXPECT_EQ(heard.back().filesDone, files);
        EXPECT_EQ(heard.back().bytesDone, bytes);
        for (size_t i = 1; i < heard.size(); ++i) {
            EXPECT_EQ(heard[i].filesTotal, files);
            EXPECT_LE(heard[i].filesDone - heard[i - 1].filesDone, 1u);
            EXPECT_GE(heard[i].bytesDone, heard[i - 1].bytesDone);
        }
    }
}

// A budget far smaller than the files: they all go through, in order, and
// no more is held at once than the budget and the file whose turn it is
// (counted here with one more: this thread gives back a result's bytes just
// after the pipeline does).
TEST(BlobPipeline, TheBudgetBoundsWhatIsHeldAndNeverStopsTheNextResult) {
    for (const unsigned threads : {2u, 4u}) {
        constexpr uint64_t kBudget = 1000;
        BlobPipeline pipeline(threads, kBudget);
        std::atomic<uint64_t> held{0}, peak{0};
        const auto size = [](int i) { return uint64_t(200 + (i % 7) * 300); };
        int taken = 0;
        for (int i = 0; i < 200; ++i) {
            pipeline.Submit([&, i](BlobPipeline::Budget& budget) {
                budget.Take(size(i));
                const uint64_t now = held += size(i);
                for (uint64_t p = peak; now > p && !peak.compare_exchange_weak(p, now);) {
                }
                BlobPipeline::Made made(1);
                made[0].fileBytes = static_cast<uint64_t>(i);
                return made;
            });
            while (pipeline.Pending() > 8) {
                EXPECT_EQ(pipeline.Next().at(0).fileBytes, uint64_t(taken));
                held -= size(taken++);
            }
        }
        while (pipeline.Pending() > 0) {
            EXPECT_EQ(pipeline.Next().at(0).fileBytes, uint64_t(taken));
            held -= size(taken++);
        }
        EXPECT_EQ(taken, 200);
        EXPECT_LE(peak, kBudget + 2 * size(6)) << threads << " threads";
    }
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

// A rebuild takes what the link report found and concluded in unchanged
// pages from the link memo; when a page loses an anchor, the pages pointing
// into it are judged again. The findings are always those of a report
// that reads every page.
TEST_F(ParallelBuild, ARebuildsLinkReportIsTheOneOfReadingEveryPage) {
    AddPage("links\\index.htm", "<a href=two.htm#x>2</a>\n<a href=gone.htm>g</a>", true);
    AddPage("links\\two.htm", "<p id=x><a href=index.htm#nowhere>1</a>", true);
    AddPage("links\\three.htm", "<a href=two.htm#x>2</a>", true);
    // Each page of a chain points into the one before, which the other
    // thread may have read.
    for (int i = 1; i <= 16; ++i)
        AddPage("links\\chain" + std::to_string(i) + ".htm",
                "<p id=here><a href=chain" + std::to_string(i - 1) + ".htm#here>back</a>", true);
    AddPage("links\\chain0.htm", "<p id=here>", true);
    app.buildThreads = 2;
    const auto built = [&] {
        LinkReport links;
        EXPECT_EQ(BuildEBook(app, nullptr, {}, &links), 1);
        return LinkReportText(links.Findings(false));
    };
    const auto readingEveryPage = [&] {
        LinkReport links = LinkReportFor(app.project);
        for (size_t i = 0; i < links.FileCount(); ++i)
            if (links.Reads(i)) links.Add(i, ReadFile(links.File(i).diskPath));
        return LinkReportText(links.Findings(false));
    };
    const std::string linkMemo =
        BuildMemo::PathFor(*app.blobCacheFolder, app.project.projectDir) + ".links";
    // Without a cache the report keeps only findings, and looks fragments
    // up in pages another thread has read.
    const std::optional<std::string> cache = app.blobCacheFolder;
    app.blobCacheFolder = std::string();
    EXPECT_EQ(built(), readingEveryPage());
    app.blobCacheFolder = cache;
    EXPECT_EQ(built(), readingEveryPage());
    SettleMemo(app.project.ebookFile);
    const auto memoBytes = ReadFile(linkMemo);
    EXPECT_EQ(built(), readingEveryPage());
    EXPECT_EQ(ReadFile(linkMemo), memoBytes) << "every page taken from the memo";

    // two.htm changes but keeps its anchor: the pages pointing into it keep
    // their verdicts, brought up to its new blob, so that the build after
    // has nothing to judge again.
    const std::string two = app.project.projectDir + "/links/two.htm";
    test::WriteText(two, "<p id=x><a href=index.htm#nowhere>one</a>");
    EXPECT_EQ(built(), readingEveryPage());
    SettleMemo(app.project.ebookFile);
    const auto settled = ReadFile(linkMemo);
    EXPECT_EQ(built(), readingEveryPage());
    EXPECT_EQ(ReadFile(linkMemo), settled) << "nothing judged again";

    // two.htm loses its anchor; the second time, the memo has lost what the
    // pages hold, which is read from the earlier book instead.
    for (const bool foundLost : {false, true}) {
        test::WriteText(two, "<p id=x><a href=index.htm#nowhere>1</a>");
        EXPECT_EQ(built(), readingEveryPage());
        SettleMemo(app.project.ebookFile);
        if (foundLost)
            fs::remove(BuildMemo::PathFor(*app.blobCacheFolder, app.project.projectDir) + ".found");
        test::WriteText(two, "<p id=y>");
        const std::string lost = built();
        EXPECT_EQ(lost,
                  "no-fragment links/index.htm:1 two.htm#x\n"
                  "missing links/index.htm:2 gone.htm\n"
                  "no-fragment links/three.htm:1 two.htm#x\n")
            << foundLost;
        EXPECT_EQ(lost, readingEveryPage());
    }
}

}  // namespace
}  // namespace folivex
