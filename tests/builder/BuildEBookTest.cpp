// The build pipeline end to end on a fake stub: what the archive holds, and
// what is left on disk after each kind of failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>

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
public:  // the rows of the tables below prepare the fixture
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
    FaultPlan diskPlan;  // installed by the tests of a failing disk
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

// A build that fails keeps the previous e-book byte for byte and leaves no
// temporary file; the message names the output or the file that failed as
// the author knows them. A failed icon step still leaves a whole book.
struct EarlierBookCase {
    const char* name;
    std::function<void(BuildEBook&)> spoil;
    std::function<std::string(const BuildEBook&)> message;
    bool replaced;  // the new, complete book takes the output's place
};

class FailedBuild : public BuildEBook, public ::testing::WithParamInterface<EarlierBookCase> {};

TEST_P(FailedBuild, KeepsTheEarlierBookOrReplacesItWhole) {
    AddPage("index.htm", "home");
    AddPage("two.htm", "second");
    WriteText(dir / "splash.bmp", "BM");
    app.project.splashFile = dir / "splash.bmp";
    ASSERT_EQ(folivex::BuildEBook(app), 1);
    const auto earlier = ReadFile(app.project.ebookFile);

    app.project.title = "Second edition";
    GetParam().spoil(*this);
    std::optional<ScopedFaultPlan> faults;
    if (diskPlan.failAfterBytes != FaultPlan{}.failAfterBytes) faults.emplace(diskPlan);
    EXPECT_EQ(folivex::BuildEBook(app), 0);
    faults.reset();
    EXPECT_EQ(LastMessage(), GetParam().message(*this));
    EXPECT_EQ(prompts.waitDepth, 0);
    EXPECT_FALSE(std::filesystem::exists(app.project.ebookFile + ".building"));
    const auto now = ReadFile(app.project.ebookFile);
    if (!GetParam().replaced) {
        EXPECT_EQ(now, earlier);
        return;
    }
    ASSERT_GT(now.size(), stub.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), now.begin()));  // the stub's own icon
    EXPECT_EQ(Find(ReadArchive(app.project.ebookFile), 350, 6)->data,
              test::Bytes("Second edition", 15));
}

std::string ReadFailure(const std::string& file, const std::string& text) {
    return "Cannot read file " + file + "\n" + file + text;
}

INSTANTIATE_TEST_SUITE_P(
    , FailedBuild,
    ::testing::Values(
        EarlierBookCase{
            "MissingPage",
            [](BuildEBook& fx) { std::filesystem::remove(fx.app.project.projectDir + "/two.htm"); },
            [](const BuildEBook& fx) {
                return ReadFailure(fx.app.project.projectDir + "\\two.htm", " was not found.");
            },
            false},
        EarlierBookCase{"MissingSplash",
                        [](BuildEBook& fx) { std::filesystem::remove(fx.app.project.splashFile); },
                        [](const BuildEBook& fx) {
                            return ReadFailure(fx.app.project.splashFile, " was not found.");
                        },
                        false},
        EarlierBookCase{"DiskFullInTheStub",
                        [](BuildEBook& fx) { fx.diskPlan.failAfterBytes = 100; },
                        [](const BuildEBook& fx) {
                            return "Cannot save E-Book file:\nDisk full while accessing " +
                                   fx.app.project.ebookFile + ".";
                        },
                        false},
        EarlierBookCase{"DiskFullInTheArchive",
                        [](BuildEBook& fx) { fx.diskPlan.failAfterBytes = fx.stub.size() + 10; },
                        [](const BuildEBook& fx) {
                            return "Cannot read file " + fx.app.project.ebookFile +
                                   "\nDisk full while accessing " + fx.app.project.ebookFile + ".";
                        },
                        false},
        EarlierBookCase{"UnsuitableIcon",
                        [](BuildEBook& fx) {
                            WriteText(fx.dir / "icon.ico", "no icon at all");
                            fx.app.project.iconFile = fx.dir / "icon.ico";
                        },
                        [](const BuildEBook&) {
                            return std::string(
                                "Invalid or unsuitable .ico file. The icon file must contain "
                                "32x32 16-color image.");
                        },
                        true}),
    [](const auto& param) { return std::string(param.param.name); });

// The output is replaced through its link and keeps its permission bits; a
// new output gets the usual mode of a new file.
TEST_F(BuildEBook, TheOutputKeepsItsLinkAndPermissions) {
    namespace fs = std::filesystem;
    AddPage("index.htm", "home");
    WriteText(dir / "real/book.exe", "an earlier e-book");
    fs::permissions(dir / "real/book.exe", fs::perms(0751));
    fs::create_symlink("real/book.exe", dir / "link.exe");
    app.project.ebookFile = dir / "link.exe";
    ASSERT_EQ(folivex::BuildEBook(app), 1) << LastMessage();
    EXPECT_TRUE(fs::is_symlink(dir / "link.exe"));
    EXPECT_EQ(fs::status(dir / "real/book.exe").permissions(), fs::perms(0751));
    EXPECT_NE(Find(ReadArchive(dir / "real/book.exe"), 350, 14), nullptr);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), {}), 1);

    app.project.ebookFile = dir / "new.exe";
    ASSERT_EQ(folivex::BuildEBook(app), 1);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(fs::status(app.project.ebookFile).permissions(), fs::perms(0666 & ~mask));
}

// Where no temporary file can be made, the book is written in place.
TEST_F(BuildEBook, AFolderThatTakesNoNewFileGetsTheBookInPlace) {
    const test::AsOrdinaryUser as = test::RunAsOrdinaryUser();
    if (as == test::AsOrdinaryUser::impossible) GTEST_SKIP() << "no setpriv or runuser for root";
    if (as == test::AsOrdinaryUser::ran) return;
    AddPage("index.htm", "home");
    std::filesystem::create_directories(dir / "closed");
    app.project.ebookFile = dir / "closed/book.exe";
    WriteText(app.project.ebookFile, "an earlier e-book");
    ASSERT_EQ(chmod((dir / "closed").c_str(), 0555), 0);
    ASSERT_EQ(folivex::BuildEBook(app), 1) << LastMessage();
    EXPECT_NE(Find(ReadArchive(app.project.ebookFile), 350, 14), nullptr);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "closed"), {}), 1);
}

// An entry that is the e-book itself (built inside its own folder) is left
// out of it; its id stays unused, as for an excluded page.
TEST_F(BuildEBook, AnEntryThatIsTheOutputIsLeftOutWithAWarning) {
    AddPage("index.htm", "home");
    AddPage("out.exe", "an earlier e-book");
    AddPage("two.htm", "second");
    app.project.ebookFile = app.project.projectDir + "/out.exe";
    std::vector<std::string> warnings;
    ASSERT_EQ(folivex::BuildEBook(app, &warnings), 1) << LastMessage();
    EXPECT_EQ(warnings, std::vector<std::string>{
                            "out.exe is the e-book being built; it is left out of the book"});
    const auto first = ReadFile(app.project.ebookFile);
    const auto entries = ReadArchive(app.project.ebookFile);
    EXPECT_EQ(Find(entries, 349, 2), nullptr);
    const auto pages = DecodePageDirectory(Find(entries, 350, 2)->data);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1].path, "two.htm");
    EXPECT_EQ(pages[1].id, 3);

    // Without a list the warning is a message; the book is the same.
    ASSERT_EQ(folivex::BuildEBook(app), 1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, warnings[0]);
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ReadFile(app.project.ebookFile), first);
}

// Of names that differ only in case, the page is read from the file the
// scan made its entry of: the first in listing order.
TEST_F(BuildEBook, PagesAreReadFromTheFileTheScanChose) {
    WriteText(app.project.projectDir + "/Index.htm", "the first");
    WriteText(app.project.projectDir + "/index.htm", "the second");
    WriteText(app.project.projectDir + "/Guide/a.htm", "in Guide");
    WriteText(app.project.projectDir + "/guide/b.htm", "in guide");
    for (const char* path : {"index.htm", "guide\\a.htm", "guide\\b.htm"}) {
        auto page = std::make_unique<CPieceElem>();
        page->path = path;
        app.project.pages.push_back(std::move(page));
    }
    ASSERT_EQ(folivex::BuildEBook(app), 1) << LastMessage();
    const auto entries = ReadArchive(app.project.ebookFile);
    EXPECT_EQ(InflateBlob(Find(entries, 349, 1)->data), test::Bytes("the first", 9));
    EXPECT_EQ(InflateBlob(Find(entries, 349, 2)->data), test::Bytes("in Guide", 8));
    EXPECT_EQ(InflateBlob(Find(entries, 349, 3)->data), test::Bytes("in guide", 8));
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
