// Start-up and shut-down: the nine remembered values of the settings store.
#include <QDate>
#include <QLabel>
#include <QLineEdit>

#include "GuiTestSupport.h"
#include "gui/qt/RememberedSettings.h"
#include "project/Defaults.h"
#include "project/FolderScan.h"

using namespace folivex;
using namespace folivex::test;

namespace {

const char* const kNineKeys[] = {"LastProject",   "LastProjectFile", "LastIcon",
                                 "LastSplash",    "LastEBook",       "LastAuthor",
                                 "LastCopyright", "LastUrl",         "LastEMail"};

std::string ThisYearsCopyright() {
    return "Copyright (C) " + std::to_string(QDate::currentDate().year()) + " *your company name*";
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void firstRunGivesTheDefaults() {
        Fixture f;
        f.app->LoadSettings();
        QCOMPARE(f.app->project.author, std::string("*Your Name*"));
        QCOMPARE(f.app->project.copyright, ThisYearsCopyright());
        QCOMPARE(f.app->project.url, std::string(kDefaultUrl));
        QCOMPARE(f.app->project.email, std::string(kDefaultEmail));
        QVERIFY(f.app->lastProjectDir.empty());
        QVERIFY(f.app->lastProjectFile.empty());
        QVERIFY(f.app->lastIconFile.empty());
        QVERIFY(f.app->lastSplashFile.empty());
        QVERIFY(f.app->lastEBookFile.empty());
        QCOMPARE(f.app->project.title, std::string("E-Book"));
    }

    void shutDownWritesAllNineValuesAndClearsTheProject() {
        Fixture f;
        f.app->LoadSettings();
        f.app->lastProjectDir = "/books/one";
        f.app->lastEBookFile = "/books/one.exe";
        f.app->project.pages.push_back(std::make_unique<CPieceElem>());
        QCOMPARE(f.app->ShutDown(), 0);
        QVERIFY(f.app->project.pages.empty());

        auto store = OpenSettingsStore();
        store->beginGroup("Options");
        for (const char* key : kNineKeys) QVERIFY2(store->contains(key), key);
        QCOMPARE(store->value("LastProject").toString(), QString("/books/one"));
        QCOMPARE(store->value("LastEBook").toString(), QString("/books/one.exe"));
        QCOMPARE(store->value("LastIcon").toString(), QString(""));
        QCOMPARE(store->value("LastAuthor").toString(), QString("*Your Name*"));
        QCOMPARE(store->childKeys().size(), 9);
    }

    void secondRunKeepsStoredValuesEvenEmptyOnes() {
        Fixture f;
        f.app->LoadSettings();
        f.app->project.author = "";  // the author cleared the field
        f.app->project.copyright = "Copyright (C) 2001 *your company name*";
        f.app->project.email = "me@example.org";
        f.app->lastSplashFile = "/pics/splash.bmp";
        f.app->ShutDown();

        CWizardApp second(f.prompts);
        second.LoadSettings();
        QCOMPARE(second.project.author, std::string(""));
        // The year of the run that stored it, not this year.
        QCOMPARE(second.project.copyright, std::string("Copyright (C) 2001 *your company name*"));
        QCOMPARE(second.project.email, std::string("me@example.org"));
        QCOMPARE(second.project.url, std::string(kDefaultUrl));
        QCOMPARE(second.lastSplashFile, std::string("/pics/splash.bmp"));
        // The title is not remembered.
        QCOMPARE(second.project.title, std::string("E-Book"));
    }

    void aDeletedValueGetsItsDefaultAgain() {
        Fixture f;
        f.app->LoadSettings();
        f.app->project.author = "Ann Author";
        f.app->project.copyright = "Copyright (C) 1999 Ann";
        f.app->ShutDown();
        {
            auto store = OpenSettingsStore();
            store->remove("Options/LastCopyright");
            store->remove("Options/LastAuthor");
        }
        CWizardApp second(f.prompts);
        second.LoadSettings();
        QCOMPARE(second.project.author, std::string("*Your Name*"));
        QCOMPARE(second.project.copyright, ThisYearsCopyright());
    }

    void startUpNeverReopensTheLastProject() {
        Fixture f;
        // A real project file, remembered from an earlier run.
        const QString folder = f.dir.filePath("old");
        QDir().mkpath(folder);
        WriteFiles(folder, {"index.html"});
        f.app->lastProjectDir = folder.toStdString();
        ScanProjectFolder(*f.app, folder.toStdString());
        f.app->projectOpen = 1;
        f.app->projectFile = f.Path("old.ebp");
        QVERIFY(f.app->SaveProject() != 0);
        f.app->lastProjectFile = f.app->projectFile;
        f.app->ShutDown();

        ScriptedPrompts prompts;
        CWizardApp second(prompts);
        int rows = -1;
        QString author;
        OnNextModal([&](QWidget* modal) {
            rows = modal->findChild<QTreeWidget*>("list1007")->topLevelItemCount();
            modal->findChild<QAbstractButton*>("button2")->click();
        });
        QCOMPARE(second.StartUp(), false);
        QCOMPARE(rows, 0);
        QCOMPARE(second.projectOpen, 0);
        QVERIFY(second.project.pages.empty());
        QCOMPARE(second.lastProjectFile, f.Path("old.ebp"));
        // Closing with no project open asks nothing.
        QVERIFY(prompts.messages.empty());
        QVERIFY(prompts.fileRequests.empty());
    }

    // Values made on Windows (Windows-1252, not UTF-8) are stored as the text
    // they are, not as replacement characters, and come back as that text.
    void windows1252ValuesAreStoredAsTheirText() {
        Fixture f;
        f.app->LoadSettings();
        std::string CBookApp::*const paths[] = {
            &CBookApp::lastProjectDir, &CBookApp::lastProjectFile, &CBookApp::lastIconFile,
            &CBookApp::lastSplashFile, &CBookApp::lastEBookFile};
        std::string BookProject::*const texts[] = {&BookProject::author, &BookProject::copyright,
                                                   &BookProject::url, &BookProject::email};
        int n = 0;
        for (auto member : paths) (*f.app).*member = "Caf\xE9 " + std::to_string(n++);
        for (auto member : texts) f.app->project.*member = "Caf\xE9 " + std::to_string(n++);
        f.app->ShutDown();

        auto store = OpenSettingsStore();
        store->beginGroup("Options");
        n = 0;
        for (const char* key : kNineKeys)
            QCOMPARE(store->value(key).toString(),
                     QString::fromUtf8("Café ") + QString::number(n++));

        CWizardApp second(f.prompts);
        second.LoadSettings();
        n = 0;
        for (auto member : paths) QCOMPARE(second.*member, "Caf\xC3\xA9 " + std::to_string(n++));
        for (auto member : texts)
            QCOMPARE(second.project.*member, "Caf\xC3\xA9 " + std::to_string(n++));
    }

    void firstRunShowsTheDefaultsOnTheCreatePage() {
        Fixture f;
        f.app->LoadSettings();
        f.NewProject({"index.html"});
        Click(&f.Sheet(), "button12324");
        Click(&f.Sheet(), "button12324");
        QCOMPARE(Control<QLineEdit>(&f.Sheet(), "edit1036")->text(), QString("*Your Name*"));
        QCOMPARE(Control<QLineEdit>(&f.Sheet(), "edit1037")->text(),
                 QString::fromStdString(ThisYearsCopyright()));
        QCOMPARE(Control<QLineEdit>(&f.Sheet(), "edit1035")->text(), QString("E-Book"));
        QCOMPARE(Control<QLabel>(&f.Sheet(), "static1042")->text(), QString());
    }
};

QTEST_MAIN(SettingsTest)
#include "SettingsTest.moc"
