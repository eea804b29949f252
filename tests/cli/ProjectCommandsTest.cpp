// folivexc new, rescan and info, run as a user would run them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "tests/cli/CliRunner.h"

namespace folivex {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RunFolivexc;
using test::TempDir;
using test::WriteText;

class ProjectCommands : public ::testing::Test {
protected:
    test::CliResult Run(const std::vector<std::string>& args) { return RunFolivexc(args, dir); }

    // Changes a saved project through the core, as the wizard would.
    template <class Edit>
    void EditProject(const std::string& file, Edit edit) {
        ScriptedPrompts prompts;
        CBookApp app(prompts);
        app.projectFile = file;
        ASSERT_EQ(app.OpenProject(), 1);
        app.projectOpen = 1;
        edit(app.project);
        ASSERT_EQ(app.SaveProject(), 1);
    }

    TempDir dir;
};

TEST_F(ProjectCommands, NewOnTheSampleBookThenInfo) {
    const std::string project = dir / "sample.ebp";
    auto r = Run({"new", FOLIVEX_SAMPLE_BOOK, "-o", project, "--title", "Sample \"Book\"",
                  "--about", "two\nlines"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");

    r = Run({"info", project, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"title\": \"Sample \\\"Book\\\"\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"aboutInfo\": \"two\\nlines\""), std::string::npos);
    EXPECT_NE(r.out.find("\"author\": \"*Your Name*\""), std::string::npos);
    EXPECT_NE(r.out.find("\"url\": \"http://www.example.com\""), std::string::npos);
    EXPECT_NE(r.out.find("\"email\": \"info@example.com\""), std::string::npos);
    EXPECT_NE(r.out.find("\"copyright\": \"Copyright (C) 20"), std::string::npos);
    EXPECT_NE(r.out.find("\"projectDir\": \"" +
                         fs::absolute(FOLIVEX_SAMPLE_BOOK).lexically_normal().string()),
              std::string::npos);
    EXPECT_NE(r.out.find("\"toolbarButtons\": [1, 1, 1, 1, 1, 1, 1, 1, 1, 1]"), std::string::npos);
    // The home page comes first; the pages in the subfolder keep their place.
    const size_t pages = r.out.find("\"pages\": [");
    ASSERT_NE(pages, std::string::npos);
    EXPECT_EQ(
        r.out.find(
            "{\"path\": \"index.html\", \"inPageSequence\": 1, \"inSearch\": 1, \"included\": 1}"),
        r.out.find("{\"path\"", pages));
    EXPECT_NE(
        r.out.find(
            "{\"path\": \"style.css\", \"inPageSequence\": 0, \"inSearch\": 0, \"included\": 1}"),
        std::string::npos);
    EXPECT_NE(r.out.find("\"wizard\\\\overview.html\""), std::string::npos);

    r = Run({"info", project});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\nshowAboutAtStart     0\nstartMaximized       1\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\ntoolbarButtons       home=1 prevnext=1 history=1 copy=1 search=1 "
                         "fullscreen=1 fontsize=1 print=1 about=1 exit=1\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("index.html"), std::string::npos);

    // A re-scan with nothing changed writes the same bytes.
    const auto before = ReadFile(project);
    ASSERT_EQ(Run({"rescan", project}).exitCode, 0);
    EXPECT_EQ(ReadFile(project), before);
}

TEST_F(ProjectCommands, RescanKeepsChoicesAndAppendsNewFiles) {
    WriteText(dir / "book/a.htm", "a");
    WriteText(dir / "book/b.htm", "b");
    const std::string project = dir / "p.ebp";
    ASSERT_EQ(Run({"new", dir / "book", "-o", project}).exitCode, 0);
    EditProject(project, [](BookProject& p) {
        std::swap(p.pages[0], p.pages[1]);
        p.pages[0]->inSearch = 0;
    });
    WriteText(dir / "book/c.png", "c");
    auto r = Run({"rescan", project});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"info", project, "--json"});
    const std::string b =
        "{\"path\": \"b.htm\", \"inPageSequence\": 1, \"inSearch\": 0, \"included\": 1}";
    const std::string a = "{\"path\": \"a.htm\"";
    const std::string c = "{\"path\": \"c.png\", \"inPageSequence\": 0";
    ASSERT_NE(r.out.find(b), std::string::npos) << r.out;
    EXPECT_LT(r.out.find(b), r.out.find(a));
    EXPECT_LT(r.out.find(a), r.out.find(c));

    // Into another folder: only what exists there stays.
    WriteText(dir / "other/A.HTM", "a");
    ASSERT_EQ(Run({"rescan", project, dir / "other"}).exitCode, 0);
    r = Run({"info", project, "--json"});
    EXPECT_EQ(r.out.find("b.htm"), std::string::npos);
    EXPECT_NE(r.out.find(a), std::string::npos);
    EXPECT_NE(r.out.find("\"projectDir\": \"" + dir / "other" + "\""), std::string::npos);
}

// new (and make, which shares it) opens the book on the page given with
// --home, else on index.html or index.htm at the top, else on the first
// page of the page sequence; it says which on stdout.
TEST_F(ProjectCommands, NewChoosesTheHomePageAndSaysWhich) {
    struct Case {
        std::vector<const char*> files;
        std::vector<std::string> options;
        const char* home;  // the first entry; nullptr: the command fails
        const char* said;  // stdout
    };
    const std::vector<Case> cases = {
        {{"a.py", "sub/index.html", "b.htm", "index.htm"},
         {},
         "index.htm",
         "Home page: index.htm\n"},
        {{"index.htm", "index.html"}, {}, "index.html", "Home page: index.html\n"},
        {{"notes.txt", "guide.htm"}, {}, "guide.htm", "Home page: guide.htm\n"},
        {{"notes.txt"}, {}, "notes.txt", ""},
        {{"index.htm", "sub/Two.htm"},
         {"--home", "sub/Two.htm"},
         "sub\\\\two.htm",
         "Home page: sub/two.htm\n"},
        {{"index.htm"}, {"--home", "missing.htm"}, nullptr, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const std::string folder = dir / ("book" + std::to_string(i));
        for (const char* file : c.files) WriteText(folder + "/" + file, "<p>page</p>");
        const std::string project = dir / ("p" + std::to_string(i) + ".ebp");
        std::vector<std::string> args = {"new", folder, "-o", project};
        args.insert(args.end(), c.options.begin(), c.options.end());
        auto r = Run(args);
        EXPECT_EQ(r.out, c.said) << i;
        if (!c.home) {
            EXPECT_EQ(r.exitCode, 1) << i;
            EXPECT_EQ(r.err, "folivexc: missing.htm is not a file of the folder " + folder + "\n");
            EXPECT_FALSE(fs::exists(project));
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err;
        r = Run({"info", project, "--json"});
        const size_t first = r.out.find("{\"path\": \"");
        ASSERT_NE(first, std::string::npos) << r.out;
        EXPECT_EQ(
            r.out.compare(first + 10, std::string(c.home).size() + 1, std::string(c.home) + "\""),
            0)
            << i << r.out;
    }
}

TEST_F(ProjectCommands, FolderWithoutPagesStillGivesAProject) {
    WriteText(dir / "pics/x.png", "x");
    const std::string project = dir / "pics.ebp";
    const auto r = Run({"new", dir / "pics", "-o", project});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "No HTML files in this folder. Please try again.\n");
    EXPECT_NE(Run({"info", project}).out.find("x.png"), std::string::npos);
}

TEST_F(ProjectCommands, FailuresPrintTheMessageAndExitOne) {
    WriteText(dir / "book/a.htm", "a");
    auto r = Run({"new", dir / "book", "-o", dir / "missing/p.ebp"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Cannot save E-Book Project\n" + dir / "missing/p.ebp" + " was not found.\n");

    WriteText(dir / "cut.ebp", std::string("\x03\x00\x01\x00\x01\x00\x00\x00\xFF\xFF", 10));
    r = Run({"info", dir / "cut.ebp"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Cannot open E-Book Project\nAn attempt was made to access an unnamed file past its "
              "end.\n");

    r = Run({"rescan", dir / "cut.ebp"});
    EXPECT_EQ(r.exitCode, 1);

    // A folder that cannot be listed is refused rather than emptying the list.
    ASSERT_EQ(Run({"new", dir / "book", "-o", dir / "p.ebp"}).exitCode, 0);
    const auto before = ReadFile(dir / "p.ebp");
    EXPECT_EQ(Run({"rescan", dir / "p.ebp", dir / "nowhere"}).exitCode, 1);
    EXPECT_EQ(Run({"new", dir / "nowhere", "-o", dir / "q.ebp"}).exitCode, 1);
    EXPECT_EQ(ReadFile(dir / "p.ebp"), before);
}

// Every name merged with another or left out is reported, one line each.
TEST_F(ProjectCommands, NewWarnsOfEveryNameMergedOrLeftOut) {
    for (const char* f : {"Index.htm", "index.htm", "Caf\xC3\xA9.HTML", "caf\xC3\xA9.html",
                          "a\\b.htm", "sub/Z.png", "sub/z.png"})
        WriteText(dir / ("book/" + std::string(f)), f);
    const auto r = Run({"new", dir / "book", "-o", dir / "p.ebp"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err,
              "folivexc: warning: a\\b.htm is left out: a name in the book cannot hold \"\\\"\n"
              "folivexc: warning: Caf\xC3\xA9.HTML and caf\xC3\xA9.html have the same name in "
              "the book; only Caf\xC3\xA9.HTML is included\n"
              "folivexc: warning: Index.htm and index.htm have the same name in the book; only "
              "Index.htm is included\n"
              "folivexc: warning: sub/Z.png and sub/z.png have the same name in the book; only "
              "sub/Z.png is included\n");
    EXPECT_EQ(Run({"info", dir / "p.ebp", "--json"}).out.find("a\\\\b"), std::string::npos);
}

// A subfolder that cannot be listed keeps its entries through a re-scan;
// new and check refuse such a folder as the one to start from, with the
// same message (check takes it for a folder, not a project file).
TEST_F(ProjectCommands, RescanKeepsTheEntriesOfAFolderItCannotList) {
    WriteText(dir / "book/a.htm", "a");
    WriteText(dir / "book/closed/b.htm", "b");
    const std::string project = dir / "p.ebp";
    ASSERT_EQ(Run({"new", dir / "book", "-o", project}).exitCode, 0);
    EditProject(project, [](BookProject& p) { p.pages[1]->inSearch = 0; });
    ASSERT_EQ(chown(project.c_str(), test::OrdinaryUserId(), test::OrdinaryGroupId()), 0);
    ASSERT_EQ(chmod((dir / "book/closed").c_str(), 0), 0);

    const auto r = test::RunFolivexcAsOrdinaryUser({"rescan", project}, dir);
    if (!r) GTEST_SKIP() << "no setpriv or runuser for root";
    EXPECT_EQ(r->exitCode, 0) << r->err;
    EXPECT_EQ(r->err,
              "folivexc: warning: The folder closed could not be listed (Permission denied); the "
              "entry under it is kept as it was\n");
    EXPECT_NE(Run({"info", project, "--json"})
                  .out.find("{\"path\": \"closed\\\\b.htm\", \"inPageSequence\": 1, "
                            "\"inSearch\": 0, \"included\": 1}"),
              std::string::npos);

    const std::vector<std::vector<std::string>> startingThere = {
        {"new", dir / "book/closed", "-o", dir / "closed.ebp"}, {"check", dir / "book/closed"}};
    for (const auto& args : startingThere) {
        const auto closed = test::RunFolivexcAsOrdinaryUser(args, dir);
        ASSERT_TRUE(closed);
        EXPECT_EQ(closed->exitCode, 1) << args[0];
        EXPECT_EQ(closed->err, "folivexc: cannot list the folder " + dir / "book/closed" + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "closed.ebp"));
}

// Only a file ending in the e-book trailer is an e-book: any other file
// gets the project file's messages.
TEST_F(ProjectCommands, InfoReadsEveryOtherFileAsAProject) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string("\x02\x00\x01\x00\x00\x00\x00\x00", 8),
         "Old version of the .EBP file. Please regenerate.\n"},
        {"MZ, a program without a book", "Old version of the .EBP file. Please regenerate.\n"},
        {std::string("\x03\x00\x01\x00\x05\x00\x00\x00", 8),
         "Cannot open E-Book Project\nAn attempt was made to access an unnamed file past its "
         "end.\n"},
    };
    for (const auto& [bytes, message] : cases) {
        WriteText(dir / "old.ebp", bytes);
        const auto r = Run({"info", dir / "old.ebp"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, message);
    }
}

TEST_F(ProjectCommands, WrongUsageExitsTwo) {
    EXPECT_EQ(Run({"new", dir / "book"}).exitCode, 2);
    EXPECT_EQ(Run({"new", "-o", dir / "p.ebp"}).exitCode, 2);
    EXPECT_EQ(Run({"new", dir / "book", "-o", dir / "p.ebp", "--colour", "red"}).exitCode, 2);
    EXPECT_EQ(Run({"new", dir / "book", "-o"}).exitCode, 2);
    EXPECT_EQ(Run({"rescan"}).exitCode, 2);
    EXPECT_EQ(Run({"rescan", "a", "b", "c"}).exitCode, 2);
}

}  // namespace
}  // namespace folivex
