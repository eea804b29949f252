// The Interface and Create pages' logic: show and copy, the pickers, Create
// E-Book, Run E-Book and Save Project As, and fields that keep their bytes.
#include <filesystem>

#include "WizardTestSupport.h"

namespace folivex::test {
namespace {

// A stand-in viewer stub: the build copies it to the start of the e-book.
const uint8_t kFakeStub[64] = {'M', 'Z'};

class PagesTest : public WizardTest {
protected:
    void ToPage(int page) {
        NewProject({"index.html", "two.html"});
        app.viewerStub = std::span<const uint8_t>(kFakeStub, sizeof kFakeStub);
        while (sheetView.page < page) ASSERT_TRUE(sheet.OnNext());
    }
};

// The boxes show the project's flags and each goes back to its own, on Next
// and on Back; "&Copy" (1024) is the fourth toolbar button, "&Exit" (1023)
// the tenth.
TEST_F(PagesTest, EachBoxShowsAndCopiesItsFlag) {
    for (bool next : {true, false}) {
        app.ResetProject();
        ToPage(SheetController::kInterfacePage);
        const std::array<int, 4> startUp = {IDC_SHOW_ABOUT, IDC_START_MAXIMIZED,
                                            IDC_START_FULL_SCREEN, IDC_SHOW_TOOLBAR};
        const std::array<bool, 4> defaults = {false, true, false, true};
        for (int id : kToolbarButtonIds) EXPECT_TRUE(interfacePage.GetCheck(id)) << id;
        EXPECT_EQ(interfacePage.GetText(IDC_SPLASH_FILE) + interfacePage.GetText(IDC_ICON_FILE),
                  "");
        for (size_t i = 0; i < startUp.size(); ++i) {
            EXPECT_EQ(interfacePage.GetCheck(startUp[i]), defaults[i]) << startUp[i];
            interfacePage.SetCheck(startUp[i], !defaults[i]);
        }
        for (int id : {1024, 1023}) interfacePage.SetCheck(id, false);
        next ? sheet.OnNext() : sheet.OnBack();
        const BookProject& p = app.project;
        EXPECT_EQ(
            std::vector({p.showAboutAtStart, p.startMaximized, p.startFullScreen, p.showToolbar}),
            std::vector({1, 0, 1, 0}));
        const std::array<int32_t, kToolbarButtonCount> buttons = {1, 1, 1, 0, 1, 1, 1, 1, 1, 0};
        EXPECT_EQ(p.toolbarButtons, buttons);
        while (sheet.OnBack()) {
        }
    }
}

// The two "..." buttons: copy first (a box ticked just before survives), a
// picker of existing files starting at the wildcard and later at the file
// chosen last; a chosen file is shown and remembered; Cancel keeps it.
struct PickerCase {
    int button;
    int shownIn;
    std::string BookProject::*field;
    std::string CBookApp::*remembered;
    const char* wildcard;
    const char* extension;
    const char* filter;
};

class PickerTest : public PagesTest, public ::testing::WithParamInterface<PickerCase> {};

TEST_P(PickerTest, CopiesFirstAndRemembersTheChoice) {
    const PickerCase& c = GetParam();
    ToPage(SheetController::kInterfacePage);
    interfacePage.SetCheck(IDC_SHOW_ABOUT, true);
    prompts.AnswerFile(Path("chosen"));
    sheet.Interface().OnCommand(c.button);
    EXPECT_EQ(prompts.fileRequests,
              FileRequests({{false, c.wildcard, c.extension, c.filter,
                             OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST}}));
    EXPECT_EQ(app.project.showAboutAtStart, 1);
    EXPECT_TRUE(interfacePage.GetCheck(IDC_SHOW_ABOUT));
    EXPECT_EQ(app.project.*c.field, Path("chosen"));
    EXPECT_EQ(app.*c.remembered, Path("chosen"));
    EXPECT_EQ(interfacePage.GetText(c.shownIn), Path("chosen"));

    prompts.AnswerFile(std::nullopt);
    sheet.Interface().OnCommand(c.button);
    EXPECT_EQ(prompts.fileRequests.back().initialName, Path("chosen"));
    EXPECT_EQ(app.project.*c.field, Path("chosen"));
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, PickerTest,
    ::testing::Values(PickerCase{IDC_PICK_SPLASH, IDC_SPLASH_FILE, &BookProject::splashFile,
                                 &CBookApp::lastSplashFile, "*.bmp", "bmp",
                                 "Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||"},
                      PickerCase{IDC_PICK_ICON, IDC_ICON_FILE, &BookProject::iconFile,
                                 &CBookApp::lastIconFile, "*.ico", "ico",
                                 "Icon Files (*.ico)|*.ico|All Files (*.*)|*.*||"}));

TEST_F(PagesTest, CreateWithoutAFileNameAsksForOneFirst) {
    ToPage(SheetController::kCreatePage);
    prompts.AnswerFile(std::nullopt);
    sheet.Create().OnCommand(IDC_CREATE_EBOOK);
    EXPECT_EQ(prompts.fileRequests,
              FileRequests({{true, "ebook.exe", "exe",
                             "Executable Files (*.exe)|*.exe|All Files (*.*)|*.*||",
                             OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER}}));
    // Cancelled: nothing built, nothing said.
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(app.project.ebookFile.empty());
}

TEST_F(PagesTest, CreateReportsSuccessWithTheFullPath) {
    ToPage(SheetController::kCreatePage);
    createPage.SetText(IDC_TITLE, "My Book");
    const std::string out = Path("ebook.exe");
    prompts.AnswerFile(out);
    sheet.Create().OnCommand(IDC_CREATE_EBOOK);
    EXPECT_EQ(app.project.title, "My Book");  // copied first
    EXPECT_EQ(app.project.ebookFile, out);
    EXPECT_EQ(app.lastEBookFile, out);
    EXPECT_EQ(createPage.GetText(IDC_EBOOK_FILE), out);
    EXPECT_EQ(prompts.messages, Messages({{"E-Book " + out + " created successfully.",
                                           MsgButtons::OK, MsgIcon::Information}}));
    EXPECT_TRUE(std::filesystem::exists(out));
    // The view was told of the build from its start to its end.
    ASSERT_GE(createPage.buildEvents.size(), 3u);
    EXPECT_EQ(createPage.buildEvents.front(), "started");
    EXPECT_EQ(createPage.buildEvents.back(), "ended");

    // With a file name set, the next build asks for none.
    sheet.Create().OnCommand(IDC_CREATE_EBOOK);
    EXPECT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.messages.size(), 2u);
}

// A book whose pages point nowhere is still built; the message says so in
// one line, with the first findings of each kind behind "Details...".
TEST_F(PagesTest, CreateTellsOfBrokenLinksBesideTheSuccess) {
    ToPage(SheetController::kCreatePage);
    WriteText(dir / "book/two.html", "<p>\n<a href=gone.html>gone</a>");
    const std::string out = Path("ebook.exe");
    prompts.AnswerFile(out);
    sheet.Create().OnCommand(IDC_CREATE_EBOOK);
    EXPECT_EQ(prompts.messages,
              Messages({{"E-Book " + out +
                             " created successfully.\n\nLink report: 1 missing\n\n"
                             "Link report: 1 missing\nmissing: not in the folder\n"
                             "  two.html:2: gone.html\n",
                         MsgButtons::OK, MsgIcon::Information}}));
}

TEST_F(PagesTest, ShowsTheProjectAndPicksFromTheLastEBook) {
    ToPage(SheetController::kCreatePage);
    sheet.OnBack();
    app.lastEBookFile = Path("last.exe");
    app.project.ebookFile = Path("project.exe");
    app.project.url = "";
    sheet.OnNext();  // every activation shows the project
    EXPECT_EQ(createPage.GetText(IDC_EBOOK_FILE), Path("project.exe"));
    EXPECT_EQ(createPage.GetText(IDC_URL), "");
    prompts.AnswerFile(Path("chosen.exe"));
    sheet.Create().OnCommand(IDC_PICK_EBOOK);
    EXPECT_EQ(prompts.fileRequests.back().initialName, Path("last.exe"));
    EXPECT_EQ(app.project.ebookFile, Path("chosen.exe"));
    EXPECT_EQ(app.lastEBookFile, Path("chosen.exe"));
    EXPECT_EQ(createPage.GetText(IDC_EBOOK_FILE), Path("chosen.exe"));
}

TEST_F(PagesTest, SaveProjectAsSavesTheTextsOnScreen) {
    ToPage(SheetController::kCreatePage);
    createPage.SetText(IDC_TITLE, "Typed Just Now");
    createPage.SetText(IDC_ABOUT_INFO, "About\r\nit");
    prompts.AnswerFile(Path("saved.ebp"));
    sheet.Create().OnCommand(IDC_SAVE_PROJECT_AS);
    EXPECT_EQ(app.projectFile, Path("saved.ebp"));
    const auto saved = ReadProject(Path("saved.ebp"));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->project.title, "Typed Just Now");
    EXPECT_EQ(saved->project.aboutInfo, "About\r\nit");
}

TEST_F(PagesTest, RunEBookStartsTheStoredFileAndIsSilentWhenItCannot) {
    ToPage(SheetController::kCreatePage);
    sheet.Create().OnCommand(IDC_RUN_EBOOK);  // no file name: nothing to start
    EXPECT_TRUE(launcher.started.empty());
    app.project.ebookFile = Path("missing.exe");
    createPage.SetText(IDC_EBOOK_FILE, "typed, not copied");
    sheet.Create().OnCommand(IDC_RUN_EBOOK);
    EXPECT_EQ(launcher.started, std::vector<std::string>{Path("missing.exe")});
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(prompts.fileRequests.empty());
}

// Every text and path of a project goes through the pages and back into the
// saved file unchanged unless typed over: Windows-1252 texts of projects
// made on Windows are shown decoded and kept byte for byte, also where the
// control changes a character as it takes it (the About edit turns a
// no-break space into a plain one).
struct FieldCase {
    int id;
    std::string BookProject::*field;
    std::string value;  // the field's bytes
    std::string shown;  // what its control shows
    std::string typed;  // appended by the author
    std::string kept;   // the field after closing
};

class FieldTest : public PagesTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(FieldTest, KeepsItsBytesUnlessTypedOver) {
    const FieldCase& c = GetParam();
    createPage.changeOnShow[IDC_ABOUT_INFO] = [](std::string text) {
        for (size_t at; (at = text.find("\xC2\xA0")) != std::string::npos;)
            text.replace(at, 2, " ");
        return text;
    };
    NewProject({"index.html"});
    app.project.*c.field = c.value;
    const std::vector<uint8_t> before = SaveAs("book.ebp");
    ASSERT_FALSE(before.empty());

    for (bool next : {true, true, false, false, true, true}) next ? sheet.OnNext() : sheet.OnBack();
    const bool onInterface = c.id == IDC_SPLASH_FILE || c.id == IDC_ICON_FILE;
    if (onInterface) sheet.OnBack();
    std::map<int, std::string>& texts = onInterface ? interfacePage.texts : createPage.texts;
    EXPECT_EQ(texts[c.id], c.shown);
    texts[c.id] += c.typed;
    sheet.OnCloseRequest(CloseRequest::CloseBox);

    const auto saved = ReadProject(Path("book.ebp"));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->project.*c.field, c.kept);
    if (c.kept == c.value) {
        EXPECT_EQ(ReadFile(Path("book.ebp")), before);
    }
}

std::vector<FieldCase> FieldCases() {
    const std::string cafe = "Caf\xE9 \x93quoted\x94 \x80 5";
    const std::string cafeShown = "Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC 5";
    const std::string path = "C:\\Users\\Ren\xE9\\Livre\\book.bin";
    const std::string pathShown = "C:\\Users\\Ren\xC3\xA9\\Livre\\book.bin";
    const std::string longText(40000, 'x');
    const std::pair<int, std::string BookProject::*> fields[] = {
        {IDC_TITLE, &BookProject::title},          {IDC_AUTHOR, &BookProject::author},
        {IDC_COPYRIGHT, &BookProject::copyright},  {IDC_URL, &BookProject::url},
        {IDC_EMAIL, &BookProject::email},          {IDC_ABOUT_INFO, &BookProject::aboutInfo},
        {IDC_EBOOK_FILE, &BookProject::ebookFile}, {IDC_SPLASH_FILE, &BookProject::splashFile},
        {IDC_ICON_FILE, &BookProject::iconFile},
    };
    std::vector<FieldCase> cases;
    for (const auto& [id, field] : fields) {
        const bool isPath = id == IDC_EBOOK_FILE || id == IDC_SPLASH_FILE || id == IDC_ICON_FILE;
        const std::string& value = isPath ? path : cafe;
        cases.push_back({id, field, value, isPath ? pathShown : cafeShown, "", value});
        cases.push_back({id, field, longText, longText, "", longText});
    }
    cases.push_back({IDC_TITLE, &BookProject::title, cafe, cafeShown, " 2", cafeShown + " 2"});
    cases.push_back({IDC_ABOUT_INFO, &BookProject::aboutInfo, "one\xC2\xA0two\r\nthree\nfour",
                     "one two\r\nthree\nfour", "", "one\xC2\xA0two\r\nthree\nfour"});
    cases.push_back(
        {IDC_ABOUT_INFO, &BookProject::aboutInfo, "one\r\ntwo", "one\r\ntwo", "!", "one\r\ntwo!"});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Fields, FieldTest, ::testing::ValuesIn(FieldCases()));

}  // namespace
}  // namespace folivex::test
