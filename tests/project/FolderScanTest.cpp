// The folder scan: what becomes an entry, where, and how a re-scan merges.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "platform/DirEnum.h"
#include "platform/PathResolver.h"
#include "project/FolderScan.h"
#include "tests/project/ProjectTestSupport.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::WriteText;

const char* kNoPages = "No HTML files in this folder. Please try again.";

class FolderScan : public test::AppTest {
protected:
    std::string Book() const { return dir / "book"; }
    void Add(const std::string& relative) {
        WriteText(dir / ("book/" + relative), "<html></html>");
    }

    ScanReport Scan(const std::string& folder, const std::vector<std::string>& leaveOut = {}) {
        prompts.messages.clear();
        return ScanProjectFolder(
            app, folder, [this] { ++fills; }, leaveOut);
    }

    // Scans into a fresh project, telling a resolver where each entry's
    // file is, and checks that it is where a resolver of its own finds it.
    void ExpectScanToFindWhatAResolverFinds(const std::string& folder,
                                            const std::vector<std::string>& leaveOut = {}) {
        std::vector<KnownFile> skip;
        for (const std::string& path : leaveOut) skip.emplace_back(path);
        PathResolver told(folder, skip), itself(folder, skip);
        app.ResetProject();
        ScanProjectFolder(app, folder, {}, leaveOut, &told);
        ASSERT_FALSE(app.project.pages.empty());
        for (const auto& entry : app.project.pages) {
            const auto& found = told.Resolve(entry->path).found;
            const auto& expected = itself.Resolve(entry->path).found;
            ASSERT_EQ(found.has_value(), expected.has_value()) << entry->path;
            if (!found) continue;
            EXPECT_EQ(found->path, expected->path) << entry->path;
            EXPECT_EQ(found->spelled, expected->spelled) << entry->path;
        }
    }

    std::string Flags() const {
        std::string s;
        for (const auto& e : app.project.pages)
            s += std::to_string(e->inPageSequence) + std::to_string(e->inSearch) +
                 std::to_string(e->included) + " ";
        return s;
    }

    int fills = 0;
};

TEST_F(FolderScan, SubfolderFilesComeInWhereTheFolderWasMet) {
    for (const char* f : {"a.htm", "Guide/B.html", "Guide/Img/C.png", "guide2.txt", "z.html"})
        Add(f);
    EXPECT_TRUE(Scan(Book()).warnings.empty());
    EXPECT_EQ(Paths(), "a.htm guide\\b.html guide\\img\\c.png guide2.txt z.html");
    EXPECT_EQ(Flags(), "111 111 001 001 111 ");
    EXPECT_EQ(app.project.projectDir, Book());
    EXPECT_EQ(app.lastProjectDir, Book());
    for (const auto& e : app.project.pages) EXPECT_EQ(e->foundInScan, 1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(prompts.waitCursorShows, 1);
    EXPECT_EQ(prompts.waitDepth, 0);
    ExpectScanToFindWhatAResolverFinds(Book());
}

TEST_F(FolderScan, HiddenItemsNeverAppear) {
    for (const char* f :
         {"index.html", ".secret.html", ".git/config.html", "sub/.x/deep.htm", "sub/ok.htm"})
        Add(f);
    Scan(Book());
    EXPECT_EQ(Paths(), "index.html sub\\ok.htm");
}

TEST_F(FolderScan, OnlyLowerCaseHtmAndHtmlExtensionsArePages) {
    for (const char* f :
         {"Upper.HTM", "mixed.Html", "README", "trail.", "two.dots.htm", "x.htmx", "y.shtml"})
        Add(f);
    Scan(Book());
    // Listed lower case, but the extension test used the name on disk.
    EXPECT_EQ(Paths(), "mixed.html readme trail. two.dots.htm upper.htm x.htmx y.shtml");
    EXPECT_EQ(Flags(), "001 001 001 111 001 001 001 ");
}

TEST_F(FolderScan, FolderWithoutPagesShowsTheMessageAndKeepsTheFiles) {
    fs::create_directories(Book());
    Scan(Book());
    EXPECT_TRUE(app.project.pages.empty());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kNoPages);
    EXPECT_EQ(prompts.messages[0].buttons, MsgButtons::OK);
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);

    Add("logo.png");
    Add("photo.jpg");
    Scan(Book());
    EXPECT_EQ(Paths(), "logo.png photo.jpg");
    EXPECT_EQ(Flags(), "001 001 ");
    EXPECT_EQ(LastMessage(), kNoPages);
}

TEST_F(FolderScan, RescanKeepsOrderAndAttributesAndAppendsNewFiles) {
    for (const char* f : {"a.htm", "b.htm", "c.htm", "d.png", "gone.htm"}) Add(f);
    Scan(Book());
    auto& pages = app.project.pages;
    // The author makes c the home page, excludes b, takes a out of the search.
    std::rotate(pages.begin(), pages.begin() + 2, pages.begin() + 3);
    pages[2]->included = 0;
    pages[1]->inSearch = 0;
    ASSERT_EQ(Paths(), "c.htm a.htm b.htm d.png gone.htm");
    const CPieceElem* kept = pages[0].get();

    fs::remove(dir / "book/gone.htm");
    fs::rename(dir / "book/a.htm", dir / "book/A.HTM");  // only the case changed
    Add("new/n.htm");
    Add("0first.htm");
    Scan(Book());
    EXPECT_EQ(Paths(), "c.htm a.htm b.htm d.png 0first.htm new\\n.htm");
    EXPECT_EQ(Flags(), "111 101 110 001 111 111 ");
    EXPECT_EQ(pages[0].get(), kept);  // the same entry, not a copy
}

TEST_F(FolderScan, RescanIntoAnotherFolder) {
    for (const char* f : {"a.htm", "b.htm", "img/x.png"}) Add(f);
    Scan(Book());
    app.project.pages[2]->included = 0;
    WriteText(dir / "other/IMG/X.png", "x");
    WriteText(dir / "other/c.htm", "x");
    WriteText(dir / "other/b.htm", "x");
    Scan(dir / "other");
    EXPECT_EQ(Paths(), "b.htm img\\x.png c.htm");
    EXPECT_EQ(Flags(), "111 000 111 ");
    EXPECT_EQ(app.project.projectDir, dir / "other");
}

TEST_F(FolderScan, FolderEndingInASeparatorIsCutAlone) {
    for (const char* f : {"a.htm", "sub/b.htm"}) Add(f);
    Scan(Book() + "/");
    EXPECT_EQ(Paths(), "a.htm sub\\b.htm");
    // The stored form with "\" separators works the same.
    Scan(Book() + "\\");
    EXPECT_EQ(Paths(), "a.htm sub\\b.htm");
    ExpectScanToFindWhatAResolverFinds(Book() + "/");
}

TEST_F(FolderScan, LinksAreFollowedButNoFolderIsEnteredTwice) {
    for (const char* f : {"a.htm", "sub/b.htm"}) Add(f);
    WriteText(dir / "outside/o.htm", "x");
    fs::create_directory_symlink(dir / "book", dir / "book/sub/loop");  // back to the top
    fs::create_directory_symlink(dir / "outside", dir / "book/linked");
    fs::create_directory_symlink(dir / "outside", dir / "book/linked2");
    Scan(Book());
    EXPECT_EQ(Paths(), "a.htm linked\\o.htm sub\\b.htm");
    ExpectScanToFindWhatAResolverFinds(Book());
}

TEST_F(FolderScan, FolderThatCannotBeListed) {
    for (const char* f : {"a.htm", "b.htm"}) Add(f);
    Scan(Book());
    ASSERT_EQ(app.project.pages.size(), 2u);
    // The project folder itself: every entry goes, then the message.
    Scan(dir / "missing");
    EXPECT_TRUE(app.project.pages.empty());
    EXPECT_EQ(LastMessage(), kNoPages);
    EXPECT_EQ(app.lastProjectDir, dir / "missing");
}

// A folder that cannot be listed says nothing about the files in it: their
// entries stay where they were, with the author's choices.
TEST_F(FolderScan, UnreadableSubfolderKeepsItsEntries) {
    const test::AsOrdinaryUser as = test::RunAsOrdinaryUser();
    if (as == test::AsOrdinaryUser::impossible) GTEST_SKIP() << "no setpriv or runuser for root";
    if (as == test::AsOrdinaryUser::ran) return;
    for (const char* f : {"a.htm", "closed/b.htm", "closed/c.png", "z.htm"}) Add(f);
    Scan(Book());
    auto& pages = app.project.pages;
    std::rotate(pages.begin(), pages.begin() + 2, pages.begin() + 3);  // c.png first
    pages[0]->included = 0;
    pages[2]->inSearch = 0;
    ASSERT_EQ(Paths(), "closed\\c.png a.htm closed\\b.htm z.htm");
    ASSERT_EQ(chmod((dir / "book/closed").c_str(), 0), 0);
    fs::remove(dir / "book/z.htm");

    ScanReport report = Scan(Book());
    EXPECT_EQ(Paths(), "closed\\c.png a.htm closed\\b.htm");
    EXPECT_EQ(Flags(), "000 111 101 ");
    EXPECT_EQ(report.warnings,
              std::vector<std::string>{"The folder closed could not be listed (Permission "
                                       "denied); the 2 entries under it are kept as they were"});

    // A first scan has no entries to keep.
    app.ResetProject();
    report = Scan(Book());
    EXPECT_EQ(Paths(), "a.htm");
    EXPECT_EQ(report.warnings,
              std::vector<std::string>{"The folder closed could not be listed (Permission "
                                       "denied); its files are left out"});
}

// Stored paths are lower case, so names that differ only in case make one
// entry: the first met, with its own attributes, and a warning.
struct CaseCollision {
    const char* name;
    std::vector<const char*> files;
    const char* paths;
    const char* flags;
    std::vector<std::string> warnings;
};

class FolderScanCollisions : public FolderScan,
                             public ::testing::WithParamInterface<CaseCollision> {};

TEST_P(FolderScanCollisions, KeepTheFirstAndSaySo) {
    for (const char* f : GetParam().files) Add(f);
    const ScanReport report = Scan(Book());
    EXPECT_EQ(Paths(), GetParam().paths);
    EXPECT_EQ(Flags(), GetParam().flags);
    EXPECT_EQ(report.warnings, GetParam().warnings);
    // A re-scan finds the same and says it again.
    EXPECT_EQ(Scan(Book()).warnings, GetParam().warnings);
    EXPECT_EQ(Paths(), GetParam().paths);
    ExpectScanToFindWhatAResolverFinds(Book());
}

INSTANTIATE_TEST_SUITE_P(
    , FolderScanCollisions,
    ::testing::Values(
        CaseCollision{"UpperFirst",
                      {"page.htm", "Page.htm"},
                      "page.htm",
                      "111 ",
                      {"Page.htm and page.htm have the same name in the book; only Page.htm is "
                       "included"}},
        CaseCollision{"ExtensionAsWrittenByTheFirst",
                      {"caf\xC3\xA9.html", "Caf\xC3\xA9.HTML"},
                      "caf\xC3\xA9.html",
                      "001 ",
                      {"Caf\xC3\xA9.HTML and caf\xC3\xA9.html have the same name in the book; "
                       "only Caf\xC3\xA9.HTML is included"}},
        CaseCollision{"InFoldersSpelledOtherwise",
                      {"Guide/x.htm", "guide/X.htm", "guide/y.htm"},
                      "guide\\x.htm guide\\y.htm",
                      "111 111 ",
                      {"Guide/x.htm and guide/X.htm have the same name in the book; only "
                       "Guide/x.htm is included"}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(FolderScan, NamesHoldingABackslashAreLeftOutWithAWarning) {
    for (const char* f : {"a\\b.htm", "odd\\dir/z.htm", "sub/c\\d.png", "ok.htm"}) Add(f);
    const ScanReport report = Scan(Book());
    EXPECT_EQ(Paths(), "ok.htm");
    EXPECT_EQ(report.warnings,
              (std::vector<std::string>{
                  "a\\b.htm is left out: a name in the book cannot hold \"\\\"",
                  "odd\\dir and everything in it are left out: a name in the book cannot hold "
                  "\"\\\"",
                  "sub/c\\d.png is left out: a name in the book cannot hold \"\\\""}));
}

// The e-book being built is never an entry of itself, under whatever name
// it is met.
TEST_F(FolderScan, TheFilesOfTheBuildAreLeftOut) {
    Add("index.htm");
    WriteText(dir / "book/out/Book.exe", "the previous e-book");
    fs::create_symlink(dir / "book/out/Book.exe", dir / "book/alias.exe");
    WriteText(dir / "book/out/book.exe", "another file, spelled otherwise");
    const ScanReport report = Scan(Book(), {dir / "book/out/Book.exe", dir / "book/out/gone.tmp"});
    EXPECT_EQ(Paths(), "index.htm out\\book.exe");
    EXPECT_EQ(report.warnings,
              (std::vector<std::string>{
                  "alias.exe is the e-book being built; it is left out of the book",
                  "out/Book.exe is the e-book being built; it is left out of the book"}));
    ExpectScanToFindWhatAResolverFinds(Book(), {dir / "book/out/Book.exe"});
}

TEST_F(FolderScan, NonAsciiNamesAreLowerCasedWholly) {
    Add("\xC3\x89T\xC3\x89/\xC3\x80.htm");  // ÉTÉ/À.htm
    Scan(Book());
    EXPECT_EQ(Paths(), "\xC3\xA9t\xC3\xA9\\\xC3\xA0.htm");
}

}  // namespace
}  // namespace folivex
