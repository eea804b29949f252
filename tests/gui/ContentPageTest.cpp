// The Content page: the file list, reordering, File Properties, New, Open and
// the refusal of Next without entries.
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <cstdio>

#include "GuiTestSupport.h"
#include "gui/qt/ContentPage.h"
#include "gui/qt/FilePropertiesDlg.h"

using namespace folivex;
using namespace folivex::test;

namespace {

// Five pages e0..e4 in this order.
void FiveEntries(Fixture& f) {
    f.NewProject({"e0.html", "e1.html", "e2.html", "e3.html", "e4.html"});
    QCOMPARE(f.List()->topLevelItemCount(), 5);
}

std::string Order(Fixture& f) {
    std::string order;
    for (const auto& e : f.app->project.pages) order += e->path.substr(0, 2) + " ";
    return order;
}

// The list's rows, which must mirror pages.
std::string ListOrder(Fixture& f) {
    std::string order;
    for (int i = 0; i < f.List()->topLevelItemCount(); ++i)
        order += f.List()->topLevelItem(i)->text(0).left(2).toStdString() + " ";
    return order;
}

void Select(Fixture& f, std::initializer_list<int> rows) {
    f.List()->clearSelection();
    for (int r : rows) f.List()->topLevelItem(r)->setSelected(true);
}

// The selected rows, read from the selection's ranges (asking each row
// would search every range for it).
std::vector<int> Selected(Fixture& f) {
    std::vector<char> flags(static_cast<size_t>(f.List()->topLevelItemCount()), 0);
    for (const QItemSelectionRange& range : f.List()->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            flags[static_cast<size_t>(row)] = 1;
    std::vector<int> rows;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i] != 0) rows.push_back(static_cast<int>(i));
    return rows;
}

bool Enabled(Fixture& f, const char* name) {
    return Control<QPushButton>(&f.Sheet(), name)->isEnabled();
}

// A project of n entries "p00000" ... in the list, without a folder.
void ManyEntries(Fixture& f, int n) {
    f.Sheet();
    auto& pages = f.app->project.pages;
    for (int i = 0; i < n; ++i) {
        auto entry = std::make_unique<CPieceElem>();
        char name[16];
        std::snprintf(name, sizeof name, "p%05d", i);
        entry->path = name;
        pages.push_back(std::move(entry));
    }
    f.app->projectOpen = 1;
    f.Sheet().ContentPage()->FillFileList();
}

// Selects the rows i with pick(i) in one step, one range per run of rows,
// as Ctrl+A or Shift+clicks leave them.
template <typename Pick>
void SelectWhere(Fixture& f, Pick pick) {
    QAbstractItemModel* model = f.List()->model();
    const int n = model->rowCount();
    QItemSelection selection;
    for (int i = 0; i < n; ++i) {
        if (!pick(i)) continue;
        int end = i;
        while (end + 1 < n && pick(end + 1)) ++end;
        selection.select(model->index(i, 0), model->index(end, 2));
        i = end;
    }
    f.List()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

}  // namespace

class ContentPageTest : public QObject {
    Q_OBJECT
private slots:
    void startsEmptyAndRefusesNext() {
        Fixture f;
        for (const char* b : {"button1003", "button1004", "button1005", "button1006"})
            QVERIFY2(!Enabled(f, b), b);
        QVERIFY(Enabled(f, "button1001"));
        QVERIFY(Enabled(f, "button1002"));
        Click(&f.Sheet(), "button12324");
        QCOMPARE(f.Sheet().ActivePageIndex(), int(CBookSheet::kContentPage));
        QCOMPARE(f.prompts.messages.size(), size_t(1));
        QCOMPARE(f.prompts.messages[0].text,
                 std::string("No pages in the E-Book.\nClick \"New Project...\" button to select "
                             "a folder with HTML files"));
        QCOMPARE(f.prompts.messages[0].icon, MsgIcon::Exclamation);
        QCOMPARE(f.prompts.messages[0].buttons, MsgButtons::OK);
    }

    void columnsFollowTheListWidth() {
        Fixture f;
        QTreeWidget* list = f.List();
        const int u = list->width() / 20;
        QCOMPARE(list->headerItem()->text(0), QString("File"));
        QCOMPARE(list->headerItem()->text(1), QString("Included"));
        QCOMPARE(list->headerItem()->text(2), QString("Searchable"));
        QCOMPARE(list->columnWidth(0), 7 * u);
        QCOMPARE(list->columnWidth(1), 4 * u);
        QCOMPARE(list->columnWidth(2), 4 * u);
        QVERIFY(!list->header()->sectionsClickable());
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    void newProjectListsEveryFileWithItsFlags() {
        Fixture f;
        f.app->lastProjectDir = "/where/we/were";
        f.NewProject({"index.html", "style.css", "sub/page.htm"});
        QCOMPARE(f.prompts.folderRequests.size(), size_t(1));
        QCOMPARE(f.prompts.folderRequests[0].title,
                 std::string("Select an e-book project directory"));
        QCOMPARE(f.prompts.folderRequests[0].flags, uint32_t(0x31));
        QCOMPARE(f.prompts.folderRequests[0].initialFolder, std::string("/where/we/were"));
        QCOMPARE(f.app->projectOpen, 1);
        QVERIFY(Enabled(f, "button1003"));
        QTreeWidget* list = f.List();
        QCOMPARE(list->topLevelItemCount(), 3);
        for (int i = 0; i < 3; ++i) {
            const CPieceElem& e = *f.app->project.pages[static_cast<size_t>(i)];
            QTreeWidgetItem* row = list->topLevelItem(i);
            QCOMPARE(row->text(0).toStdString(), e.path);
            QCOMPARE(row->text(1), QString("*"));
            QCOMPARE(row->text(2), e.inSearch ? QString("*") : QString(" "));
        }
        QVERIFY(Selected(f).empty());
        QCOMPARE(f.app->lastProjectDir, f.Path("book"));
    }

    // Names that meet in the book and the e-book the project builds inside
    // its own folder: one message after the scan says what became of them.
    void theScanSaysWhatItLeftOutInOneMessage() {
        Fixture f;
        f.app->project.ebookFile = f.Path("book") + "/book.exe";
        f.NewProject({"Index.htm", "index.htm", "book.exe", "z.html"});
        QCOMPARE(Order(f), std::string("in z. "));
        QCOMPARE(f.prompts.messages.size(), size_t(1));
        QCOMPARE(f.prompts.messages[0].icon, MsgIcon::Exclamation);
        const std::string& text = f.prompts.messages[0].text;
        QVERIFY2(text.find("Index.htm and index.htm have the same name in the book; only "
                           "Index.htm is included") != std::string::npos,
                 text.c_str());
        QVERIFY2(text.find("book.exe") != std::string::npos, text.c_str());
    }

    void selectionDecidesWhichButtonsWork() {
        Fixture f;
        FiveEntries(f);
        Select(f, {2});
        QVERIFY(Enabled(f, "button1004"));
        QVERIFY(Enabled(f, "button1005"));
        QVERIFY(Enabled(f, "button1006"));
        Select(f, {1, 3});
        QVERIFY(!Enabled(f, "button1004"));
        QVERIFY(Enabled(f, "button1005"));
        Select(f, {});
        QVERIFY(!Enabled(f, "button1005"));
        QVERIFY(!Enabled(f, "button1006"));
    }

    void moveUpMovesBlocksAndKeepsTheSelection() {
        Fixture f;
        FiveEntries(f);
        Select(f, {1, 2});
        Click(&f.Sheet(), "button1005");
        QCOMPARE(Order(f), std::string("e1 e2 e0 e3 e4 "));
        QCOMPARE(ListOrder(f), Order(f));
        QCOMPARE(Selected(f), (std::vector<int>{0, 1}));

        // A run that starts at the first row stays; the row below joins it.
        Select(f, {0, 2});
        Click(&f.Sheet(), "button1005");
        QCOMPARE(Order(f), std::string("e1 e0 e2 e3 e4 "));
        QCOMPARE(ListOrder(f), Order(f));
        QCOMPARE(Selected(f), (std::vector<int>{0, 1}));

        Click(&f.Sheet(), "button1005");  // the block now starts at the top
        QCOMPARE(Order(f), std::string("e1 e0 e2 e3 e4 "));
        QCOMPARE(Selected(f), (std::vector<int>{0, 1}));
    }

    void moveDownMirrorsMoveUp() {
        Fixture f;
        FiveEntries(f);
        Select(f, {4});
        Click(&f.Sheet(), "button1006");  // the last row cannot move
        QCOMPARE(Order(f), std::string("e0 e1 e2 e3 e4 "));
        QCOMPARE(Selected(f), (std::vector<int>{4}));

        Select(f, {3, 4});  // a run ending at the last row stays too
        Click(&f.Sheet(), "button1006");
        QCOMPARE(Order(f), std::string("e0 e1 e2 e3 e4 "));

        Select(f, {0, 1, 3});
        Click(&f.Sheet(), "button1006");
        QCOMPARE(Order(f), std::string("e2 e0 e1 e4 e3 "));
        QCOMPARE(ListOrder(f), Order(f));
        QCOMPARE(Selected(f), (std::vector<int>{1, 2, 4}));
    }

    void makeHomePageMovesTheEntryToTheTop() {
        Fixture f;
        FiveEntries(f);
        f.app->project.pages[3]->inSearch = 0;
        f.app->project.pages[3]->included = 1;
        Select(f, {3});
        OnNextModal([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("File Properties"));
            auto* home = dialog->findChild<QCheckBox*>("check1046");
            QVERIFY(!home->isChecked());  // always opens unticked
            home->setChecked(true);
            QVERIFY(!dialog->findChild<QCheckBox*>("check1048")->isVisible());
            dialog->findChild<QAbstractButton*>("button1")->click();
        });
        Click(&f.Sheet(), "button1004");
        QCOMPARE(Order(f), std::string("e3 e0 e1 e2 e4 "));
        QCOMPARE(ListOrder(f), Order(f));
        QCOMPARE(f.List()->topLevelItem(0)->text(2), QString(" "));
        QCOMPARE(Selected(f), (std::vector<int>{0}));
        QCOMPARE(f.List()->currentItem(), f.List()->topLevelItem(0));

        // The first entry made home page again: nothing moves.
        auto* content = f.Sheet().ContentPage();
        content->MakeHomePage(0);
        QCOMPARE(Order(f), std::string("e3 e0 e1 e2 e4 "));
    }

    void filePropertiesNeverChangesThePageSequence() {
        Fixture f;
        FiveEntries(f);
        CPieceElem& e1 = *f.app->project.pages[1];
        e1.inPageSequence = 0;
        Select(f, {1});
        OnNextModal([](QWidget* dialog) {
            auto* included = dialog->findChild<QCheckBox*>("check1047");
            auto* search = dialog->findChild<QCheckBox*>("check1050");
            QVERIFY(included->isChecked());
            QVERIFY(search->isChecked());
            included->setChecked(false);
            search->setChecked(false);
            dialog->findChild<QAbstractButton*>("button1")->click();
        });
        Click(&f.Sheet(), "button1004");
        QCOMPARE(e1.inPageSequence, 0);
        QCOMPARE(e1.included, 0);
        QCOMPARE(e1.inSearch, 0);
        QCOMPARE(f.List()->topLevelItem(1)->text(1), QString(" "));
        QCOMPARE(Order(f), std::string("e0 e1 e2 e3 e4 "));

        // Cancel leaves the entry untouched, however the boxes were changed.
        OnNextModal([](QWidget* dialog) {
            dialog->findChild<QCheckBox*>("check1047")->setChecked(true);
            dialog->findChild<QCheckBox*>("check1046")->setChecked(true);
            dialog->findChild<QAbstractButton*>("button2")->click();
        });
        Click(&f.Sheet(), "button1004");
        QCOMPARE(e1.included, 0);
        QCOMPARE(e1.inPageSequence, 0);
        QCOMPARE(Order(f), std::string("e0 e1 e2 e3 e4 "));
    }

    void doubleClickEditsTheLowestSelectedRow() {
        Fixture f;
        FiveEntries(f);
        Select(f, {2, 4});
        OnNextModal([](QWidget* dialog) {
            dialog->findChild<QCheckBox*>("check1047")->setChecked(false);
            dialog->findChild<QAbstractButton*>("button1")->click();
        });
        emit f.List()->itemDoubleClicked(f.List()->topLevelItem(4), 0);
        QCOMPARE(f.app->project.pages[2]->included, 0);
        QCOMPARE(f.app->project.pages[4]->included, 1);
    }

    void newProjectSavesAnOpenProjectWithAFileSilently() {
        Fixture f;
        FiveEntries(f);
        f.app->projectFile = f.Path("first.ebp");
        f.app->project.title = "Kept Title";
        f.NewProject({"a.html"}, "second");
        QVERIFY(f.prompts.messages.empty());
        QVERIFY(QFile::exists(QString::fromStdString(f.Path("first.ebp"))));
        QCOMPARE(f.app->projectFile, f.Path("first.ebp"));  // kept for the next save
        QCOMPARE(f.app->project.title, std::string("Kept Title"));
        QCOMPARE(Order(f), std::string("a. "));
    }

    void newProjectAsksWhenTheProjectWasNeverSaved() {
        Fixture f;
        FiveEntries(f);
        f.prompts.AnswerMessage(MsgResult::Cancel);
        Click(&f.Sheet(), "button1001");
        QCOMPARE(f.prompts.messages.size(), size_t(1));
        QCOMPARE(f.prompts.messages[0].text,
                 std::string("Do you want to save changes in current project?"));
        QCOMPARE(f.prompts.messages[0].buttons, MsgButtons::YesNoCancel);
        QCOMPARE(f.prompts.messages[0].icon, MsgIcon::Question);
        QCOMPARE(f.prompts.folderRequests.size(), size_t(1));  // Cancel: no picker
        QCOMPARE(f.List()->topLevelItemCount(), 5);

        f.prompts.AnswerMessage(MsgResult::Yes);
        f.prompts.AnswerFile(std::nullopt);  // gives up in Save As: stop
        Click(&f.Sheet(), "button1001");
        QCOMPARE(f.prompts.folderRequests.size(), size_t(1));

        f.prompts.AnswerMessage(MsgResult::No);
        f.NewProject({"x.html"}, "other");
        QCOMPARE(f.prompts.folderRequests.size(), size_t(2));
        QCOMPARE(Order(f), std::string("x. "));
    }

    void openFailureResetsTheProject() {
        Fixture f;
        FiveEntries(f);
        f.app->projectFile = f.Path("good.ebp");
        f.app->lastProjectFile = f.Path("good.ebp");
        const QString bad = QString::fromStdString(f.Path("bad.ebp"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a project at all");
        file.close();
        f.prompts.AnswerFile(bad.toStdString());
        Click(&f.Sheet(), "button1002");

        QCOMPARE(f.prompts.fileRequests.size(), size_t(1));
        const FileDialogRequest& r = f.prompts.fileRequests[0];
        QVERIFY(!r.save);
        QCOMPARE(r.defaultExt, std::string("ebp"));
        QCOMPARE(r.initialName, f.Path("good.ebp"));
        QCOMPARE(r.flags, uint32_t(0x1804));
        QCOMPARE(r.filter, std::string("E-Book Projects (*.ebp)|*.ebp|All Files (*.*)|*.*||"));

        QVERIFY(f.app->projectFile.empty());
        QCOMPARE(f.app->projectOpen, 0);
        QCOMPARE(f.app->lastProjectFile, bad.toStdString());
        QVERIFY(!Enabled(f, "button1003"));
        QCOMPARE(f.List()->topLevelItemCount(), int(f.app->project.pages.size()));
        QVERIFY(!f.prompts.messages.empty());  // the core said why
    }

    void openShowsTheStoredOrder() {
        Fixture f;
        FiveEntries(f);
        Select(f, {4});
        Click(&f.Sheet(), "button1005");
        f.app->projectFile = f.Path("saved.ebp");
        QVERIFY(f.app->SaveProject() != 0);

        Fixture g;
        g.prompts.AnswerFile(f.Path("saved.ebp"));
        Click(&g.Sheet(), "button1002");
        QCOMPARE(g.app->projectOpen, 1);
        QCOMPARE(g.app->projectFile, f.Path("saved.ebp"));
        QCOMPARE(Order(g), std::string("e0 e1 e2 e4 e3 "));
        QCOMPARE(ListOrder(g), Order(g));
        QVERIFY(Enabled(g, "button1003"));
    }
    // Rows selected every other one, or all: each move is one pass over the
    // rows and one selection update, about 0.1 s for 40,000 rows. The bound
    // leaves room for a loaded machine and still fails anything that grows
    // with the square of the rows: a selection update per row took minutes,
    // and merging the new selection range by range takes seconds here.
    void movesOfLargeSelectionsTakeOnePass_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("everyOther");  // else all rows
        QTest::newRow("Move Up, odd rows") << int(IDC_MOVE_UP) << true;
        QTest::newRow("Move Down, even rows") << int(IDC_MOVE_DOWN) << true;
        QTest::newRow("Move Up, all rows") << int(IDC_MOVE_UP) << false;
        QTest::newRow("Move Down, all rows") << int(IDC_MOVE_DOWN) << false;
    }

    void movesOfLargeSelectionsTakeOnePass() {
        QFETCH(int, button);
        QFETCH(bool, everyOther);
        const int n = 40000;
        const bool up = button == IDC_MOVE_UP;
        Fixture f;
        ManyEntries(f, n);
        // Moving up takes the odd rows, moving down the even ones, so that
        // every selected row moves, each past its unselected neighbour.
        SelectWhere(f, [&](int i) { return !everyOther || (i % 2 == 1) == up; });

        QElapsedTimer clock;
        clock.start();
        Click(&f.Sheet(), button);
        const qint64 ms = clock.elapsed();
        std::printf("%s of %d rows: %lld ms\n", up ? "Move Up" : "Move Down", n,
                    static_cast<long long>(ms));
        QVERIFY2(ms < 1500, qPrintable(QString::number(ms) + " ms"));

        // Every other row: the pairs swap. All rows: a run from the first to
        // the last row does not move.
        const auto& pages = f.app->project.pages;
        const std::vector<int> selected = Selected(f);
        QCOMPARE(selected.size(), size_t(everyOther ? n / 2 : n));
        for (int i = 0; i < n; ++i) {
            const int from = everyOther ? (i ^ 1) : i;
            char name[16];
            std::snprintf(name, sizeof name, "p%05d", from);
            QCOMPARE(pages[static_cast<size_t>(i)]->path, std::string(name));
            QCOMPARE(f.List()->topLevelItem(i)->text(0), QString::fromLatin1(name));
        }
        // The selection went with the rows that moved.
        for (size_t k = 0; k < selected.size(); ++k)
            QCOMPARE(selected[k], everyOther ? int(2 * k) + (up ? 0 : 1) : int(k));
        QVERIFY(Enabled(f, "button1005"));
        QCOMPARE(Enabled(f, "button1004"), false);
    }

    // A folder that cannot be listed is refused with the system's reason,
    // for Re-Scan Dir and New Project alike; the project and its file keep
    // every entry. Re-Scan Dir's picker opens on the project's folder, New
    // Project's on the folder scanned last.
    void aFolderThatCannotBeListedIsRefused_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        for (int button : {int(IDC_RESCAN_DIR), int(IDC_NEW_PROJECT)}) {
            const QString command = button == IDC_RESCAN_DIR ? "Re-Scan Dir" : "New Project";
            QTest::newRow(qPrintable(command + ", missing")) << button << "missing"
                                                             << "No such file or directory";
            QTest::newRow(qPrintable(command + ", a file")) << button << "file"
                                                            << "Not a directory";
            QTest::newRow(qPrintable(command + ", a link loop"))
                << button << "loop"
                << "Too many levels of symbolic links";
        }
    }

    void aFolderThatCannotBeListedIsRefused() {
        QFETCH(int, button);
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        Fixture f;
        FiveEntries(f);
        Select(f, {4});
        Click(&f.Sheet(), "button1005");
        const std::string order = Order(f);
        const QByteArray saved = f.SaveAs("book.ebp");
        QVERIFY(!saved.isEmpty());
        f.app->lastProjectDir = f.Path("scanned-last");

        const QString target = f.dir.filePath("target");
        if (kind == "file") WriteFiles(f.dir.path(), {"target"});
        if (kind == "loop") QVERIFY(QFile::link(target, target));
        f.prompts.AnswerFolder(target.toStdString());
        Click(&f.Sheet(), button);

        QCOMPARE(f.prompts.folderRequests.back().initialFolder,
                 button == IDC_RESCAN_DIR ? f.Path("book") : f.Path("scanned-last"));
        QCOMPARE(f.prompts.messages.size(), size_t(1));
        QCOMPARE(f.prompts.messages[0].text, "Cannot list the folder " + target.toStdString() +
                                                 ": " + reason.toStdString() +
                                                 "\nThe project has not been changed.");
        QCOMPARE(f.prompts.messages[0].icon, MsgIcon::Stop);
        QCOMPARE(Order(f), order);
        QCOMPARE(ListOrder(f), order);
        QCOMPARE(f.app->project.projectDir, f.Path("book"));
        QCOMPARE(f.app->lastProjectDir, f.Path("scanned-last"));

        Click(&f.Sheet(), IDCANCEL);  // closing saves the project again
        QCOMPARE(FileBytes(f.Path("book.ebp")), saved);
    }
};

QTEST_MAIN(ContentPageTest)
#include "ContentPageTest.moc"
