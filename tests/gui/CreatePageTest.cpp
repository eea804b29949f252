// The Create page: texts, the output picker, Create E-Book, Run E-Book and
// Save Project As.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

#include "GuiTestSupport.h"

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

    void saveProjectAsDoesNotCopyThePageFirst() {
        Fixture f;
        ToCreatePage(f);
        auto* title = Edit(f, "edit1035");
        title->clear();
        QTest::keyClicks(title, "Typed But Not Copied");
        f.prompts.AnswerFile(f.Path("saved.ebp"));
        Click(&f.Sheet(), "button1046");
        QCOMPARE(f.app->project.title, std::string("E-Book"));
        QCOMPARE(f.app->projectFile, f.Path("saved.ebp"));

        ScriptedPrompts prompts;
        CBookApp reader(prompts);
        reader.projectFile = f.Path("saved.ebp");
        QVERIFY(reader.OpenProject() != 0);
        QCOMPARE(reader.project.title, std::string("E-Book"));
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
};

QTEST_MAIN(CreatePageTest)
#include "CreatePageTest.moc"
