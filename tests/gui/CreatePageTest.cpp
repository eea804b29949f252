// The Create page: texts, the output picker, Create E-Book, Run E-Book and
// Save Project As.
#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTextEdit>

#include "GuiTestSupport.h"
#include "gui/qt/BuildProgressWindow.h"
#include "gui/qt/CreatePage.h"
#include "gui/qt/InterfacePage.h"

using namespace folivex;
using namespace folivex::test;

namespace {

// A stand-in viewer stub: the build copies it to the start of the e-book.
const uint8_t kFakeStub[64] = {'M', 'Z'};

void ToCreatePage(Fixture& f) {
    f.NewProject({"index.html", "two.html"});
    f.app->viewerStub = std::span<const uint8_t>(kFakeStub, sizeof kFakeStub);
    Click(&f.Sheet(), "button12324");
    Click(&f.Sheet(), "button12324");
    QCOMPARE(f.Sheet().ActivePageIndex(), int(CBookSheet::kCreatePage));
}

QLineEdit* Edit(Fixture& f, const char* name) {
    return Control<QLineEdit>(&f.Sheet(), name);
}

// The project's texts and paths with the control that shows each.
struct TextField {
    const char* type;
    int id;
    std::string BookProject::*member;
};
const TextField kTextFields[] = {
    {"edit", IDC_TITLE, &BookProject::title},
    {"edit", IDC_AUTHOR, &BookProject::author},
    {"edit", IDC_COPYRIGHT, &BookProject::copyright},
    {"edit", IDC_URL, &BookProject::url},
    {"edit", IDC_EMAIL, &BookProject::email},
    {"edit", IDC_ABOUT_INFO, &BookProject::aboutInfo},
    {"static", IDC_EBOOK_FILE, &BookProject::ebookFile},
    {"static", IDC_SPLASH_FILE, &BookProject::splashFile},
    {"static", IDC_ICON_FILE, &BookProject::iconFile},
};
const int kTextFieldCount = static_cast<int>(std::size(kTextFields));

QString ShownText(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* multi = qobject_cast<QTextEdit*>(control)) return multi->toPlainText();
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    return {};
}

}  // namespace

class CreatePageTest : public QObject {
    Q_OBJECT
private slots:
    void createWithoutAFileNameAsksForOneFirst() {
        Fixture f;
        ToCreatePage(f);
        f.prompts.AnswerFile(std::nullopt);
        Click(&f.Sheet(), "button1044");
        QCOMPARE(f.prompts.fileRequests.size(), size_t(1));
        const FileDialogRequest& r = f.prompts.fileRequests[0];
        QVERIFY(r.save);
        QCOMPARE(r.initialName, std::string("ebook.exe"));
        QCOMPARE(r.defaultExt, std::string("exe"));
        QCOMPARE(r.filter, std::string("Executable Files (*.exe)|*.exe|All Files (*.*)|*.*||"));
        QCOMPARE(r.flags, uint32_t(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER));
        QVERIFY((r.flags & OFN_OVERWRITEPROMPT) == 0);
        // Cancelled: nothing built, nothing said.
        QVERIFY(f.prompts.messages.empty());
        QVERIFY(f.app->project.ebookFile.empty());
        QVERIFY(!QFile::exists(f.dir.filePath("ebook.exe")));
    }

    void createReportsSuccessWithTheFullPath() {
        Fixture f;
        ToCreatePage(f);
        auto* title = Edit(f, "edit1035");
        title->clear();
        QTest::keyClicks(title, "My Book");
        const std::string out = f.Path("ebook.exe");
        f.prompts.AnswerFile(out);
        Click(&f.Sheet(), "button1044");
        QCOMPARE(f.app->project.title, std::string("My Book"));  // copied first
        QCOMPARE(f.app->project.ebookFile, out);
        QCOMPARE(f.app->lastEBookFile, out);
        QCOMPARE(Control<QLabel>(&f.Sheet(), "static1042")->text().toStdString(), out);
        QCOMPARE(f.prompts.messages.size(), size_t(1));
        QCOMPARE(f.prompts.messages[0].text, "E-Book " + out + " created successfully.");
        QCOMPARE(f.prompts.messages[0].icon, MsgIcon::Information);
        QCOMPARE(f.prompts.messages[0].buttons, MsgButtons::OK);
        QVERIFY(QFile::exists(QString::fromStdString(out)));
        // A quick build shows no progress window.
        QVERIFY(f.Sheet().findChild<QProgressDialog*>("buildProgress") == nullptr);

        // With a file name set, the next build asks for none.
        Click(&f.Sheet(), "button1044");
        QCOMPARE(f.prompts.fileRequests.size(), size_t(1));
        QCOMPARE(f.prompts.messages.size(), size_t(2));
    }

    void thePickerStartsAtTheLastEBookNotTheProjects() {
        Fixture f;
        ToCreatePage(f);
        f.app->lastEBookFile = f.Path("last.exe");
        f.app->project.ebookFile = f.Path("project.exe");
        Click(&f.Sheet(), "button12323");
        Click(&f.Sheet(), "button12324");  // show again
        f.prompts.AnswerFile(f.Path("chosen.exe"));
        Click(&f.Sheet(), "button1043");
        QCOMPARE(f.prompts.fileRequests.back().initialName, f.Path("last.exe"));
        QCOMPARE(f.app->project.ebookFile, f.Path("chosen.exe"));
        QCOMPARE(f.app->lastEBookFile, f.Path("chosen.exe"));
        QCOMPARE(Control<QLabel>(&f.Sheet(), "static1042")->text().toStdString(),
                 f.Path("chosen.exe"));
    }

    void saveProjectAsSavesTheTextsOnScreen() {
        Fixture f;
        ToCreatePage(f);
        auto* title = Edit(f, "edit1035");
        title->clear();
        QTest::keyClicks(title, "Typed Just Now");
        auto* about = Control<QTextEdit>(&f.Sheet(), "edit", IDC_ABOUT_INFO);
        about->setFocus();
        QTest::keyClicks(about, "About");
        QTest::keyClick(about, Qt::Key_Return);
        QTest::keyClicks(about, "it");
        f.prompts.AnswerFile(f.Path("saved.ebp"));
        Click(&f.Sheet(), IDC_SAVE_PROJECT_AS);
        QCOMPARE(f.app->projectFile, f.Path("saved.ebp"));

        const auto saved = f.ReadProject(f.Path("saved.ebp"));
        QVERIFY(saved != nullptr);
        QCOMPARE(saved->project.title, std::string("Typed Just Now"));
        QCOMPARE(saved->project.aboutInfo, std::string("About\r\nit"));
    }

    // Every text and path of a project goes through the pages and back into
    // the saved file unchanged unless typed over: Windows-1252 texts of
    // projects made on Windows are shown decoded and kept byte for byte, and
    // no field is cut at the single-line edit's default 32,767 characters.
    void textsSurvivePagingByteForByte_data() {
        QTest::addColumn<int>("field");         // in kTextFields
        QTest::addColumn<QByteArray>("value");  // the field's bytes
        QTest::addColumn<QString>("shown");     // what its control shows
        QTest::addColumn<QString>("typed");     // appended by the author
        QTest::addColumn<QByteArray>("kept");   // the field after closing
        const QByteArray cafe("Caf\xE9 \x93quoted\x94 \x80 5");
        const QString cafeShown = QString::fromUtf8("Café “quoted” € 5");
        const QByteArray path("C:\\Users\\Ren\xE9\\Livre\\");
        const QString pathShown = QString::fromUtf8("C:\\Users\\René\\Livre\\");
        const QByteArray longText(40000, 'x');
        for (int i = 0; i < kTextFieldCount; ++i) {
            const QString name = ControlName(kTextFields[i].type, kTextFields[i].id);
            const bool isPath = name.startsWith("static");
            const QByteArray value = isPath ? path + "book.bin" : cafe;
            const QString shown = isPath ? pathShown + "book.bin" : cafeShown;
            QTest::newRow(qPrintable(name + " Windows-1252"))
                << i << value << shown << QString() << value;
            QTest::newRow(qPrintable(name + " 40,000 characters"))
                << i << longText << QString(longText) << QString() << longText;
        }
        QTest::newRow("edit1035 typed over") << 0 << cafe << cafeShown << " 2"
                                             << QByteArray(
                                                    "Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2"
                                                    "\x80\x9D \xE2\x82\xAC 5 2");
        const int about = 5;
        // The edit gives a no-break space back as a plain one; the field
        // keeps its own while the text is not edited.
        QTest::newRow("edit1041 lines and a no-break space")
            << about << QByteArray("one\xC2\xA0two\r\nthree\nfour")
            << QString::fromUtf8("one two\nthree\nfour") << QString()
            << QByteArray("one\xC2\xA0two\r\nthree\nfour");
        QTest::newRow("edit1041 typed over")
            << about << QByteArray("one\r\ntwo") << QString("one\ntwo") << "!"
            << QByteArray("one\r\ntwo!");
    }

    void textsSurvivePagingByteForByte() {
        QFETCH(int, field);
        QFETCH(QByteArray, value);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QByteArray, kept);
        const TextField& text = kTextFields[field];
        Fixture f;
        f.NewProject({"index.html"});
        f.app->project.*text.member = Bytes(value);
        const QByteArray before = f.SaveAs("book.ebp");
        QVERIFY(!before.isEmpty());

        CBookSheet& sheet = f.Sheet();
        for (int id : {ID_WIZNEXT, ID_WIZNEXT, ID_WIZBACK, ID_WIZBACK, ID_WIZNEXT, ID_WIZNEXT})
            Click(&sheet, id);
        QWidget* control = Control<QWidget>(&sheet, text.type, text.id);
        QCOMPARE(ShownText(control), shown);
        if (!typed.isEmpty()) {
            control->setFocus();
            QTest::keyClick(control, Qt::Key_End, Qt::ControlModifier);  // the last line
            QTest::keyClick(control, Qt::Key_End);
            QTest::keyClicks(control, typed);
        }
        Click(&sheet, IDCANCEL);

        const auto saved = f.ReadProject(f.Path("book.ebp"));
        QVERIFY(saved != nullptr);
        QCOMPARE(QByteArray::fromStdString(saved->project.*text.member), kept);
        if (kept == value) QCOMPARE(FileBytes(f.Path("book.ebp")), before);
    }

    void aboutTextKeepsItsLineBreaks() {
        Fixture f;
        ToCreatePage(f);
        auto* about = Control<QTextEdit>(&f.Sheet(), "edit1041");
        about->setFocus();
        QTest::keyClicks(about, "First line");
        QTest::keyClick(about, Qt::Key_Return);  // a new line, not the default button
        QTest::keyClicks(about, "Second line");
        QVERIFY(f.Sheet().isVisible());
        Click(&f.Sheet(), "button12323");
        QCOMPARE(f.app->project.aboutInfo, std::string("First line\r\nSecond line"));
        Click(&f.Sheet(), "button12324");
        QCOMPARE(about->toPlainText(), QString("First line\nSecond line"));
        QCOMPARE(about->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
    }

    void everyActivationShowsTheProject() {
        Fixture f;
        ToCreatePage(f);
        Click(&f.Sheet(), "button12323");
        f.app->project.author = "Changed Elsewhere";
        f.app->project.url = "";
        Click(&f.Sheet(), "button12324");
        QCOMPARE(Edit(f, "edit1036")->text(), QString("Changed Elsewhere"));
        QCOMPARE(Edit(f, "edit1038")->text(), QString(""));
        QCOMPARE(Edit(f, "edit1039")->text().toStdString(), f.app->project.email);
    }

    void runEBookIsSilentWhenNothingCanStart() {
        Fixture f;
        ToCreatePage(f);
        Click(&f.Sheet(), "button1045");  // no file name
        f.app->project.ebookFile = f.Path("missing.exe");
        Click(&f.Sheet(), "button1045");
        QVERIFY(f.prompts.messages.empty());
        QVERIFY(f.prompts.fileRequests.empty());
    }

    // The window of a long build, on a clock of the test's own.
    void aLongBuildShowsHowManyFilesAreInAndClosesAtTheEnd() {
        Fixture f;
        QWidget& wizard = f.Sheet();
        qint64 now = 0;
        {
            CBuildProgressWindow window(&wizard, [&] { return now; });
            const BuildProgressFn tell = window.Callback();
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
                tell({m.done, 10, m.done * 1000});
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
            // The wizard stays open while the build runs.
            QCloseEvent close;
            QCoreApplication::sendEvent(&wizard, &close);
            QVERIFY(!close.isAccepted());
            QVERIFY(wizard.isVisible());
        }
        QVERIFY(wizard.findChild<QProgressDialog*>("buildProgress") == nullptr);
    }
};

QTEST_MAIN(CreatePageTest)
#include "CreatePageTest.moc"
