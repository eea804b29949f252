// The Content page's logic: the file list, reordering, File Properties, New,
// Open and Re-Scan Dir, and the refusal of Next without entries.
#include <filesystem>

#include "WizardTestSupport.h"

namespace folivex::test {
namespace {

class ContentControllerTest : public WizardTest {
protected:
    ContentController& Content() { return sheet.Content(); }

    // Five pages e0..e4 in this order.
    void FiveEntries() {
        NewProject({"e0.html", "e1.html", "e2.html", "e3.html", "e4.html"});
        ASSERT_EQ(contentPage.rows.size(), 5u);
    }
};

TEST_F(ContentControllerTest, StartsEmptyAndRefusesNextAndMakesColumnsOnce) {
    for (int id : {IDC_RESCAN_DIR, IDC_FILE_PROPERTIES, IDC_MOVE_UP, IDC_MOVE_DOWN})
        EXPECT_FALSE(contentPage.Enabled(id)) << id;
    for (int id : {IDC_NEW_PROJECT, IDC_OPEN_PROJECT}) EXPECT_TRUE(contentPage.Enabled(id)) << id;
    EXPECT_FALSE(sheet.OnNext());
    EXPECT_EQ(sheetView.page, SheetController::kContentPage);
    EXPECT_EQ(prompts.messages, Messages({{"No pages in the E-Book.\nClick \"New Project...\" "
                                           "button to select a folder with HTML files",
                                           MsgButtons::OK, MsgIcon::Exclamation}}));

    // The columns, made once, at the first activation.
    NewProject({"index.html"});
    sheet.OnNext();
    sheet.OnBack();
    EXPECT_EQ(contentPage.columnCreations, 1);
    ASSERT_EQ(contentPage.columns.size(), 3u);
    const std::pair<std::string, int> columns[] = {{"File", 7}, {"Included", 4}, {"Searchable", 4}};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(
            std::pair(std::string(contentPage.columns[i].caption), contentPage.columns[i].units),
            columns[i]);
}

TEST_F(ContentControllerTest, NewProjectListsEveryFileWithItsFlags) {
    app.lastProjectDir = "/where/we/were";
    NewProject({"index.html", "style.css", "sub/page.htm"});
    ASSERT_EQ(prompts.folderRequests.size(), 1u);
    EXPECT_EQ(prompts.folderRequests[0].title, "Select an e-book project directory");
    EXPECT_EQ(prompts.folderRequests[0].flags, 0x31u);
    EXPECT_EQ(prompts.folderRequests[0].initialFolder, "/where/we/were");
    EXPECT_EQ(app.projectOpen, 1);
    EXPECT_TRUE(contentPage.Enabled(IDC_RESCAN_DIR));
    ASSERT_EQ(contentPage.rows.size(), 3u);
    EXPECT_EQ(contentPage.Row(0) + contentPage.Row(1) + contentPage.Row(2),
              "index.html|**style.css|* sub\\page.htm|**");
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(app.lastProjectDir, Path("book"));
}

// Names that meet in the book and the e-book the project builds inside its
// own folder: one message after the scan says what became of them.
TEST_F(ContentControllerTest, TheScanSaysWhatItLeftOutInOneMessage) {
    app.project.ebookFile = Path("book") + "/book.exe";
    NewProject({"Index.htm", "index.htm", "book.exe", "z.html"});
    EXPECT_EQ(Order(), "in z. ");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);
    const std::string& text = prompts.messages[0].text;
    EXPECT_NE(text.find("Index.htm and index.htm have the same name in the book; only Index.htm "
                        "is included"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("book.exe"), std::string::npos) << text;
}

// A selected row moves past its unselected neighbour; a run moves as a
// block; a run at the top (Move Up) or bottom (Move Down) stays. The
// selection goes with the rows. The moves work while a row is selected, File
// Properties while exactly one is.
struct MoveCase {
    int button;
    std::vector<size_t> before;
    const char* order;
    std::vector<size_t> after;
};

class MoveTest : public ContentControllerTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveTest, MovesTheSelectedRows) {
    const MoveCase& c = GetParam();
    FiveEntries();
    Select(c.before);
    EXPECT_EQ(contentPage.Enabled(IDC_MOVE_UP), !c.before.empty());
    EXPECT_EQ(contentPage.Enabled(IDC_MOVE_DOWN), !c.before.empty());
    EXPECT_EQ(contentPage.Enabled(IDC_FILE_PROPERTIES), c.before.size() == 1);
    const int rowUpdates = contentPage.rowUpdates, selections = contentPage.selectionUpdates;
    Content().OnCommand(c.button);
    EXPECT_EQ(Order(), c.order);
    EXPECT_EQ(contentPage.Files(), Order());
    EXPECT_EQ(Selected(), c.after);
    // One pass: one rewrite of the rows that moved, one selection update.
    EXPECT_EQ(contentPage.rowUpdates, rowUpdates + 1);
    EXPECT_EQ(contentPage.selectionUpdates, selections + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MoveTest,
    ::testing::Values(MoveCase{IDC_MOVE_UP, {}, "e0 e1 e2 e3 e4 ", {}},
                      MoveCase{IDC_MOVE_UP, {1, 2}, "e1 e2 e0 e3 e4 ", {0, 1}},
                      MoveCase{IDC_MOVE_UP, {0, 2}, "e0 e2 e1 e3 e4 ", {0, 1}},
                      MoveCase{IDC_MOVE_UP, {0, 1}, "e0 e1 e2 e3 e4 ", {0, 1}},
                      MoveCase{IDC_MOVE_UP, {4}, "e0 e1 e2 e4 e3 ", {3}},
                      MoveCase{IDC_MOVE_DOWN, {4}, "e0 e1 e2 e3 e4 ", {4}},
                      MoveCase{IDC_MOVE_DOWN, {3, 4}, "e0 e1 e2 e3 e4 ", {3, 4}},
                      MoveCase{IDC_MOVE_DOWN, {0, 1, 3}, "e2 e0 e1 e4 e3 ", {1, 2, 4}}));

// The dialog never changes the page sequence (its box is hidden); Cancel
// leaves the entry as it was, however the boxes were changed.
TEST_F(ContentControllerTest, FilePropertiesWritesBackOnlyOnOK) {
    FiveEntries();
    CPieceElem& e1 = *app.project.pages[1];
    e1.inPageSequence = 0;
    Select({1});
    for (bool ok : {true, false}) {
        contentPage.dialogAnswer = [ok](ControlView& d) {
            d.SetCheck(IDC_INCLUDED, !ok);
            d.SetCheck(IDC_IN_SEARCH, !ok);
            d.SetCheck(IDC_MAKE_HOME_PAGE, !ok);
            return ok;
        };
        Content().OnCommand(IDC_FILE_PROPERTIES);
        EXPECT_EQ(std::vector({e1.inPageSequence, e1.included, e1.inSearch}),
                  std::vector({0, 0, 0}));
        EXPECT_EQ(contentPage.Row(1), "e1.html|  ");
    }
    EXPECT_EQ(Order(), "e0 e1 e2 e3 e4 ");
}

// A double click edits the lowest selected row, in a dialog that opens with
// "Make Home Page" unticked and passes the page sequence through; a new home
// page goes to the top, selected and focused, the rows above it shifting
// down one place with their selection.
TEST_F(ContentControllerTest, DoubleClickEditsTheLowestSelectedRow) {
    FiveEntries();
    app.project.pages[2]->inSearch = 0;
    app.project.pages[2]->inPageSequence = 0;
    Select({2, 4});
    contentPage.dialogAnswer = [](ControlView& d) {
        d.SetCheck(IDC_INCLUDED, false);
        d.SetCheck(IDC_MAKE_HOME_PAGE, true);
        return true;
    };
    Content().OnFileListDoubleClick();
    const std::map<int, bool> opened = {{IDC_MAKE_HOME_PAGE, false},
                                        {IDC_INCLUDED, true},
                                        {IDC_IN_PAGE_SEQUENCE, false},
                                        {IDC_IN_SEARCH, false}};
    EXPECT_EQ(contentPage.dialogsOpened, std::vector{opened});
    EXPECT_EQ(Order(), "e2 e0 e1 e3 e4 ");
    EXPECT_EQ(contentPage.Files(), Order());
    EXPECT_EQ(contentPage.Row(0), "e2.html|  ");
    EXPECT_EQ(app.project.pages[0]->inPageSequence, 0);
    EXPECT_EQ(app.project.pages[4]->included, 1);
    EXPECT_EQ(Selected(), (std::vector<size_t>{0, 4}));
    EXPECT_EQ(contentPage.focus, std::optional<size_t>(0));

    Content().MakeHomePage(0);  // already first: nothing moves
    EXPECT_EQ(Order(), "e2 e0 e1 e3 e4 ");
    Select({});
    Content().OnFileListDoubleClick();  // nothing selected: no dialog
    EXPECT_EQ(contentPage.dialogsOpened.size(), 1u);
}

// An open project that was never saved brings the question first: Cancel
// stops, Yes runs Save As (giving up there stops), No goes on unsaved. One
// with a file is saved to it without a question, and keeps it.
TEST_F(ContentControllerTest, NewProjectAsksOrSavesFirst) {
    FiveEntries();
    prompts.AnswerMessage(MsgResult::Cancel);
    Content().OnCommand(IDC_NEW_PROJECT);
    EXPECT_EQ(prompts.messages, Messages({{"Do you want to save changes in current project?",
                                           MsgButtons::YesNoCancel, MsgIcon::Question}}));
    EXPECT_EQ(prompts.folderRequests.size(), 1u);  // Cancel: no picker
    prompts.AnswerMessage(MsgResult::Yes);
    prompts.AnswerFile(std::nullopt);
    Content().OnCommand(IDC_NEW_PROJECT);
    EXPECT_EQ(prompts.folderRequests.size(), 1u);
    EXPECT_EQ(Order(), "e0 e1 e2 e3 e4 ");
    prompts.AnswerMessage(MsgResult::No);
    NewProject({"x.html"}, "other");
    EXPECT_EQ(Order(), "x. ");

    app.projectFile = Path("first.ebp");
    app.project.title = "Kept Title";
    NewProject({"a.html"}, "second");
    EXPECT_EQ(prompts.messages.size(), 3u);
    EXPECT_TRUE(std::filesystem::exists(Path("first.ebp")));
    EXPECT_EQ(app.projectFile, Path("first.ebp"));  // kept for the next save
    EXPECT_EQ(app.project.title, "Kept Title");
    EXPECT_EQ(Order(), "a. ");
}

// Open shows the stored order; a failed open resets the project, forgets its
// file and disables Re-Scan Dir.
TEST_F(ContentControllerTest, OpenShowsTheStoredOrderOrResets) {
    FiveEntries();
    Select({4});
    Content().OnCommand(IDC_MOVE_UP);
    ASSERT_FALSE(SaveAs("good.ebp").empty());
    app.lastProjectFile = Path("good.ebp");
    app.ResetProject();
    Content().FillFileList();
    prompts.AnswerFile(Path("good.ebp"));
    Content().OnCommand(IDC_OPEN_PROJECT);
    EXPECT_EQ(prompts.fileRequests,
              FileRequests({{false, Path("good.ebp"), "ebp",
                             "E-Book Projects (*.ebp)|*.ebp|All Files (*.*)|*.*||", 0x1804}}));
    EXPECT_EQ(app.projectOpen, 1);
    EXPECT_EQ(Order(), "e0 e1 e2 e4 e3 ");
    EXPECT_EQ(contentPage.Files(), Order());
    EXPECT_TRUE(Selected().empty());
    EXPECT_TRUE(contentPage.Enabled(IDC_RESCAN_DIR));

    WriteText(Path("bad.ebp"), "not a project at all");
    prompts.AnswerFile(Path("bad.ebp"));
    Content().OnCommand(IDC_OPEN_PROJECT);  // saves good.ebp first, silently
    EXPECT_TRUE(app.projectFile.empty());
    EXPECT_EQ(app.projectOpen, 0);
    EXPECT_EQ(app.lastProjectFile, Path("bad.ebp"));
    EXPECT_FALSE(contentPage.Enabled(IDC_RESCAN_DIR));
    EXPECT_EQ(contentPage.rows.size(), app.project.pages.size());
    EXPECT_EQ(prompts.messages.size(), 1u);  // the core said why
}

// A folder that cannot be listed is refused with the system's reason, for
// Re-Scan Dir and New Project alike; the project and its file keep every
// entry. Re-Scan Dir's picker opens on the project's folder, New Project's
// on the folder scanned last.
struct UnlistableCase {
    int button;
    const char* kind;
    const char* reason;
};

class UnlistableFolderTest : public ContentControllerTest,
                             public ::testing::WithParamInterface<UnlistableCase> {};

TEST_P(UnlistableFolderTest, IsRefused) {
    const UnlistableCase& c = GetParam();
    FiveEntries();
    Select({4});
    Content().OnCommand(IDC_MOVE_UP);
    const std::string order = Order();
    const std::vector<uint8_t> saved = SaveAs("book.ebp");
    ASSERT_FALSE(saved.empty());
    app.lastProjectDir = Path("scanned-last");

    const std::string target = Path("target");
    if (std::string(c.kind) == "file") WriteText(target, "");
    if (std::string(c.kind) == "loop") std::filesystem::create_symlink(target, target);
    prompts.AnswerFolder(target);
    Content().OnCommand(c.button);

    EXPECT_EQ(prompts.folderRequests.back().initialFolder,
              c.button == IDC_RESCAN_DIR ? Path("book") : Path("scanned-last"));
    EXPECT_EQ(prompts.messages, Messages({{"Cannot list the folder " + target + ": " + c.reason +
                                               "\nThe project has not been changed.",
                                           MsgButtons::OK, MsgIcon::Stop}}));
    EXPECT_EQ(Order(), order);
    EXPECT_EQ(contentPage.Files(), order);
    EXPECT_EQ(app.project.projectDir, Path("book"));
    EXPECT_EQ(app.lastProjectDir, Path("scanned-last"));

    sheet.OnCloseRequest(CloseRequest::CancelButton);  // closing saves the project again
    EXPECT_EQ(ReadFile(Path("book.ebp")), saved);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UnlistableFolderTest,
    ::testing::Values(UnlistableCase{IDC_RESCAN_DIR, "missing", "No such file or directory"},
                      UnlistableCase{IDC_NEW_PROJECT, "missing", "No such file or directory"},
                      UnlistableCase{IDC_RESCAN_DIR, "file", "Not a directory"},
                      UnlistableCase{IDC_NEW_PROJECT, "file", "Not a directory"},
                      UnlistableCase{IDC_RESCAN_DIR, "loop", "Too many levels of symbolic links"},
                      UnlistableCase{IDC_NEW_PROJECT, "loop",
                                     "Too many levels of symbolic links"}));

}  // namespace
}  // namespace folivex::test
