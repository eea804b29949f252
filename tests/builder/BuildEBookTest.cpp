// The build pipeline end to end on a fake stub: what the archive holds, and
// what is left on disk after each kind of failure.
#include <gtest/gtest.h>

#include <filesystem>

#include "builder/BuildEBook.h"
#include "format/ArchiveIndex.h"
#include "format/Container.h"
#include "platform/FaultInjection.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/support/FakePe.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using test::WriteText;

struct Entry {
    int type, id;
    std::vector<uint8_t> data;
};

std::vector<Entry> ReadArchive(const std::string& path) {
    CFile file(path, CFile::modeRead);
    const auto index = ArchiveIndex::Load(file);
    EXPECT_TRUE(index.has_value());
    std::vector<Entry> out;
    if (!index) return out;
    for (const auto& e : index->Entries()) {
        Entry entry{e.type, e.id, {}};
        ArchiveIndex::ReadData(file, e, entry.data);
        out.push_back(std::move(entry));
    }
    return out;
}

std::vector<std::pair<int, int>> Keys(const std::vector<Entry>& entries) {
    std::vector<std::pair<int, int>> keys;
    for (const auto& e : entries) keys.emplace_back(e.type, e.id);
    return keys;
}

const Entry* Find(const std::vector<Entry>& entries, int type, int id) {
    for (const auto& e : entries)
        if (e.type == type && e.id == id) return &e;
    return nullptr;
}

class BuildEBook : public ::testing::Test {
protected:
    BuildEBook() : app(prompts) {
        stub = test::MakeFakePe().bytes;
        app.viewerStub = stub;
        app.project.projectDir = dir / "book";
        app.project.ebookFile = dir / "out.exe";
        app.project.author = "";
        app.project.url = "http://example.com";
    }

    void AddPage(const std::string& path, const std::string& content, bool included = true,
                 bool inPageSequence = true, bool inSearch = true) {
        std::string onDisk = path;
        for (char& c : onDisk)
            if (c == '\\') c = '/';
        WriteText(app.project.projectDir + "/" + onDisk, content);
        auto page = std::make_unique<CPieceElem>();
        page->path = path;
        page->included = included;
        page->inPageSequence = inPageSequence;
        page->inSearch = inSearch;
        app.project.pages.push_back(std::move(page));
    }

    std::string LastMessage() const {
        return prompts.messages.empty() ? "" : prompts.messages.back().text;
    }

    TempDir dir;
    ScriptedPrompts prompts;
    CBookApp app;
    std::vector<uint8_t> stub;
};

TEST_F(BuildEBook, WritesTheStubThenEveryEntryInItsPlace) {
    AddPage("index.htm", "<h1>Home</h1>");
    AddPage("skip.htm", "not in the book", false);
    AddPage("sub\\pic.png", "PNG", true, false, false);
    WriteText(dir / "splash.bmp", "BM splash");
    app.project.splashFile = dir / "splash.bmp";
    app.project.showAboutAtStart = 1;
    app.project.toolbarButtons[7] = 0;

    ASSERT_EQ(folivex::BuildEBook(app), 1) << LastMessage();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(prompts.waitCursorShows, 1);
    EXPECT_EQ(prompts.waitDepth, 0);

    const auto bytes = ReadFile(app.project.ebookFile);
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), bytes.begin()));
    CFile file(app.project.ebookFile, CFile::modeRead);
    EXPECT_EQ(ArchiveIndex::Load(file)->Base(), stub.size());

    const auto entries = ReadArchive(app.project.ebookFile);
    // Page ids follow the place in the list, so the excluded page leaves a gap.
    EXPECT_EQ(Keys(entries), (std::vector<std::pair<int, int>>{{349, 1},
                                                               {349, 3},
                                                               {350, 2},
                                                               {350, 15},
                                                               {350, 3},
                                                               {350, 6},
                                                               {350, 7},
                                                               {350, 8},
                                                               {350, 9},
                                                               {350, 10},
                                                               {350, 12},
                                                               {350, 14}}));
    EXPECT_EQ(InflateBlob(Find(entries, 349, 3)->data), (std::vector<uint8_t>{'P', 'N', 'G'}));
    EXPECT_EQ(Find(entries, 349, 1)->data, MakeBlob(test::Bytes("<h1>Home</h1>", 13)));
    EXPECT_EQ(InflateBlob(Find(entries, 350, 15)->data), test::Bytes("BM splash", 9));

    const auto pages = DecodePageDirectory(Find(entries, 350, 2)->data);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].path, "index.htm");
    EXPECT_EQ(pages[1].path, "sub/pic.png");
    EXPECT_EQ(pages[1].id, 3);
    EXPECT_EQ(pages[1].inPageSequence, 0);
    EXPECT_EQ(pages[1].inSearch, 0);

    const auto settings = DecodeSettings(Find(entries, 350, 3)->data);
    EXPECT_EQ(settings.showAboutAtStart, 1);
    EXPECT_EQ(settings.toolbarButtons[7], 0);
    EXPECT_EQ(Find(entries, 350, 6)->data, test::Bytes("E-Book", 7));
    EXPECT_EQ(Find(entries, 350, 7)->data, std::vector<uint8_t>{0});  // empty author
    EXPECT_EQ(Find(entries, 350, 14)->data, test::Bytes("EBOOK", 6));
}

TEST_F(BuildEBook, WithoutIncludedPagesThereIsNoPageTypeAndNoDirectory) {
    AddPage("index.htm", "x", false);
    ASSERT_EQ(folivex::BuildEBook(app), 1);
    EXPECT_EQ(
        Keys(ReadArchive(app.project.ebookFile)),
        (std::vector<std::pair<int, int>>{
            {350, 3}, {350, 6}, {350, 7}, {350, 8}, {350, 9}, {350, 10}, {350, 12}, {350, 14}}));
}

TEST_F(BuildEBook, EmptyFilesGiveTheBlobOfNothing) {
    AddPage("empty.htm", "");
    WriteText(dir / "empty.bmp", "");
    app.project.splashFile = dir / "empty.bmp";
    ASSERT_EQ(folivex::BuildEBook(app), 1);
    const auto entries = ReadArchive(app.project.ebookFile);
    const std::vector<uint8_t> emptyBlob = {0, 0, 0, 0, 0x78, 0x9C, 0x03, 0x00, 0, 0, 0, 1};
    EXPECT_EQ(Find(entries, 349, 1)->data, emptyBlob);
    EXPECT_EQ(Find(entries, 350, 15)->data, emptyBlob);
}

TEST_F(BuildEBook, AMissingPageRemovesTheOutputAndNamesThePage) {
    AddPage("index.htm", "home");
    AddPage("gone.htm", "soon gone");
    std::filesystem::remove(app.project.projectDir + "/gone.htm");
    EXPECT_EQ(folivex::BuildEBook(app), 0);
    const std::string page = app.project.projectDir + "\\gone.htm";
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Cannot read file " + page + "\n" + page + " was not found.");
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Stop);
    EXPECT_FALSE(std::filesystem::exists(app.project.ebookFile));
    EXPECT_EQ(prompts.waitDepth, 0);
}

TEST_F(BuildEBook, ALockedOutputIsLeftAsItWas) {
    AddPage("index.htm", "home");
    WriteText(app.project.ebookFile, "the running book");
    CFile holder(app.project.ebookFile, CFile::modeRead | CFile::shareExclusive);
    EXPECT_EQ(folivex::BuildEBook(app), 0);
    EXPECT_EQ(LastMessage(),
              "Cannot save E-Book file:\nA sharing violation occurred while accessing " +
                  app.project.ebookFile + ".");
    EXPECT_EQ(ReadFile(app.project.ebookFile), test::Bytes("the running book", 16));
}

TEST_F(BuildEBook, AStubCutShortByAFullDiskIsRemoved) {
    AddPage("index.htm", "home");
    FaultPlan plan;
    plan.failAfterBytes = 100;
    {
        ScopedFaultPlan faults(plan);
        EXPECT_EQ(folivex::BuildEBook(app), 0);
    }
    EXPECT_EQ(LastMessage(),
              "Cannot save E-Book file:\nDisk full while accessing " + app.project.ebookFile + ".");
    EXPECT_FALSE(std::filesystem::exists(app.project.ebookFile));
}

TEST_F(BuildEBook, AnArchiveThatCannotBeWrittenIsRemoved) {
    AddPage("index.htm", "home");
    FaultPlan plan;
    plan.failAfterBytes = stub.size() + 10;  // the stub fits, the archive does not
    {
        ScopedFaultPlan faults(plan);
        EXPECT_EQ(folivex::BuildEBook(app), 0);
    }
    EXPECT_EQ(LastMessage(), "Cannot read file " + app.project.ebookFile +
                                 "\nDisk full while accessing " + app.project.ebookFile + ".");
    EXPECT_FALSE(std::filesystem::exists(app.project.ebookFile));
}

TEST_F(BuildEBook, RefusesMoreEntriesThanSixteenBitIdsCanNumber) {
    for (int i = 0; i < 65536; ++i) {
        auto page = std::make_unique<CPieceElem>();
        page->path = "p" + std::to_string(i) + ".htm";
        page->included = 0;
        app.project.pages.push_back(std::move(page));
    }
    EXPECT_EQ(folivex::BuildEBook(app), 0);
    EXPECT_NE(LastMessage().find("65,535"), std::string::npos) << LastMessage();
    EXPECT_FALSE(std::filesystem::exists(app.project.ebookFile));

    app.project.pages.pop_back();  // 65,535 is still fine
    EXPECT_EQ(folivex::BuildEBook(app), 1) << LastMessage();
}

TEST_F(BuildEBook, AFileTooLargeForOneEntryIsRefusedBeforeItIsRead) {
    AddPage("index.htm", "home");
    AddPage("movie.avi", "");
    std::filesystem::resize_file(app.project.projectDir + "/movie.avi", 0x90000000ull);  // sparse
    EXPECT_EQ(folivex::BuildEBook(app), 0);
    EXPECT_NE(LastMessage().find("Cannot build the e-book:\n" + app.project.projectDir +
                                 "\\movie.avi is larger "
                                 "than 2 GiB"),
              std::string::npos)
        << LastMessage();
    EXPECT_FALSE(std::filesystem::exists(app.project.ebookFile));
}

TEST_F(BuildEBook, WithoutAStubNothingIsWritten) {
    app.viewerStub = {};
    EXPECT_EQ(folivex::BuildEBook(app), 0);
    EXPECT_NE(LastMessage().find("viewer"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(app.project.ebookFile));
}

}  // namespace
}  // namespace folivex
