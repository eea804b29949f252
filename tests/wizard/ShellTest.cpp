// The main wizard's logic (pages and their buttons, Back and Next, closing
// and its order, Escape) and the program around it: start-up and shut-down
// with the nine remembered values, and where Help finds help.exe.
#include <ctime>

#include "WizardTestSupport.h"
#include "project/Defaults.h"

namespace folivex::test {
namespace {

using SheetTest = WizardTest;

// Escape, on any page, never closes the wizard.
TEST_F(SheetTest, EachPageSetsItsButtonsAndTitleAndEscapeClosesNothing) {
    const struct {
        bool next;  // else Back
        bool moves;
        int page;
        const char* caption;
        uint32_t buttons;
    } steps[] = {
        {false, false, 0, "Content", PSWIZB_NEXT},
        {true, true, 1, "Interface", PSWIZB_BACK | PSWIZB_NEXT},
        {true, true, 2, "Create", PSWIZB_BACK},
        {true, false, 2, "Create", PSWIZB_BACK},  // no Next, no Finish
        {false, true, 1, "Interface", PSWIZB_BACK | PSWIZB_NEXT},
        {false, true, 0, "Content", PSWIZB_NEXT},
        {false, false, 0, "Content", PSWIZB_NEXT},
    };
    EXPECT_EQ(sheetView.page, 0);
    NewProject({"index.html"});
    for (const auto& step : steps) {
        EXPECT_EQ(step.next ? sheet.OnNext() : sheet.OnBack(), step.moves) << step.caption;
        EXPECT_EQ(sheetView.page, step.page);
        EXPECT_EQ(sheetView.caption, step.caption);
        EXPECT_EQ(sheetView.buttons, step.buttons) << step.caption;
        EXPECT_FALSE(sheet.OnCloseRequest(CloseRequest::EscapeKey));
    }
    EXPECT_FALSE(sheetView.ended);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SheetTest, CancelWithNoProjectClosesWithoutAQuestion) {
    EXPECT_TRUE(sheet.OnCommand(IDCANCEL));
    EXPECT_TRUE(sheetView.ended);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.fileRequests.empty());
    EXPECT_FALSE(sheet.OnCloseRequest(CloseRequest::CloseBox));  // closes once
}

TEST_F(SheetTest, ClosingANeverSavedProjectOffersSaveAsAndStillCloses) {
    NewProject({"index.html", "pic.png"});
    prompts.AnswerFile(std::nullopt);  // the author cancels Save As
    EXPECT_TRUE(sheet.OnCloseRequest(CloseRequest::CloseBox));
    EXPECT_TRUE(sheetView.ended);
    EXPECT_EQ(
        prompts.fileRequests,
        FileRequests({{true, "", "ebp", "E-Book Project Files (*.ebp)|*.ebp|All Files (*.*)|*.*||",
                       OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST}}));
    EXPECT_TRUE(app.projectFile.empty());
}

// Whatever page is on screen, closing saves what it shows: the Interface
// page's boxes and the Create page's texts reach the file before the
// Content page saves it. Each change is made as late as the way to the page
// allows, so the one on the page on screen has not been copied.
class CloseOnPageTest : public SheetTest, public ::testing::WithParamInterface<int> {};

TEST_P(CloseOnPageTest, SavesWhatThePageOnScreenShows) {
    const int page = GetParam();
    NewProject({"index.html"});
    app.projectFile = Path("book.ebp");
    const int exitBox = kToolbarButtonIds[kButtonExit];
    sheet.OnNext();
    if (page == SheetController::kCreatePage) interfacePage.SetCheck(exitBox, false);
    sheet.OnNext();
    createPage.SetText(IDC_TITLE, "Typed Title");
    if (page != SheetController::kCreatePage) {
        sheet.OnBack();
        interfacePage.SetCheck(exitBox, false);
    }
    if (page == SheetController::kContentPage) sheet.OnBack();
    ASSERT_EQ(sheetView.page, page);

    EXPECT_TRUE(sheet.OnCommand(IDCANCEL));
    EXPECT_TRUE(prompts.fileRequests.empty());
    EXPECT_TRUE(prompts.messages.empty());
    const auto saved = ReadProject(Path("book.ebp"));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->project.title, "Typed Title");
    EXPECT_EQ(saved->project.toolbarButtons[kButtonExit], 0);
}

INSTANTIATE_TEST_SUITE_P(Pages, CloseOnPageTest,
                         ::testing::Values(int(SheetController::kContentPage),
                                           int(SheetController::kInterfacePage),
                                           int(SheetController::kCreatePage)));

// Pages left earlier do not copy again on closing: a project opened since
// keeps its own texts, byte for byte.
TEST_F(SheetTest, ClosingAfterOpeningAnotherProjectKeepsItsTexts) {
    NewProject({"index.html"});
    app.project.title = "Project A";
    SaveAs("a.ebp");
    app.project.title = "Project B";
    app.project.author = "Ren\xE9 Auteur";  // made on Windows
    app.project.showAboutAtStart = 1;
    const std::vector<uint8_t> b = SaveAs("b.ebp");
    app.projectFile = Path("a.ebp");
    ASSERT_NE(app.OpenProject(), 0);

    sheet.OnNext();
    sheet.OnNext();
    EXPECT_EQ(createPage.GetText(IDC_TITLE), "Project A");
    sheet.OnBack();
    sheet.OnBack();
    prompts.AnswerFile(Path("b.ebp"));
    sheet.Content().OnCommand(IDC_OPEN_PROJECT);
    EXPECT_EQ(app.project.title, "Project B");
    sheet.OnCommand(IDCANCEL);
    EXPECT_EQ(ReadFile(Path("b.ebp")), b);
}

const std::vector<std::string> kNineKeys = {"LastProject",   "LastProjectFile", "LastIcon",
                                            "LastSplash",    "LastEBook",       "LastAuthor",
                                            "LastCopyright", "LastUrl",         "LastEMail"};

std::string ThisYearsCopyright() {
    const std::time_t now = std::time(nullptr);
    return "Copyright (C) " + std::to_string(std::localtime(&now)->tm_year + 1900) +
           " *your company name*";
}

class WizardAppTest : public WizardTest {
protected:
    // A run of the program on store: start-up, then the wizard does wizard.
    void Run(FakeSettingsStore& on, const std::function<void(CWizardApp&)>& wizard) {
        ScriptedPrompts runPrompts;
        CWizardApp run(runPrompts, on, launcher);
        EXPECT_FALSE(run.StartUp([&] { wizard(run); }));
        EXPECT_EQ(run.ShutDown(), 0);
        EXPECT_TRUE(run.project.pages.empty());
    }
};

TEST_F(WizardAppTest, FirstRunGivesTheDefaults) {
    Run(store, [](CWizardApp& run) {
        EXPECT_EQ(run.project.author, "*Your Name*");
        EXPECT_EQ(run.project.copyright, ThisYearsCopyright());
        EXPECT_EQ(run.project.url, kDefaultUrl);
        EXPECT_EQ(run.project.email, kDefaultEmail);
        for (const std::string* path : {&run.lastProjectDir, &run.lastProjectFile,
                                        &run.lastIconFile, &run.lastSplashFile, &run.lastEBookFile})
            EXPECT_EQ(*path, "");
        EXPECT_EQ(run.project.title, "E-Book");
    });
    EXPECT_EQ(store.reads, kNineKeys);
    EXPECT_EQ(store.writes, kNineKeys);  // all nine, unchanged ones too
    EXPECT_EQ(store.values["LastAuthor"], "*Your Name*");
}

// Stored values win over the defaults, empty ones too; the copyright keeps
// the year it was stored with; the title is not remembered, and no project is
// reopened; a value deleted by hand gets its default again, with this year.
TEST_F(WizardAppTest, LaterRunsKeepWhatWasStored) {
    app.StartUp([&] {
        NewProject({"index.html"});
        ASSERT_FALSE(SaveAs("old.ebp").empty());
        app.lastProjectFile = app.projectFile;
    });
    app.ShutDown();
    Run(store, [&](CWizardApp& run) {
        EXPECT_EQ(run.projectOpen, 0);
        EXPECT_TRUE(run.project.pages.empty());
        EXPECT_EQ(run.lastProjectFile, Path("old.ebp"));
        EXPECT_EQ(run.lastProjectDir, Path("book"));
        run.project.author = "";
        run.project.copyright = "Copyright (C) 2001 *your company name*";
        run.project.email = "me@example.org";
        run.project.title = "Not Remembered";
        run.lastSplashFile = "/pics/splash.bmp";
    });
    Run(store, [](CWizardApp& run) {
        EXPECT_EQ(run.project.author, "");
        EXPECT_EQ(run.project.copyright, "Copyright (C) 2001 *your company name*");
        EXPECT_EQ(run.project.email, "me@example.org");
        EXPECT_EQ(run.project.url, kDefaultUrl);
        EXPECT_EQ(run.lastSplashFile, "/pics/splash.bmp");
        EXPECT_EQ(run.project.title, "E-Book");
    });
    store.values.erase("LastCopyright");
    store.values.erase("LastAuthor");
    Run(store, [](CWizardApp& run) {
        EXPECT_EQ(run.project.author, "*Your Name*");
        EXPECT_EQ(run.project.copyright, ThisYearsCopyright());
    });
}

// Values made on Windows (Windows-1252, not UTF-8) are stored as the text
// they are, not as replacement characters, and come back as that text.
TEST_F(WizardAppTest, Windows1252ValuesAreStoredAsTheirText) {
    std::string CBookApp::*const paths[] = {&CBookApp::lastProjectDir, &CBookApp::lastProjectFile,
                                            &CBookApp::lastIconFile, &CBookApp::lastSplashFile,
                                            &CBookApp::lastEBookFile};
    std::string BookProject::*const texts[] = {&BookProject::author, &BookProject::copyright,
                                               &BookProject::url, &BookProject::email};
    Run(store, [&](CWizardApp& run) {
        int n = 0;
        for (auto member : paths) run.*member = "Caf\xE9 " + std::to_string(n++);
        for (auto member : texts) run.project.*member = "Caf\xE9 " + std::to_string(n++);
    });
    for (size_t i = 0; i < kNineKeys.size(); ++i)
        EXPECT_EQ(store.values[kNineKeys[i]], "Caf\xC3\xA9 " + std::to_string(i));
}

// Help takes help.exe from the program's folder, else from the installed
// data folder, else from the working directory.
struct HelpCase {
    std::vector<std::string> holders;  // folders that hold a help.exe
    std::string started;
};

class HelpTest : public WizardAppTest, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(HelpTest, FindsTheGuideBesideTheProgramFirst) {
    app.helpFolders = CWizardApp::HelpFolders("/opt/f/bin", "../share/folivex");
    const std::map<std::string, std::string> where = {
        {"program", "/opt/f/bin/help.exe"},
        {"data", "/opt/f/bin/../share/folivex/help.exe"},
        {"cwd", "help.exe"}};
    for (const std::string& holder : GetParam().holders) launcher.files.insert(where.at(holder));
    sheet.OnHelp();
    const std::string& started = GetParam().started;
    EXPECT_EQ(launcher.started,
              std::vector<std::string>{started.empty() ? "help.exe" : where.at(started)});
    if (!started.empty()) {
        EXPECT_TRUE(prompts.messages.empty());
        return;
    }
    EXPECT_EQ(prompts.messages, Messages({{"Cannot run help.exe: No such file or directory",
                                           MsgButtons::OK, MsgIcon::Stop}}));
}

INSTANTIATE_TEST_SUITE_P(Folders, HelpTest,
                         ::testing::Values(HelpCase{{"program"}, "program"},
                                           HelpCase{{"data"}, "data"}, HelpCase{{"cwd"}, "cwd"},
                                           HelpCase{{"program", "data", "cwd"}, "program"},
                                           HelpCase{{"data", "cwd"}, "data"}, HelpCase{{}, ""}));

}  // namespace
}  // namespace folivex::test
