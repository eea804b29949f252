// folivexc build, make, info, extract and verify, run as the user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "cli/ProgressLine.h"
#include "format/Container.h"
#include "format/UpdateArchive.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/FakePe.h"
#include "tests/support/HandMadeBook.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::ReadText;
using test::TempDir;
using test::WriteFile;
using test::WriteText;

class BookCommands : public ::testing::Test {
protected:
    BookCommands() {
        stub = dir / "stub.exe";
        WriteFile(stub, test::MakeFakePe().bytes);
    }

    test::CliResult Run(const std::vector<std::string>& args) {
        return test::RunFolivexc(args, dir);
    }

    TempDir dir;
    std::string stub;
    const std::string sample = FOLIVEX_SAMPLE_BOOK;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The sample book has no broken reference; a copy with one of each kind
// the command line can meet gets them reported after the build, which
// still succeeds unless --strict; check says the same without building.
TEST_F(BookCommands, BuildsReportBrokenLinksAndCheckReadsWithoutBuilding) {
    auto r = Run({"check", sample});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "No broken references in " + sample + ".\n");
    EXPECT_EQ(r.err, "");

    const std::string broken = dir / "broken";
    fs::copy(sample, broken, fs::copy_options::recursive);
    WriteText(broken + "/extra.html",
              "<link rel=stylesheet href=style.css>\n<a href=gone.html>gone</a>\n"
              "<img src=\"Pictures/none.png\"> <a href=viewer.html#nowhere>v</a>\n"
              "<a href=QUICK-START.html>q</a> <a href=\"https://example.com/\">web</a>\n");
    const std::string book = dir / "broken.exe";
    r = Run({"make", broken, "-o", book, "--stub", stub, "--external", "--report", dir / "r.txt"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Home page: index.html\nE-Book " + book + " created successfully.\n");
    EXPECT_TRUE(
        r.err.starts_with("Link report: 2 missing, 1 no-fragment, 1 case-only, 1 external\n"
                          "missing: not in the folder\n  extra.html:2: gone.html\n  extra.html:3: "
                          "Pictures/none.png\n"))
        << r.err;
    EXPECT_EQ(ReadText(dir / "r.txt"),
              "missing extra.html:2 gone.html\n"
              "missing extra.html:3 Pictures/none.png\n"
              "no-fragment extra.html:3 viewer.html#nowhere\n"
              "case-only extra.html:4 QUICK-START.html\n"
              "external extra.html:4 https://example.com/\n");

    r = Run({"make", broken, "-o", book, "--stub", stub, "--strict"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(fs::exists(book));  // built all the same
    r = Run({"make", broken, "-o", book, "--stub", stub, "--no-link-report"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    for (const char* other : {"--strict", "--external"}) {
        EXPECT_EQ(Run({"make", broken, "-o", book, "--no-link-report", other}).exitCode, 2);
        EXPECT_EQ(Run({"build", "p.ebp", other, "--no-link-report"}).exitCode, 2);
    }
    EXPECT_EQ(Run({"check", broken, "--no-link-report"}).exitCode, 2);
    r = Run({"check", broken, "--strict", "--report", dir / "r.json"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(ReadText(dir / "r.json").find("\"missing\": 2, \"excluded\": 0"), std::string::npos);
    EXPECT_EQ(Run({"check", broken, "--report"}).exitCode, 2);
}

TEST_F(BookCommands, MakeVerifyInfoAndExtractGiveTheSampleBookBack) {
    ASSERT_TRUE(fs::is_directory(sample));
    const std::string book = dir / "sample.exe";
    auto r = Run({"make", sample, "-o", book, "--stub", stub, "--title", "Sample \"Book\"",
                  "--no-toolbar", "--buttons", "home,,prevnext,fontsize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Home page: index.html\nE-Book " + book + " created successfully.\n");
    // stderr is no terminal here: no progress line.
    EXPECT_EQ(r.err, "");

    r = Run({"verify", book});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "OK")) << r.out;

    r = Run({"info", book, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* part :
         {"\"base\": 2048,", "\"marker\": true", "\"splashSize\": null", "\"showToolbar\": 0",
          "\"home\": 1", "\"prevNext\": 1", "\"fontSize\": 1", "\"search\": 0", "\"exit\": 0",
          "\"title\": \"Sample \\\"Book\\\"\"", "\"author\": \"*Your Name*\"",
          "{\"type\": 350, \"id\": 14, \"size\": 6}", "\"path\": \"index.html\", \"id\": 1"})
        EXPECT_TRUE(Contains(r.out, part)) << part << "\n" << r.out;

    const std::string out = dir / "extracted";
    r = Run({"extract", book, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(sample)) {
        if (!item.is_regular_file() || item.path().filename().string().front() == '.') continue;
        ++files;
        const std::string relative = fs::relative(item.path(), sample).string();
        EXPECT_EQ(ReadFile(out + "/" + relative), ReadFile(item.path().string())) << relative;
    }
    size_t extracted = 0;
    for (const auto& item : fs::recursive_directory_iterator(out))
        extracted += item.is_regular_file();
    EXPECT_EQ(extracted, files);
    EXPECT_GT(files, 3u);
}

// info shows every record of a book, as text and as JSON, to the byte;
// a record that is missing says so.
TEST_F(BookCommands, InfoShowsEveryRecordOfABook) {
    test::BookLayout layout;
    layout.pages = {{"index.htm", "<p>Hi</p>", 1, 1}, {"caf\xE9/b.png", "png", 0, 0}};
    layout.splash = true;
    layout.settings = {1, 0, 0, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 0};
    layout.texts[6] = "A <Test> \"Book\"";
    const auto entries = test::BookEntries(layout);
    WriteFile(dir / "b.exe", test::MakeBook(std::vector<uint8_t>(16, 0), entries));
    std::string listed, listedJson;
    for (const auto& e : entries) {
        const std::string type = std::to_string(e.type), id = std::to_string(e.id),
                          size = std::to_string(e.data.size());
        listed += "  type " + type + " id " + id + " size " + size + "\n";
        listedJson += std::string(listedJson.empty() ? "\n    " : ",\n    ") +
                      "{\"type\": " + type + ", \"id\": " + id + ", \"size\": " + size + "}";
    }
    const std::string flags[] = {"showAboutAtStart",
                                 "startMaximized",
                                 "startFullScreen",
                                 "showToolbar",
                                 "home",
                                 "prevNext",
                                 "history",
                                 "copy",
                                 "search",
                                 "fullScreen",
                                 "fontSize",
                                 "print",
                                 "about",
                                 "exit"};
    std::string flagsText, flagsJson;
    for (size_t i = 0; i < 14; ++i) {
        const std::string value = std::to_string(layout.settings[i]);
        flagsText += " " + flags[i] + "=" + value;
        flagsJson += (i ? ", \"" : "\"") + flags[i] + "\": " + value;
    }

    auto r = Run({"info", dir / "b.exe"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "archive at offset 16\nentries:\n" + listed +
                         "pages: 2\n"
                         "  id    seq search size        path\n"
                         "  1     1   1      9           index.htm\n"
                         "  2     0   0      3           caf\xE9/b.png\n"
                         "settings:" +
                         flagsText +
                         "\n"
                         "title: A <Test> \"Book\"\n"
                         "author: An Author\n"
                         "copyright: (c) 2024\n"
                         "url: https://example.org/\n"
                         "email: a@example.org\n"
                         "aboutInfo: About\r\nthis book\n"
                         "splash: 14 bytes\n"
                         "marker: present\n");

    r = Run({"info", dir / "b.exe", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\n  \"base\": 16,\n  \"entries\": [" + listedJson +
                         "\n  ],\n  \"pages\": [\n"
                         "    {\"path\": \"index.htm\", \"id\": 1, \"inPageSequence\": 1, "
                         "\"inSearch\": 1, \"size\": 9},\n"
                         "    {\"path\": \"caf\xC3\xA9/b.png\", \"id\": 2, \"inPageSequence\": 0, "
                         "\"inSearch\": 0, \"size\": 3}\n"
                         "  ],\n  \"settings\": {" +
                         flagsJson +
                         "},\n"
                         "  \"texts\": {\"title\": \"A \\u003CTest> \\\"Book\\\"\", "
                         "\"author\": \"An Author\", \"copyright\": \"(c) 2024\", "
                         "\"url\": \"https://example.org/\", \"email\": \"a@example.org\", "
                         "\"aboutInfo\": \"About\\r\\nthis book\"},\n"
                         "  \"splashSize\": 14,\n  \"marker\": true\n}\n");

    std::vector<test::RawEntry> bare;
    for (const auto& e : entries)
        if (e.type == 349 || e.id == 2) bare.push_back(e);
    WriteFile(dir / "bare.exe", test::MakeBook(std::vector<uint8_t>(16, 0), bare));
    r = Run({"info", dir / "bare.exe"});
    EXPECT_TRUE(Contains(r.out, "\nsettings: none\ntitle: \n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\nsplash: none\nmarker: missing or wrong\n")) << r.out;
    r = Run({"info", dir / "bare.exe", "--json"});
    EXPECT_TRUE(Contains(r.out, "\"settings\": null,\n  \"texts\": {\"title\": \"\", ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"splashSize\": null,\n  \"marker\": false\n}\n")) << r.out;
}

TEST_F(BookCommands, BuildTakesTheProjectsOutputOrDashO) {
    const std::string project = dir / "sample.ebp";
    auto r = Run({"new", sample, "-o", project});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"build", project, "--stub", stub});
    EXPECT_EQ(r.exitCode, 2);  // the new project names no e-book file
    const std::string book = dir / "built.exe";
    r = Run({"build", project, "-o", book, "--stub", stub});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Run({"verify", book}).exitCode, 0);

    r = Run({"build", dir / "missing.ebp", "-o", book, "--stub", stub});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "missing.ebp")) << r.err;
}

TEST_F(BookCommands, FailuresGoToStderrWithExitOne) {
    WriteFile(dir / "empty-stub.exe", {});
    auto r = Run({"make", sample, "-o", dir / "a.exe", "--stub", dir / "empty-stub.exe"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "empty")) << r.err;
    EXPECT_FALSE(fs::exists(dir / "a.exe"));

    r = Run({"make", sample, "-o", dir / "b.exe", "--stub", stub, "--splash", dir / "no-such.bmp"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "Cannot read file " + (dir / "no-such.bmp"))) << r.err;
    EXPECT_FALSE(fs::exists(dir / "b.exe"));

    EXPECT_EQ(Run({"make", sample, "--stub", stub}).exitCode, 2);
    EXPECT_EQ(Run({"make", sample, "-o", dir / "c.exe", "--buttons", "home,nope"}).exitCode, 2);

    // Without the e-book trailer, a file is read as a project file.
    r = Run({"info", stub});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Old version of the .EBP file. Please regenerate.\n");

    // With it, but damaged behind it, it is a damaged e-book.
    auto bytes = test::MakeFakePe().bytes;
    test::Append(bytes, {0xFF, 0xFF, 0, 0, 0x4B, 0x47});
    WriteFile(dir / "cut.exe", bytes);
    r = Run({"info", dir / "cut.exe"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "Cannot read " + dir / "cut.exe")) << r.err;
}

// --stub takes another viewer program only when the builder can use it; a
// refusal says what is wrong and where, and writes nothing.
struct StubRefusal {
    const char* name;
    std::vector<uint8_t> (*make)(const std::string& dir);
    const char* why;  // after "The viewer program FILE cannot be used: "
};

class RefusedStub : public BookCommands, public ::testing::WithParamInterface<StubRefusal> {};

TEST_P(RefusedStub, BuildsNothing) {
    const std::string given = dir / "viewer.exe";
    WriteFile(given, GetParam().make(dir.Path().string()));
    const std::string book = dir / "out.exe";
    const auto r = Run({"make", sample, "-o", book, "--stub", given});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The viewer program " + given + " cannot be used: " + GetParam().why + ".\n");
    EXPECT_FALSE(fs::exists(book));
    EXPECT_FALSE(fs::exists(book + ".building"));
}

INSTANTIATE_TEST_SUITE_P(
    , RefusedStub,
    ::testing::Values(
        StubRefusal{
            "ATextFile",
            [](const std::string&) { return std::vector<uint8_t>{'n', 'o', 't', 'e', 's', '\n'}; },
            "it is shorter than a DOS header (64 bytes)"},
        StubRefusal{"ABookAlready",
                    [](const std::string& d) {
                        WriteText(d + "/site/index.htm", "home");
                        WriteFile(d + "/stub.exe", test::MakeFakePe().bytes);
                        test::RunFolivexc(
                            {"make", d + "/site", "-o", d + "/book.exe", "--stub", d + "/stub.exe"},
                            TempDir());
                        return ReadFile(d + "/book.exe");
                    },
                    "it ends in 4B 47, the trailer of an e-book's archive, so a build would take "
                    "it for a finished e-book; give the bare viewer program"},
        StubRefusal{"NoResources",
                    [](const std::string&) {
                        auto pe = test::MakeFakePe();
                        pe.bytes[pe.sectionTable + 40 + 1] = 'x';
                        return pe.bytes;
                    },
                    "it has no .rsrc section (no resources)"},
        StubRefusal{"ForArm64",
                    [](const std::string&) {
                        auto pe = test::MakeFakePe(test::PeKind::pe32PlusX64);
                        test::Put16(pe.bytes, pe.peOffset + 4, 0xAA64);
                        return pe.bytes;
                    },
                    "it is made for machine 0xAA64 with optional-header magic 0x20B; a viewer "
                    "program is a PE32 image for the Intel 386 (0x14C, 0x10B) or a PE32+ image "
                    "for x86-64 (0x8664, 0x20B)"},
        StubRefusal{"NoIconToReplace",
                    [](const std::string&) {
                        auto pe = test::MakeFakePe();
                        pe.bytes[pe.group + 6] = 48;
                        return pe.bytes;
                    },
                    "icon group 128 has no image 32 pixels wide"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(BookCommands, AStubTooLargeToBeAViewerIsRefusedUnread) {
    const std::string given = dir / "huge.exe";
    WriteFile(given, test::MakeFakePe().bytes);
    fs::resize_file(given, (64u << 20) + 1);  // sparse: nothing is written
    const auto r = Run({"make", sample, "-o", dir / "out.exe", "--stub", given});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "The viewer program " + given +
                         " cannot be used: it is 67108865 bytes long; a viewer program has at "
                         "most 67108864.\n");
}

TEST_F(BookCommands, APe32PlusViewerBuildsABook) {
    WriteFile(stub, test::MakeFakePe(test::PeKind::pe32PlusX64).bytes);
    const std::string book = dir / "book64.exe";
    const auto r = Run({"make", sample, "-o", book, "--stub", stub});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Run({"verify", book}).exitCode, 0);
}

// An existing file that is not an e-book is replaced only with --force, and
// the project file never; a refusal changes nothing.
struct OutputCase {
    const char* name;
    std::vector<std::string> args;  // "{p}" the project, "{l}" a link to it, "{notes}" a text file
    const char* stake;              // the file that must not change
    const char* message;            // after "folivexc: " and the file's name
    bool forceHelps;
};

class RefusedOutput : public BookCommands, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(RefusedOutput, ChangesNothing) {
    WriteText(dir / "book/index.htm", "home");
    ASSERT_EQ(Run({"new", dir / "book", "-o", dir / "p.ebp"}).exitCode, 0);
    fs::create_symlink("p.ebp", dir / "link.ebp");
    WriteText(dir / "notes", "the author's notes");
    const std::map<std::string, std::string> names = {{"{p}", dir / "p.ebp"},
                                                      {"{l}", dir / "link.ebp"},
                                                      {"{notes}", dir / "notes"},
                                                      {"{book}", dir / "book"},
                                                      {"{stub}", stub}};
    std::vector<std::string> args;
    for (const std::string& a : GetParam().args) args.push_back(names.count(a) ? names.at(a) : a);
    const std::string stake = names.at(GetParam().stake);
    const auto before = ReadFile(stake);

    auto r = Run(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "folivexc: " + stake + GetParam().message + "\n");
    EXPECT_EQ(ReadFile(stake), before);
    EXPECT_FALSE(fs::exists(stake + ".building"));

    args.push_back("--force");
    r = Run(args);
    EXPECT_EQ(r.exitCode, GetParam().forceHelps ? 0 : 1) << r.err;
    EXPECT_EQ(ReadFile(stake) != before, GetParam().forceHelps);
}

const char* const kNotABook = " exists and is not a Folivex e-book; give --force to replace it";
const char* const kTheProject = " is the project file itself; give the e-book another name";

INSTANTIATE_TEST_SUITE_P(
    , RefusedOutput,
    ::testing::Values(OutputCase{"BuildOverNotes",
                                 {"build", "{p}", "-o", "{notes}", "--stub", "{stub}"},
                                 "{notes}",
                                 kNotABook,
                                 true},
                      OutputCase{"MakeOverNotes",
                                 {"make", "{book}", "-o", "{notes}", "--stub", "{stub}"},
                                 "{notes}",
                                 kNotABook,
                                 true},
                      OutputCase{"NewOverAProject",
                                 {"new", "{book}", "-o", "{p}", "--title", "Other"},
                                 "{p}",
                                 " already exists; give --force to replace it",
                                 true},
                      OutputCase{"BuildOverItsProject",
                                 {"build", "{p}", "-o", "{p}", "--stub", "{stub}"},
                                 "{p}",
                                 kTheProject,
                                 false},
                      OutputCase{"BuildThroughALinkOverItsProject",
                                 {"build", "{l}", "-o", "{p}", "--stub", "{stub}"},
                                 "{p}",
                                 kTheProject,
                                 false}),
    [](const auto& param) { return std::string(param.param.name); });

// Of paths that differ only in case, make takes the file its scan made the
// entry of, and says which.
TEST_F(BookCommands, MakeReadsTheFileItsScanChose) {
    WriteText(dir / "book/index.htm", "home");
    WriteText(dir / "book/sub/Page.htm", "upper");
    WriteText(dir / "book/sub/page.htm", "lower");
    WriteText(dir / "book/Sub/page.htm", "other");
    auto r = Run({"make", dir / "book", "-o", dir / "book.exe", "--stub", stub});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err,
              "folivexc: warning: Sub/page.htm and sub/Page.htm have the same name in the book; "
              "only Sub/page.htm is included\n"
              "folivexc: warning: Sub/page.htm and sub/page.htm have the same name in the book; "
              "only Sub/page.htm is included\n");
    ASSERT_EQ(Run({"extract", dir / "book.exe", dir / "out"}).exitCode, 0);
    EXPECT_EQ(ReadText(dir / "out/sub/page.htm"), "other");
}

// A book made inside its own folder never packs itself: building twice
// gives the same bytes, and a project that names the book as an entry
// builds without it.
TEST_F(BookCommands, ABookInsideItsOwnFolderNeverTakesItselfIn) {
    WriteText(dir / "book/index.htm", "home");
    const std::string book = dir / "book/book.exe";
    auto r = Run({"make", dir / "book", "-o", book, "--stub", stub});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto first = ReadFile(book);
    const std::string warning =
        "folivexc: warning: book.exe is the e-book being built; it is left out of the book\n";
    r = Run({"make", dir / "book", "-o", book, "--stub", stub});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(ReadFile(book), first);

    ASSERT_EQ(Run({"new", dir / "book", "-o", dir / "p.ebp"}).exitCode, 0);
    EXPECT_NE(Run({"info", dir / "p.ebp"}).out.find("book.exe"), std::string::npos);
    r = Run({"build", dir / "p.ebp", "-o", book, "--stub", stub});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, warning);
    EXPECT_EQ(Run({"info", book}).out.find("book.exe"), std::string::npos);
}

TEST_F(BookCommands, VerifyNamesWhatIsDamagedAndWhere) {
    const std::string book = dir / "book.exe";
    ASSERT_EQ(Run({"make", sample, "-o", book, "--stub", stub}).exitCode, 0);
    auto bytes = ReadFile(book);
    // The first page's zlib stream starts after the archive's head, the
    // type tag and the entry tag: damage a byte well inside it.
    const size_t firstData = test::MakeFakePe().bytes.size() + 4 + 16 + 4 + 17 + 6;
    bytes[firstData + 20] ^= 0x55;
    WriteFile(book, bytes);
    const auto r = Run({"verify", book});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "entry 349/1 at offset " + std::to_string(firstData))) << r.err;
}

TEST_F(BookCommands, ExtractRefusesPathsThatLeaveTheFolder) {
    const std::string book = dir / "evil.exe";
    WriteFile(book, test::MakeFakePe().bytes);
    {
        CUpdateArchive archive;
        archive.BeginUpdate(book);
        const std::vector<PageDirEntry> pages = {
            {"ok.htm", 1, 1, 1},      {"../evil.htm", 2, 1, 1},         {"/tmp/evil.htm", 3, 1, 1},
            {"c:/evil.htm", 4, 1, 1}, {"a\\..\\..\\evil.htm", 5, 1, 1}, {"sub/y.htm", 6, 1, 1},
            {"./x.htm", 7, 1, 1}};
        for (int id = 1; id <= 7; ++id)
            archive.UpdateEntry(349, id, MakeBlob(test::Bytes("page", 4)));
        archive.UpdateEntry(350, 2, EncodePageDirectory(pages));
        archive.EndUpdate();
    }
    const std::string out = dir / "out";
    const auto r = Run({"extract", book, out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(ReadFile(out + "/ok.htm"), test::Bytes("page", 4));
    EXPECT_FALSE(fs::exists(dir / "evil.htm"));
    EXPECT_TRUE(Contains(r.err, "refused: ../evil.htm")) << r.err;
    EXPECT_TRUE(Contains(r.err, "refused: a\\..\\..\\evil.htm")) << r.err;
    size_t extracted = 0;
    for (const auto& item : fs::recursive_directory_iterator(out))
        extracted += item.is_regular_file();
    EXPECT_EQ(extracted, 2u);
    EXPECT_EQ(ReadFile(out + "/sub/y.htm"), test::Bytes("page", 4));

    // A folder inside the target that links elsewhere is not followed.
    fs::create_directories(dir / "elsewhere");
    fs::create_directories(dir / "out2");
    fs::create_directory_symlink(dir / "elsewhere", dir / "out2/sub");
    Run({"extract", book, dir / "out2"});
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

// The progress line on a clock of our own: what reaches the terminal at
// each moment of a build.
TEST(ProgressLine, DrawsAtMostTenTimesASecondAndClearsWhatItDrew) {
    using namespace std::chrono_literals;
    auto now = std::chrono::steady_clock::time_point{};
    std::vector<std::string> written;
    cli::ProgressLine line([&](std::string_view text) { written.emplace_back(text); },
                           [&] { return now; });
    struct Step {
        std::chrono::milliseconds at;
        size_t done;
        uint64_t bytes;
        const char* expected;  // nullptr: nothing written
    };
    const Step steps[] = {
        {0ms, 0, 0, nullptr},  // a quick build shows nothing
        {99ms, 10, 1'000'000, nullptr},
        {100ms, 12, 2'000'000, "\rfolivexc: 12 of 7,884 files, 2.0 MB, 20.0 MB/s"},
        {150ms, 40, 3'000'000, nullptr},
        {199ms, 41, 3'100'000, nullptr},
        {200ms, 1234, 12'345'678, "\rfolivexc: 1,234 of 7,884 files, 12.3 MB, 61.7 MB/s"},
        // A shorter line covers what the longer one left.
        {2000ms, 1235, 12'400'000, "\rfolivexc: 1,235 of 7,884 files, 12.4 MB, 6.2 MB/s "},
    };
    for (const Step& step : steps) {
        written.clear();
        now = std::chrono::steady_clock::time_point{} + step.at;
        line.Show({step.done, 7884, step.bytes});
        if (step.expected)
            EXPECT_EQ(written, std::vector<std::string>{step.expected}) << step.at.count() << " ms";
        else
            EXPECT_TRUE(written.empty()) << step.at.count() << " ms";
    }
    written.clear();
    line.Clear();
    EXPECT_EQ(written, std::vector<std::string>{"\r" + std::string(49, ' ') + "\r"});
    written.clear();
    line.Clear();  // nothing drawn since
    EXPECT_TRUE(written.empty());
}

TEST_F(BookCommands, QuietIsARunOptionOfBuildAndMake) {
    const std::string book = dir / "quiet.exe";
    auto r = Run({"make", sample, "-o", book, "--stub", stub, "--quiet"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = Run({"new", sample, "-o", dir / "p.ebp"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"build", dir / "p.ebp", "-o", book, "--stub", stub, "--quiet", "--threads", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Run({"info", book, "--quiet"});
    EXPECT_EQ(r.exitCode, 2) << "not an option of info";
}

}  // namespace
}  // namespace folivex
