// The Qt views of the wizard and the program's Qt seams: each control is the
// one its id names, shows what it is told and forwards its event to the
// controller; the window, the About box and help; the settings store and the
// launcher; a walk through the real wizard.
#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextEdit>
#include <cstdio>

#include "GuiTestSupport.h"
#include "gui/qt/BuildProgressWindow.h"
#include "gui/qt/QtPrompts.h"
#include "gui/qt/WizardPage.h"

using namespace folivex;
using namespace folivex::test;

namespace {

ControlView& ViewOf(Fixture& f, int page) {
    return *dynamic_cast<ControlView*>(f.Sheet().Page(page));
}

QString WidgetText(QWidget* w) {
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* multi = qobject_cast<QTextEdit*>(w)) return multi->toPlainText();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    return {};
}

bool Enabled(QWidget* root, int id) {
    auto* b = Control<QPushButton>(root, ControlName("button", id));
    return b != nullptr && b->isEnabled();
}

// The access key of a control's text ("&Next >" -> 'N'); "&&" is an ampersand.
QChar AccessKey(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] != '&') return text[i + 1].toUpper();
        ++i;
    }
    return {};
}

}  // namespace

class ViewsTest : public QObject {
    Q_OBJECT
private slots:
    // Every id of a page reaches the widget named after it, both ways: the
    // widget shows what it is told, and a button's click reaches the
    // controller (the picker its command opens is the evidence).
    void controlsAreTheOnesTheirIdsName_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("picker");  // "folder", or a file picker's extension
        const auto row = [](int page, const char* type, int id, const char* picker = "") {
            QTest::newRow(qPrintable(ControlName(type, id))) << page << type << id << picker;
        };
        for (int id : {1035, 1036, 1037, 1038, 1039, 1041}) row(2, "edit", id);
        for (int id : {1042}) row(2, "static", id);
        for (int id : {1008, 1010}) row(1, "static", id);
        for (int id :
             {1012, 1013, 1025, 1014, 1015, 1016, 1017, 1024, 1018, 1019, 1020, 1021, 1022, 1023})
            row(1, "check", id);
        for (int id : {1004, 1005, 1006}) row(0, "button", id);
        row(0, "button", IDC_NEW_PROJECT, "folder");
        row(0, "button", IDC_OPEN_PROJECT, "ebp");
        row(0, "button", IDC_RESCAN_DIR, "folder");
        row(1, "button", IDC_PICK_SPLASH, "bmp");
        row(1, "button", IDC_PICK_ICON, "ico");
        row(2, "button", IDC_PICK_EBOOK, "exe");
        row(2, "button", IDC_CREATE_EBOOK, "exe");
        row(2, "button", IDC_SAVE_PROJECT_AS, "ebp");
    }

    void controlsAreTheOnesTheirIdsName() {
        QFETCH(int, page);
        QFETCH(QString, type);
        QFETCH(int, id);
        QFETCH(QString, picker);
        Fixture f;
        f.NewProject({"index.html"});
        f.app->projectFile = f.Path("book.ebp");  // saved without a question
        for (int i = 0; i < page; ++i) Click(&f.Sheet(), ID_WIZNEXT);
        ControlView& view = ViewOf(f, page);
        auto* widget = Control<QWidget>(&f.Sheet(), ControlName(qPrintable(type), id));
        QVERIFY(widget != nullptr);
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            for (bool checked : {true, false}) {
                view.SetCheck(id, checked);
                QCOMPARE(box->isChecked(), checked);
                box->setChecked(!checked);
                QCOMPARE(view.GetCheck(id), !checked);
            }
        } else if (type != "button") {
            // Texts of any length; the multi-line edit's line breaks are
            // "\r\n" to the controller; a line edit shows the beginning.
            const std::string text = std::string("Caf\xC3\xA9 \xE2\x82\xAC") +
                                     (id == IDC_ABOUT_INFO ? "\r\n" : " ") +
                                     std::string(40000, 'x');
            view.SetText(id, text);
            QCOMPARE(WidgetText(widget), QString::fromStdString(text).replace("\r\n", "\n"));
            QCOMPARE(view.GetText(id), text);
            if (auto* edit = qobject_cast<QLineEdit*>(widget)) QCOMPARE(edit->cursorPosition(), 0);
        }
        for (bool enabled : {false, true}) {
            view.Enable(id, enabled);
            QCOMPARE(widget->isEnabled(), enabled);
        }
        if (picker.isEmpty()) return;
        const size_t folders = f.prompts.folderRequests.size();
        Click(&f.Sheet(), id);
        if (picker == "folder") {
            QCOMPARE(f.prompts.folderRequests.size(), folders + 1);
        } else {
            QCOMPARE(f.prompts.fileRequests.size(), size_t(1));
            QCOMPARE(QString::fromStdString(f.prompts.fileRequests[0].defaultExt), picker);
        }
    }

    // The list's selection reaches the controller, which enables the buttons;
    // a double click opens File Properties (1048 hidden; OK brings the boxes
    // back) and the new home page shows at the top, selected and focused.
    void theListForwardsSelectionAndDoubleClick() {
        Fixture f;
        f.NewProject({"a.html", "b.html", "c.html"});
        QTreeWidget* list = f.List();
        const int u = list->width() / 20;
        QCOMPARE(list->headerItem()->text(2), QString("Searchable"));
        QCOMPARE(list->columnWidth(0), 7 * u);
        QCOMPARE(list->columnWidth(1), 4 * u);
        QVERIFY(!list->header()->sectionsClickable());
        QVERIFY(!Control<QWidget>(&f.Sheet(), "button1004")->isEnabled());
        list->topLevelItem(2)->setSelected(true);
        QVERIFY(Control<QWidget>(&f.Sheet(), "button1004")->isEnabled());

        OnNextModal([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("File Properties"));
            QVERIFY(!dialog->findChild<QCheckBox*>("check1048")->isVisible());
            QVERIFY(dialog->findChild<QCheckBox*>("check1047")->isChecked());
            dialog->findChild<QCheckBox*>("check1046")->setChecked(true);
            dialog->findChild<QCheckBox*>("check1050")->setChecked(false);
            dialog->findChild<QAbstractButton*>("button1")->click();
        });
        emit list->itemDoubleClicked(list->topLevelItem(2), 0);
        QCOMPARE(list->topLevelItem(0)->text(0), QString("c.html"));
        QCOMPARE(list->topLevelItem(0)->text(2), QString(" "));
        QCOMPARE(list->topLevelItem(1)->text(0), QString("a.html"));
        QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem*>{list->topLevelItem(0)});
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
        QCOMPARE(f.app->project.pages[0]->inSearch, 0);
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
        f.Sheet();
        for (int i = 0; i < n; ++i) {
            f.app->project.pages.push_back(std::make_unique<CPieceElem>());
            f.app->project.pages.back()->path = QString::asprintf("p%05d", i).toStdString();
        }
        f.controller->Content().FillFileList();
        // Moving up takes the odd rows, moving down the even ones, so that
        // every selected row moves, each past its unselected neighbour; all
        // rows are one range, as Ctrl+A leaves them.
        QAbstractItemModel* model = f.List()->model();
        QItemSelection selection;
        for (int i = 0; i < n && everyOther; ++i)
            if ((i % 2 == 1) == up) selection.select(model->index(i, 0), model->index(i, 2));
        if (!everyOther) selection.select(model->index(0, 0), model->index(n - 1, 2));
        f.List()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);

        QElapsedTimer clock;
        clock.start();
        Click(&f.Sheet(), button);
        const qint64 ms = clock.elapsed();
        std::printf("%s of %d rows: %lld ms\n", up ? "Move Up" : "Move Down", n,
                    static_cast<long long>(ms));
        QVERIFY2(ms < 1500, qPrintable(QString::number(ms) + " ms"));

        // Every other row: the pairs swap and the selection goes with them.
        // All rows: a run from the first to the last row does not move.
        const std::vector<char> selected =
            dynamic_cast<ContentView*>(f.Sheet().Page(0))->SelectedRows();
        for (int i = 0; i < n; ++i) {
            const QString name = QString::asprintf("p%05d", everyOther ? (i ^ 1) : i);
            QCOMPARE(f.List()->topLevelItem(i)->text(0), name);
            QCOMPARE(selected[static_cast<size_t>(i)] != 0, !everyOther || (i % 2 == 0) == up);
        }
    }

    // The window shows the page, title and buttons it is told; there is no
    // Finish button anywhere; no page uses the About button's access key;
    // Escape, wherever it is pressed, closes nothing; Cancel closes.
    void showsWhatItIsToldAndEscapeClosesNothing() {
        Fixture f;
        CBookSheet& sheet = f.Sheet();
        QCOMPARE(sheet.windowIcon().availableSizes(), QList<QSize>({QSize(16, 16), QSize(32, 32)}));
        auto* about = Control<QPushButton>(&sheet, ControlName("button", IDM_ABOUTBOX));
        QCOMPARE(about->text(), QString("About Foli&vex..."));
        for (QPushButton* b : sheet.findChildren<QPushButton*>())
            QVERIFY2(!b->text().contains("Finish"), qPrintable(b->text()));
        f.NewProject({"index.html"});
        const char* titles[] = {"Content", "Interface", "Create"};
        for (int page = 0; page < SheetController::kPageCount; ++page) {
            if (page > 0) Click(&sheet, ID_WIZNEXT);
            QCOMPARE(sheet.ActivePageIndex(), page);
            QCOMPARE(sheet.windowTitle(), QString(titles[page]));
            QCOMPARE(Enabled(&sheet, ID_WIZBACK), page > 0);
            QCOMPARE(Enabled(&sheet, ID_WIZNEXT), page < SheetController::kCreatePage);
            // "About Foli&vex..." takes a key no other control uses.
            for (QWidget* w : sheet.findChildren<QWidget*>()) {
                QString text;
                if (auto* b = qobject_cast<QAbstractButton*>(w); b && b != about) text = b->text();
                if (auto* l = qobject_cast<QLabel*>(w); l != nullptr && l->buddy() != nullptr)
                    text = l->text();
                if (w->isVisible()) QVERIFY2(AccessKey(text) != 'V', qPrintable(text));
            }
            QWidget* target = sheet.focusWidget() != nullptr ? sheet.focusWidget() : &sheet;
            QTest::keyClick(target, Qt::Key_Escape);
            QTest::keyClick(&sheet, Qt::Key_Escape);
            QVERIFY(sheet.isVisible());
        }
        auto* title = Control<QLineEdit>(&sheet, "edit1035");
        title->setFocus();
        QTest::keyClick(title, Qt::Key_Escape);
        QVERIFY(sheet.isVisible());
        QVERIFY(f.prompts.messages.empty());
        f.prompts.AnswerFile(std::nullopt);  // Cancel offers Save As, and closes anyway
        Click(&sheet, IDCANCEL);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(f.prompts.fileRequests.size(), size_t(1));
    }

    // The About box over the wizard, F1 in it and in the wizard, and the Help
    // button all reach Help: with no help.exe anywhere, its message.
    void aboutBoxAndHelp() {
        Fixture f;
        QTemporaryDir empty;
        const QString old = QDir::currentPath();
        QDir::setCurrent(empty.path());
        QString title;
        QStringList lines;
        OnNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            for (QLabel* l : modal->findChildren<QLabel*>())
                if (!l->text().isEmpty()) lines << l->text();
            modal->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(modal));
            QTest::keyClick(modal, Qt::Key_F1);
            auto* ok = modal->findChild<QPushButton*>("button1");
            QVERIFY(ok->isDefault());
            ok->click();
        });
        Click(&f.Sheet(), IDM_ABOUTBOX);
        QCOMPARE(title, QString("About Folivex"));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("Folivex      Version 1.0"));
        QVERIFY(lines[1].startsWith("Copyright (C) "));
        Click(&f.Sheet(), IDHELP);
        f.Sheet().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.Sheet()));
        QTest::keyClick(&f.Sheet(), Qt::Key_F1);
        QDir::setCurrent(old);
        QCOMPARE(f.prompts.messages.size(), size_t(3));
        for (const auto& m : f.prompts.messages)
            QCOMPARE(m.text, std::string("Cannot run help.exe: No such file or directory"));
        QVERIFY(f.Sheet().isVisible());
    }

    // The author's walk: New Project, a box on the Interface page, a title
    // and two lines of About text typed on the Create page, the close box;
    // the project file holds all of it, the line break as "\r\n".
    void aWalkThroughTheWizardSavesWhatWasTyped() {
        Fixture f;
        f.NewProject({"index.html"});
        f.app->projectFile = f.Path("book.ebp");
        CBookSheet& sheet = f.Sheet();
        Click(&sheet, ID_WIZNEXT);
        Control<QCheckBox>(&sheet, "check1012")->click();
        Click(&sheet, ID_WIZNEXT);
        auto* title = Control<QLineEdit>(&sheet, "edit1035");
        title->clear();
        QTest::keyClicks(title, "Typed Title");
        auto* about = Control<QTextEdit>(&sheet, "edit1041");
        about->setFocus();
        QTest::keyClicks(about, "First line");
        QTest::keyClick(about, Qt::Key_Return);  // a new line, not the default button
        QTest::keyClicks(about, "Second line");
        QVERIFY(sheet.isVisible());
        sheet.close();
        QVERIFY(!sheet.isVisible());

        ScriptedPrompts prompts;
        CBookApp reader(prompts);
        reader.projectFile = f.Path("book.ebp");
        QVERIFY(reader.OpenProject() != 0);
        QCOMPARE(reader.project.title, std::string("Typed Title"));
        QCOMPARE(reader.project.aboutInfo, std::string("First line\r\nSecond line"));
        QCOMPARE(reader.project.showAboutAtStart, 1);
    }

    // The store is <config>/Tessaroke/<program>.conf, section [Options]; only
    // a missing value gets the default.
    void theSettingsStoreKeepsStringsInOptions() {
        Fixture f;
        QCOMPARE(f.store->ReadString("LastUrl", "fallback"), std::string("fallback"));
        f.store->WriteString("LastUrl", "");
        f.store->WriteString("LastAuthor", "Ren\xC3\xA9");
        f.store.reset();
        QSettings file(f.dir.filePath("config/Tessaroke/" + ProgramBaseName() + ".conf"),
                       QSettings::IniFormat);
        QCOMPARE(file.childGroups(), QStringList{"Options"});
        QCOMPARE(file.value("Options/LastAuthor").toString(), QString::fromUtf8("René"));
        QtSettingsStore again;
        QCOMPARE(again.ReadString("LastUrl", "fallback"), std::string());
        QCOMPARE(again.ReadString("LastAuthor", ""), std::string("Ren\xC3\xA9"));
    }

    // An e-book is told from a program by its trailer; what cannot start
    // says why in the system's words; a program that can, runs.
    void theLauncherStartsProgramsAndSaysWhyNot() {
        QTemporaryDir dir;
        auto write = [&](const char* name, const QByteArray& bytes) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write("book.exe", QByteArray("MZ stub bytes") + QByteArray("\x0d\x00\x00\x00\x4b\x47", 6));
        write("script.exe", "#!/bin/sh\nexit 0\n");
        write("tiny.exe", "KG");
        write("run.exe", "#!/bin/sh\ntouch '" + dir.filePath("ran").toUtf8() + "'\n");
        QFile::setPermissions(dir.filePath("run.exe"), QFile::ReadOwner | QFile::ExeOwner);
        QVERIFY(LooksLikeEBook(dir.filePath("book.exe")));
        QVERIFY(!LooksLikeEBook(dir.filePath("script.exe")));
        QVERIFY(!LooksLikeEBook(dir.filePath("tiny.exe")));
        QVERIFY(!LooksLikeEBook(dir.filePath("missing.exe")));

        QtProgramLauncher launcher;
        const auto path = [&](const char* name) { return dir.filePath(name).toStdString(); };
        QVERIFY(launcher.IsFile(path("script.exe")));
        QVERIFY(!launcher.IsFile(dir.path().toStdString()));
        QCOMPARE(launcher.Start(path("script.exe")),
                 std::optional<std::string>("Permission denied"));
        QCOMPARE(launcher.Start(path("missing.exe")),
                 std::optional<std::string>("No such file or directory"));
        QCOMPARE(launcher.Start(dir.path().toStdString()),
                 std::optional<std::string>("Is a directory"));
        QCOMPARE(launcher.Start(path("run.exe")), std::optional<std::string>());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("ran")), 5000);
    }
    // The window of a long build, on a clock of the test's own: nothing in
    // the first second, then files done of total, at most every 50 ms; the
    // wizard cannot be closed meanwhile; the window goes with the build.
    void aLongBuildShowsHowManyFilesAreInAndClosesAtTheEnd() {
        Fixture f;
        QWidget& wizard = f.Sheet();
        qint64 now = 0;
        {
            CBuildProgressWindow window(&wizard, [&] { return now; });
            struct Moment {
                qint64 ms;
                size_t done;
                const char* shown;  // nullptr: no window yet
            };
            const Moment moments[] = {
                {0, 0, nullptr},
                {400, 3, nullptr},
                {990, 5, nullptr},
                {1040, 6, "6 of 10 files"},
                {1060, 7, "6 of 10 files"},  // too soon to repaint
                {1500, 10, "10 of 10 files"},
            };
            for (const Moment& m : moments) {
                now = m.ms;
                window.Update({m.done, 10, m.done * 1000});
                QProgressDialog* shown = wizard.findChild<QProgressDialog*>("buildProgress");
                if (!m.shown) {
                    QVERIFY2(shown == nullptr || !shown->isVisible(),
                             "no window in the first second");
                    continue;
                }
                QVERIFY(shown != nullptr && shown->isVisible());
                QCOMPARE(shown->labelText(), QString::fromLatin1(m.shown));
                QCOMPARE(shown->maximum(), 10);
            }
            QCloseEvent close;
            QCoreApplication::sendEvent(&wizard, &close);
            QVERIFY(!close.isAccepted());
            QVERIFY(wizard.isVisible());
        }
        QVERIFY(wizard.findChild<QProgressDialog*>("buildProgress") == nullptr);
    }
};

QTEST_MAIN(ViewsTest)
#include "ViewsTest.moc"
