// The main wizard: buttons per page, Escape, closing, the About box, help.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "GuiTestSupport.h"
#include "gui/qt/AboutBox.h"
#include "gui/qt/ContentPage.h"
#include "gui/qt/CreatePage.h"
#include "gui/qt/InterfacePage.h"
#include "gui/qt/ProgramLauncher.h"
#include "gui/qt/WizardPage.h"

using namespace folivex;
using namespace folivex::test;

namespace {

bool Enabled(QWidget* root, const char* name) {
    auto* b = Control<QPushButton>(root, name);
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

class SheetTest : public QObject {
    Q_OBJECT
private slots:
    void eachPageSetsItsButtonsAndTitle() {
        Fixture f;
        CBookSheet& sheet = f.Sheet();
        QCOMPARE(sheet.windowTitle(), QString("Content"));
        QCOMPARE(sheet.windowIcon().availableSizes(), QList<QSize>({QSize(16, 16), QSize(32, 32)}));
        QVERIFY(!Enabled(&sheet, "button12323"));
        QVERIFY(Enabled(&sheet, "button12324"));
        QVERIFY(Enabled(&sheet, "button2"));
        QVERIFY(Enabled(&sheet, "button9"));
        QVERIFY(Enabled(&sheet, "button16"));
        QCOMPARE(Control<QPushButton>(&sheet, "button16")->text(), QString("About Foli&vex..."));
        // There is no Finish button anywhere.
        QVERIFY(sheet.findChild<QPushButton*>("button12325") == nullptr);
        for (QPushButton* b : sheet.findChildren<QPushButton*>())
            QVERIFY2(!b->text().contains("Finish"), qPrintable(b->text()));

        f.NewProject({"index.html"});
        Click(&sheet, "button12324");
        QCOMPARE(sheet.ActivePageIndex(), int(CBookSheet::kInterfacePage));
        QCOMPARE(sheet.windowTitle(), QString("Interface"));
        QVERIFY(Enabled(&sheet, "button12323"));
        QVERIFY(Enabled(&sheet, "button12324"));

        Click(&sheet, "button12324");
        QCOMPARE(sheet.ActivePageIndex(), int(CBookSheet::kCreatePage));
        QCOMPARE(sheet.windowTitle(), QString("Create"));
        QVERIFY(Enabled(&sheet, "button12323"));
        QVERIFY(!Enabled(&sheet, "button12324"));

        Click(&sheet, "button12323");
        QCOMPARE(sheet.windowTitle(), QString("Interface"));
        Click(&sheet, "button12323");
        QCOMPARE(sheet.windowTitle(), QString("Content"));
        QVERIFY(!Enabled(&sheet, "button12323"));
    }

    void escapeNeverClosesTheWizard() {
        Fixture f;
        CBookSheet& sheet = f.Sheet();
        f.NewProject({"index.html"});
        for (int page = 0; page < CBookSheet::kPageCount; ++page) {
            QWidget* target = sheet.focusWidget() != nullptr ? sheet.focusWidget() : &sheet;
            QTest::keyClick(target, Qt::Key_Escape);
            QTest::keyClick(&sheet, Qt::Key_Escape);
            QVERIFY(sheet.isVisible());
            QCOMPARE(sheet.ActivePageIndex(), page);
            if (page + 1 < CBookSheet::kPageCount) Click(&sheet, "button12324");
        }
        // In a field on the Create page too.
        auto* title = Control<QLineEdit>(&sheet, "edit1035");
        title->setFocus();
        QTest::keyClick(title, Qt::Key_Escape);
        QVERIFY(sheet.isVisible());
        QVERIFY(f.prompts.messages.empty());
    }

    void cancelWithNoProjectClosesWithoutAQuestion() {
        Fixture f;
        Click(&f.Sheet(), "button2");
        QVERIFY(!f.Sheet().isVisible());
        QVERIFY(f.prompts.messages.empty());
        QVERIFY(f.prompts.fileRequests.empty());
    }

    void closingANeverSavedProjectOffersSaveAsAndStillCloses() {
        Fixture f;
        f.NewProject({"index.html", "pic.png"});
        f.prompts.AnswerFile(std::nullopt);  // the author cancels Save As
        f.Sheet().close();                   // the close box
        QVERIFY(!f.Sheet().isVisible());
        QCOMPARE(f.prompts.fileRequests.size(), size_t(1));
        QVERIFY(f.prompts.fileRequests[0].save);
        QCOMPARE(f.prompts.fileRequests[0].defaultExt, std::string("ebp"));
        QVERIFY(f.app->projectFile.empty());
    }

    void closingSavesToTheProjectFileWithTheCreatePageFields() {
        Fixture f;
        f.NewProject({"index.html"});
        f.app->projectFile = f.Path("book.ebp");
        CBookSheet& sheet = f.Sheet();
        Click(&sheet, "button12324");
        Control<QCheckBox>(&sheet, "check1012")->setChecked(true);
        Click(&sheet, "button12324");  // Next copies the Interface page
        auto* title = Control<QLineEdit>(&sheet, "edit1035");
        title->clear();
        QTest::keyClicks(title, "Typed Title");
        Click(&sheet, "button2");
        QVERIFY(!sheet.isVisible());
        QVERIFY(f.prompts.fileRequests.empty());  // saved without a picker
        QVERIFY(f.prompts.messages.empty());

        ScriptedPrompts prompts;
        CBookApp reader(prompts);
        reader.projectFile = f.Path("book.ebp");
        QVERIFY(reader.OpenProject() != 0);
        QCOMPARE(reader.project.title, std::string("Typed Title"));
        QCOMPARE(reader.project.showAboutAtStart, 1);
    }

    // Whatever page is on screen, closing saves what it shows: the Interface
    // page's boxes and the Create page's texts reach the file before the
    // Content page saves it.
    void closingSavesWhatThePageOnScreenShows_data() {
        QTest::addColumn<int>("page");
        QTest::newRow("Content") << int(CBookSheet::kContentPage);
        QTest::newRow("Interface") << int(CBookSheet::kInterfacePage);
        QTest::newRow("Create") << int(CBookSheet::kCreatePage);
    }

    void closingSavesWhatThePageOnScreenShows() {
        QFETCH(int, page);
        Fixture f;
        f.NewProject({"index.html"});
        f.app->projectFile = f.Path("book.ebp");
        CBookSheet& sheet = f.Sheet();
        auto* exitBox =
            Control<QCheckBox>(&sheet, "check", CInterfacePage::kToolbarButtonIds[kButtonExit]);
        auto* title = Control<QLineEdit>(&sheet, "edit", IDC_TITLE);
        // Each change is made as late as the way to the page allows, so the
        // one on the page on screen has not been copied when it closes.
        Click(&sheet, ID_WIZNEXT);
        if (page == CBookSheet::kCreatePage) exitBox->setChecked(false);
        Click(&sheet, ID_WIZNEXT);
        title->clear();
        QTest::keyClicks(title, "Typed Title");
        if (page != CBookSheet::kCreatePage) {
            Click(&sheet, ID_WIZBACK);
            exitBox->setChecked(false);
        }
        if (page == CBookSheet::kContentPage) Click(&sheet, ID_WIZBACK);
        QCOMPARE(sheet.ActivePageIndex(), page);

        Click(&sheet, IDCANCEL);
        QVERIFY(!sheet.isVisible());
        QVERIFY(f.prompts.fileRequests.empty());
        QVERIFY(f.prompts.messages.empty());
        const auto saved = f.ReadProject(f.Path("book.ebp"));
        QVERIFY(saved != nullptr);
        QCOMPARE(saved->project.title, std::string("Typed Title"));
        QCOMPARE(saved->project.toolbarButtons[kButtonExit], 0);
    }

    // Pages left earlier do not copy again on closing: a project opened
    // since keeps its own texts, byte for byte.
    void closingAfterOpeningAnotherProjectKeepsItsTexts() {
        Fixture f;
        f.NewProject({"index.html"});
        f.app->project.title = "Project A";
        f.SaveAs("a.ebp");
        f.app->project.title = "Project B";
        f.app->project.author = "Ren\xE9 Auteur";  // made on Windows
        f.app->project.showAboutAtStart = 1;
        const QByteArray b = f.SaveAs("b.ebp");
        f.app->projectFile = f.Path("a.ebp");
        QVERIFY(f.app->OpenProject() != 0);

        CBookSheet& sheet = f.Sheet();
        Click(&sheet, ID_WIZNEXT);
        Click(&sheet, ID_WIZNEXT);
        QCOMPARE(Control<QLineEdit>(&sheet, "edit", IDC_TITLE)->text(), QString("Project A"));
        Click(&sheet, ID_WIZBACK);
        Click(&sheet, ID_WIZBACK);
        f.prompts.AnswerFile(f.Path("b.ebp"));
        Click(&sheet, IDC_OPEN_PROJECT);
        QCOMPARE(f.app->project.title, std::string("Project B"));
        Click(&sheet, IDCANCEL);
        QCOMPARE(FileBytes(f.Path("b.ebp")), b);
    }

    // The About button's access key is used by no control of any page, nor
    // by the other buttons of the row.
    void theAboutKeyIsUsedNowhereElse() {
        Fixture f;
        f.NewProject({"index.html"});
        CBookSheet& sheet = f.Sheet();
        auto* about = Control<QPushButton>(&sheet, "button", IDM_ABOUTBOX);
        const QChar key = AccessKey(about->text());
        QVERIFY(!key.isNull());
        for (int page = 0; page < CBookSheet::kPageCount; ++page) {
            if (page > 0) Click(&sheet, ID_WIZNEXT);
            for (QWidget* w : sheet.findChildren<QWidget*>()) {
                if (w == about || !w->isVisible()) continue;
                QString text;
                if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
                if (auto* l = qobject_cast<QLabel*>(w); l != nullptr && l->buddy() != nullptr)
                    text = l->text();
                QVERIFY2(AccessKey(text) != key, qPrintable(w->objectName() + ": " + text));
            }
        }
    }

    void aboutBoxShowsVersionAndCopyright() {
        Fixture f;
        QString title, okText;
        QStringList lines;
        bool okIsDefault = false;
        OnNextModal([&](QWidget* modal) {
            title = modal->windowTitle();
            for (QLabel* l : modal->findChildren<QLabel*>())
                if (!l->text().isEmpty()) lines << l->text();
            auto* ok = modal->findChild<QPushButton*>("button1");
            okText = ok->text();
            okIsDefault = ok->isDefault();
            ok->click();
        });
        Click(&f.Sheet(), "button16");
        QCOMPARE(title, QString("About Folivex"));
        QVERIFY(lines.contains("Folivex      Version 1.0"));
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[1].startsWith("Copyright (C) "));
        QCOMPARE(okText, QString("OK"));
        QVERIFY(okIsDefault);
        QVERIFY(f.Sheet().isVisible());
        QCOMPARE(f.Sheet().windowTitle(), QString("Content"));
    }

    void helpButtonAndF1RunHelp() {
        Fixture f;
        Click(&f.Sheet(), "button9");
        QCOMPARE(f.helpRequests, 1);
        f.Sheet().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.Sheet()));
        QTest::keyClick(&f.Sheet(), Qt::Key_F1);
        QCOMPARE(f.helpRequests, 2);
    }

    // Help takes help.exe from the program's folder, else from the installed
    // data folder, else from the working directory: started from the desktop
    // menu, the program runs in the user's home folder.
    void helpFindsTheGuideBesideTheProgramFirst_data() {
        QTest::addColumn<QStringList>("holders");  // folders that hold a help.exe
        QTest::addColumn<QString>("started");      // whose help.exe runs; empty: none
        QTest::newRow("beside the program") << QStringList{"program"} << "program";
        QTest::newRow("in the data folder") << QStringList{"data"} << "data";
        QTest::newRow("in the working directory") << QStringList{"cwd"} << "cwd";
        QTest::newRow("all three") << QStringList{"program", "data", "cwd"} << "program";
        QTest::newRow("data and working directory") << QStringList{"data", "cwd"} << "data";
        QTest::newRow("nowhere") << QStringList{} << "";
    }

    void helpFindsTheGuideBesideTheProgramFirst() {
        QFETCH(QStringList, holders);
        QFETCH(QString, started);
        Fixture f;
        for (const char* folder : {"program", "data", "cwd"}) QDir(f.dir.path()).mkdir(folder);
        f.app->helpFolders = {f.dir.filePath("program"), f.dir.filePath("data")};
        for (const QString& folder : holders) {
            QFile script(f.dir.filePath(folder + "/help.exe"));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\ntouch '" + f.dir.filePath(folder + ".ran").toUtf8() + "'\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        const QString old = QDir::currentPath();
        QDir::setCurrent(f.dir.filePath("cwd"));
        f.app->ShowHelp();
        QDir::setCurrent(old);

        if (started.isEmpty()) {
            QCOMPARE(f.prompts.messages.size(), size_t(1));
            QCOMPARE(f.prompts.messages[0].text,
                     std::string("Cannot run help.exe: No such file or directory"));
            QCOMPARE(f.prompts.messages[0].icon, MsgIcon::Stop);
            QCOMPARE(f.prompts.messages[0].buttons, MsgButtons::OK);
            return;
        }
        QVERIFY(f.prompts.messages.empty());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(f.dir.filePath(started + ".ran")), 5000);
        for (const QString& other : holders)
            if (other != started) QVERIFY(!QFile::exists(f.dir.filePath(other + ".ran")));
    }

    void anEBookIsToldFromAProgramByItsTrailer() {
        Fixture f;
        auto write = [&](const char* name, const QByteArray& bytes) {
            QFile file(f.dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        write("book.exe", QByteArray("MZ stub bytes") + QByteArray("\x0d\x00\x00\x00\x4b\x47", 6));
        write("script.exe", "#!/bin/sh\nexit 0\n");
        write("tiny.exe", "KG");
        QVERIFY(LooksLikeEBook(f.dir.filePath("book.exe")));
        QVERIFY(!LooksLikeEBook(f.dir.filePath("script.exe")));
        QVERIFY(!LooksLikeEBook(f.dir.filePath("tiny.exe")));
        QVERIFY(!LooksLikeEBook(f.dir.filePath("missing.exe")));
        // A file that is neither a book nor executable cannot be started.
        const auto error = StartDetachedProgram(f.dir.filePath("script.exe"));
        QVERIFY(error.has_value());
        QCOMPARE(*error, std::string("Permission denied"));
    }
};

QTEST_MAIN(SheetTest)
#include "SheetTest.moc"
