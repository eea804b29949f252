// The project file: exact bytes, round trips, Save As, and the atomic save.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/FaultInjection.h"
#include "tests/project/ProjectTestSupport.h"

namespace folivex {
namespace {

using test::Bytes;
using test::Cat;
using test::Entry;
using test::ReadFile;

std::vector<uint8_t> I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

std::vector<uint8_t> Repeat(const std::vector<uint8_t>& v, int n) {
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) test::Append(out, v);
    return out;
}

const std::vector<uint8_t> kClassHeader = Bytes(
    "\xFF\xFF\x01\x00\x0A\x00"
    "CPieceElem",
    16);

class ProjectFile : public test::AppTest {
protected:
    void SetUp() override {
        app.projectFile = dir / "book.ebp";
        app.projectOpen = 1;
    }

    void FillRichProject() {
        auto& p = app.project;
        p.pages.push_back(Entry("index.html", 1, 1, 1));
        p.pages.push_back(Entry("guide\\start.htm", 1, 0, 1));
        p.pages.push_back(Entry("img\\logo.png", 0, 0, 0));
        p.title = "Sample";
        p.author = "Ann";
        p.copyright = "(C) 2024";
        p.url = "http://example.com";
        p.email = "a@example.com";
        p.aboutInfo = "line one\r\nline two";
        p.splashFile = "C:\\splash.bmp";
        p.iconFile = "C:\\book.ico";
        p.ebookFile = "C:\\out\\book.exe";
        p.projectDir = "C:\\books\\sample";
        p.showAboutAtStart = 1;
        p.startMaximized = 0;
        p.startFullScreen = 1;
        p.showToolbar = 1;
        p.toolbarButtons = {1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
    }
};

TEST_F(ProjectFile, EmptyProjectBytesAndRoundTrip) {
    app.project.title.clear();
    ASSERT_EQ(app.SaveProject(), 1);
    const auto expected = Cat({Bytes("\x03\x00\x01\x00", 4), I32(0), std::vector<uint8_t>(10, 0),
                               I32(0), I32(1), I32(0), I32(1), Repeat(I32(1), 10)});
    EXPECT_EQ(ReadFile(app.projectFile), expected);
    ASSERT_EQ(app.OpenProject(), 1);
    EXPECT_EQ(app.project.title, "");
    EXPECT_TRUE(app.project.pages.empty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ProjectFile, OneEntryProjectAsWrittenOut) {
    app.project.pages.push_back(Entry("index.htm", 1, 1, 1));
    ASSERT_EQ(app.SaveProject(), 1);
    const auto expected =
        Cat({Bytes("\x03\x00\x01\x00", 4), I32(1), kClassHeader,
             Bytes("\x09"
                   "index.htm",
                   10),
             I32(1), I32(1), I32(1),
             Bytes("\x06"
                   "E-Book",
                   7),
             std::vector<uint8_t>(9, 0), I32(0), I32(1), I32(0), I32(1), Repeat(I32(1), 10)});
    EXPECT_EQ(ReadFile(app.projectFile), expected);
}

TEST_F(ProjectFile, ClassHeaderOnceThenClassReferences) {
    app.project.pages.push_back(Entry("a", 1, 0, 1));
    app.project.pages.push_back(Entry("b", 0, 1, 0));
    app.project.pages.push_back(Entry("c", 1, 1, 1));
    ASSERT_EQ(app.SaveProject(), 1);
    const auto expected = Cat({Bytes("\x03\x00\x01\x00", 4), I32(3), kClassHeader,
                               Bytes("\x01"
                                     "a",
                                     2),
                               I32(1), I32(0), I32(1),
                               Bytes("\x01\x80\x01"
                                     "b",
                                     4),
                               I32(0), I32(1), I32(0),
                               Bytes("\x01\x80\x01"
                                     "c",
                                     4),
                               I32(1), I32(1), I32(1)});
    const auto bytes = ReadFile(app.projectFile);
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(
        std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(expected.size())),
        expected);
}

TEST_F(ProjectFile, SaveOpenSaveIsByteIdenticalAndKeepsOrder) {
    FillRichProject();
    ASSERT_EQ(app.SaveProject(), 1);
    const auto first = ReadFile(app.projectFile);
    ASSERT_EQ(app.SaveProject(), 1);
    EXPECT_EQ(ReadFile(app.projectFile), first);  // saving twice changes nothing

    app.project.title = "changed";
    ASSERT_EQ(app.OpenProject(), 1);
    EXPECT_EQ(Paths(), "index.html guide\\start.htm img\\logo.png");
    EXPECT_EQ(app.project.aboutInfo, "line one\r\nline two");
    EXPECT_EQ(app.project.pages[1]->inSearch, 0);
    EXPECT_EQ(app.project.pages[2]->included, 0);
    EXPECT_EQ(app.project.pages[0]->foundInScan, 0);
    EXPECT_EQ(app.project.toolbarButtons[1], 0);
    EXPECT_EQ(app.projectFile, dir / "book.ebp");

    app.projectOpen = 1;
    app.projectFile = dir / "again.ebp";
    ASSERT_EQ(app.SaveProject(), 1);
    EXPECT_EQ(ReadFile(app.projectFile), first);
}

TEST_F(ProjectFile, NothingIsWrittenWithoutAnOpenProject) {
    app.projectOpen = 0;
    EXPECT_EQ(app.SaveProject(), 1);
    EXPECT_EQ(app.SaveProjectAs(), 1);
    EXPECT_FALSE(std::filesystem::exists(app.projectFile));
    EXPECT_TRUE(prompts.fileRequests.empty());
}

TEST_F(ProjectFile, SaveAsAsksWithTheProjectPicker) {
    app.lastProjectFile = dir / "last.ebp";
    prompts.AnswerFile(dir / "chosen.ebp");
    ASSERT_EQ(app.SaveProjectAs(), 1);
    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    const FileDialogRequest& r = prompts.fileRequests[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.defaultExt, "ebp");
    EXPECT_EQ(r.initialName, dir / "last.ebp");
    EXPECT_EQ(r.flags, uint32_t{OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST});
    EXPECT_EQ(r.filter, "E-Book Project Files (*.ebp)|*.ebp|All Files (*.*)|*.*||");
    EXPECT_EQ(app.projectFile, dir / "chosen.ebp");
    EXPECT_EQ(app.lastProjectFile, dir / "chosen.ebp");
    EXPECT_TRUE(std::filesystem::exists(dir / "chosen.ebp"));

    prompts.AnswerFile(std::nullopt);
    EXPECT_EQ(app.SaveProjectAs(), 0);
    EXPECT_EQ(app.projectFile, dir / "chosen.ebp");
}

TEST_F(ProjectFile, SaveAsRetriesAtTheAuthorsWish) {
    // A folder cannot be written over: the save fails with access denied.
    std::filesystem::create_directory(dir / "taken.ebp");
    prompts.AnswerFile(dir / "taken.ebp");
    prompts.AnswerMessage(MsgResult::OK);   // the error
    prompts.AnswerMessage(MsgResult::Yes);  // save to another file?
    prompts.AnswerFile(std::nullopt);       // then cancels
    EXPECT_EQ(app.SaveProjectAs(), 0);
    EXPECT_EQ(app.projectFile, dir / "taken.ebp");
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text,
              "Cannot save E-Book Project\nAccess to " + dir / "taken.ebp" + " was denied.");
    EXPECT_EQ(prompts.messages[1].text, "Do you want to save the project to other file?");
    EXPECT_EQ(prompts.messages[1].buttons, MsgButtons::YesNo);
    EXPECT_EQ(prompts.messages[1].icon, MsgIcon::Question);
    ASSERT_EQ(prompts.fileRequests.size(), 2u);
    EXPECT_EQ(prompts.fileRequests[1].initialName, dir / "taken.ebp");

    // Yes, then a good name: saved there.
    prompts.AnswerFile(dir / "taken.ebp");
    prompts.AnswerMessage(MsgResult::OK);
    prompts.AnswerMessage(MsgResult::Yes);
    prompts.AnswerFile(dir / "good.ebp");
    EXPECT_EQ(app.SaveProjectAs(), 1);
    EXPECT_EQ(app.projectFile, dir / "good.ebp");

    // No: gives up.
    prompts.AnswerFile(dir / "taken.ebp");
    prompts.AnswerMessage(MsgResult::OK);
    prompts.AnswerMessage(MsgResult::No);
    EXPECT_EQ(app.SaveProjectAs(), 0);
}

// A failed save keeps the previous file: whichever file operation fails,
// the old bytes stay, no temporary file is left, and the message names the
// project file.
TEST_F(ProjectFile, EveryFailingFileCallKeepsThePreviousFile) {
    FillRichProject();
    ASSERT_EQ(app.SaveProject(), 1);
    const auto previous = ReadFile(app.projectFile);
    app.project.pages.push_back(Entry("new.htm", 1, 1, 1));

    for (uint64_t call = 1;; ++call) {
        prompts.messages.clear();
        FaultPlan plan;
        plan.failOnCall = call;
        int result;
        {
            ScopedFaultPlan scoped(plan);
            result = app.SaveProject();
        }
        if (!plan.fired) {
            EXPECT_EQ(result, 1);
            break;
        }
        ASSERT_LT(call, 100u);
        EXPECT_EQ(result, 0) << "call " << call;
        EXPECT_EQ(ReadFile(app.projectFile), previous) << "call " << call;
        EXPECT_EQ(LastMessage(),
                  "Cannot save E-Book Project\nDisk full while accessing " + app.projectFile + ".")
            << "call " << call;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
            << "call " << call;
    }
    EXPECT_NE(ReadFile(app.projectFile), previous);
}

TEST_F(ProjectFile, DiskFullMidWriteKeepsThePreviousFile) {
    FillRichProject();
    ASSERT_EQ(app.SaveProject(), 1);
    const auto previous = ReadFile(app.projectFile);
    app.project.title = "changed";
    FaultPlan plan;
    plan.failAfterBytes = 10;
    {
        ScopedFaultPlan scoped(plan);
        EXPECT_EQ(app.SaveProject(), 0);
    }
    EXPECT_EQ(ReadFile(app.projectFile), previous);
    EXPECT_EQ(LastMessage(),
              "Cannot save E-Book Project\nDisk full while accessing " + app.projectFile + ".");
    EXPECT_EQ(prompts.messages.back().icon, MsgIcon::Stop);
    EXPECT_EQ(app.project.title, "changed");  // the project in memory is unchanged
}

TEST_F(ProjectFile, ProjectFileLockedBySomeoneElseIsNotTouched) {
    ASSERT_EQ(app.SaveProject(), 1);
    const auto previous = ReadFile(app.projectFile);
    CFile holder(app.projectFile, CFile::modeRead | CFile::shareExclusive);
    app.project.title = "changed";
    EXPECT_EQ(app.SaveProject(), 0);
    EXPECT_EQ(LastMessage(),
              "Cannot save E-Book Project\nA sharing violation occurred while accessing " +
                  app.projectFile + ".");
    EXPECT_EQ(ReadFile(app.projectFile), previous);
}

// Saving through a link replaces the file the link leads to, which keeps
// its permission bits and its owner; the link stays a link.
TEST_F(ProjectFile, SavingKeepsLinksPermissionsAndOwner) {
    namespace fs = std::filesystem;
    struct Case {
        std::vector<std::pair<const char*, const char*>> links;  // link -> where it leads
        const char* saved;                                       // the name saved to
        const char* file;                                        // the file replaced
        fs::perms mode;
    };
    const Case cases[] = {
        {{}, "plain.ebp", "plain.ebp", fs::perms(0600)},
        {{{"link.ebp", "real/linked.ebp"}}, "link.ebp", "real/linked.ebp", fs::perms(0640)},
        {{{"chain.ebp", "hop.ebp"}, {"hop.ebp", "real/deep.ebp"}},
         "chain.ebp",
         "real/deep.ebp",
         fs::perms(0604)},
    };
    fs::create_directories(dir.Path() / "real");
    for (const Case& c : cases) {
        app.projectFile = dir / c.file;
        app.project.title = "before";
        ASSERT_EQ(app.SaveProject(), 1);
        fs::permissions(app.projectFile, c.mode);
        ASSERT_EQ(chown(app.projectFile.c_str(), test::OrdinaryUserId(), test::OrdinaryGroupId()),
                  0);
        for (const auto& [link, to] : c.links) fs::create_symlink(to, dir.Path() / link);

        app.projectFile = dir / c.saved;
        app.project.title = "after";
        ASSERT_EQ(app.SaveProject(), 1) << LastMessage();
        for (const auto& [link, to] : c.links) EXPECT_TRUE(fs::is_symlink(dir.Path() / link));
        const std::string file = dir / c.file;
        EXPECT_EQ(fs::status(file).permissions(), c.mode) << c.file;
        struct stat st;
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, test::OrdinaryUserId()) << c.file;
        EXPECT_FALSE(fs::exists(file + ".saving"));

        ScriptedPrompts readerPrompts;
        CBookApp reader(readerPrompts);
        reader.projectFile = file;
        ASSERT_EQ(reader.OpenProject(), 1);
        EXPECT_EQ(reader.project.title, "after") << c.file;
    }
}

// Where no temporary file can be made, the project file is written in
// place, as a plain save would; if even that is refused, the message says
// why.
TEST_F(ProjectFile, AFolderThatTakesNoNewFileGetsTheFileInPlace) {
    const test::AsOrdinaryUser as = test::RunAsOrdinaryUser();
    if (as == test::AsOrdinaryUser::impossible) GTEST_SKIP() << "no setpriv or runuser for root";
    if (as == test::AsOrdinaryUser::ran) return;
    const std::string folder = dir / "closed";
    std::filesystem::create_directories(folder);
    app.projectFile = folder + "/book.ebp";
    ASSERT_EQ(app.SaveProject(), 1);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    app.project.title = "changed";
    EXPECT_EQ(app.SaveProject(), 1) << LastMessage();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    const auto saved = ReadFile(app.projectFile);

    ASSERT_EQ(chmod(app.projectFile.c_str(), 0444), 0);
    app.project.title = "again";
    EXPECT_EQ(app.SaveProject(), 0);
    EXPECT_EQ(LastMessage(),
              "Cannot save E-Book Project\nAccess to " + app.projectFile + " was denied.");
    EXPECT_EQ(ReadFile(app.projectFile), saved);
    ScriptedPrompts readerPrompts;
    CBookApp reader(readerPrompts);
    reader.projectFile = app.projectFile;
    ASSERT_EQ(reader.OpenProject(), 1);
    EXPECT_EQ(reader.project.title, "changed");
}

TEST_F(ProjectFile, SaveIntoAMissingFolderNamesTheProjectFile) {
    app.projectFile = dir / "no-such-folder/book.ebp";
    EXPECT_EQ(app.SaveProject(), 0);
    EXPECT_EQ(LastMessage(), "Cannot save E-Book Project\n" + app.projectFile + " was not found.");
}

}  // namespace
}  // namespace folivex
