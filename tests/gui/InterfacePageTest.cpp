// The Interface page: check boxes bound to the project's flags, the two
// pickers, show and copy.
#include <QCheckBox>
#include <QLabel>

#include "GuiTestSupport.h"
#include "gui/qt/InterfacePage.h"

using namespace folivex;
using namespace folivex::test;

namespace {

void ToInterfacePage(Fixture& f) {
    f.NewProject({"index.html"});
    Click(&f.Sheet(), "button12324");
    QCOMPARE(f.Sheet().ActivePageIndex(), int(CBookSheet::kInterfacePage));
}

QCheckBox* Box(Fixture& f, int id) {
    return Control<QCheckBox>(&f.Sheet(), qPrintable("check" + QString::number(id)));
}

}  // namespace

class InterfacePageTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheResetDefaults() {
        Fixture f;
        ToInterfacePage(f);
        QVERIFY(!Box(f, 1012)->isChecked());
        QVERIFY(Box(f, 1013)->isChecked());
        QVERIFY(!Box(f, 1025)->isChecked());
        QVERIFY(Box(f, 1014)->isChecked());
        for (int id : CInterfacePage::kToolbarButtonIds) QVERIFY(Box(f, id)->isChecked());
        QCOMPARE(Control<QLabel>(&f.Sheet(), "static1008")->text(), QString());
        QCOMPARE(Control<QLabel>(&f.Sheet(), "static1010")->text(), QString());
        QCOMPARE(Box(f, 1016)->text(), QString("Prev && &Next"));
        QCOMPARE(Box(f, 1017)->text(), QString("Histor&y (Back && Forward)"));
    }

    void eachBoxReachesItsFlagOnNext() {
        Fixture f;
        ToInterfacePage(f);
        Box(f, 1012)->setChecked(true);
        Box(f, 1013)->setChecked(false);
        Box(f, 1025)->setChecked(true);
        Box(f, 1014)->setChecked(false);  // the button boxes stay usable
        QVERIFY(Box(f, 1024)->isEnabled());
        Box(f, 1024)->setChecked(false);  // "&Copy" is the fourth button
        Box(f, 1023)->setChecked(false);  // "&Exit" the tenth
        Click(&f.Sheet(), "button12324");
        const BookProject& p = f.app->project;
        QCOMPARE(p.showAboutAtStart, 1);
        QCOMPARE(p.startMaximized, 0);
        QCOMPARE(p.startFullScreen, 1);
        QCOMPARE(p.showToolbar, 0);
        QCOMPARE(p.toolbarButtons[kButtonCopy], 0);
        QCOMPARE(p.toolbarButtons[kButtonExit], 0);
        for (int i : {0, 1, 2, 4, 5, 6, 7, 8})
            QCOMPARE(p.toolbarButtons[static_cast<size_t>(i)], 1);
    }

    void backCopiesToo() {
        Fixture f;
        ToInterfacePage(f);
        Box(f, 1018)->setChecked(false);
        Click(&f.Sheet(), "button12323");
        QCOMPARE(f.app->project.toolbarButtons[kButtonSearch], 0);
    }

    void splashPickerCopiesFirstAndRemembersTheChoice() {
        Fixture f;
        ToInterfacePage(f);
        Box(f, 1012)->setChecked(true);
        f.prompts.AnswerFile(f.Path("splash.bmp"));
        Click(&f.Sheet(), "button1009");
        const FileDialogRequest& r = f.prompts.fileRequests.back();
        QVERIFY(!r.save);
        QCOMPARE(r.initialName, std::string("*.bmp"));
        QCOMPARE(r.defaultExt, std::string("bmp"));
        QCOMPARE(r.filter, std::string("Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||"));
        QCOMPARE(r.flags, uint32_t(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST));
        QCOMPARE(f.app->project.showAboutAtStart, 1);
        QVERIFY(Box(f, 1012)->isChecked());
        QCOMPARE(f.app->project.splashFile, f.Path("splash.bmp"));
        QCOMPARE(f.app->lastSplashFile, f.Path("splash.bmp"));
        QCOMPARE(Control<QLabel>(&f.Sheet(), "static1008")->text().toStdString(),
                 f.Path("splash.bmp"));

        f.prompts.AnswerFile(std::nullopt);
        Click(&f.Sheet(), "button1009");
        QCOMPARE(f.prompts.fileRequests.back().initialName, f.Path("splash.bmp"));
        QCOMPARE(f.app->project.splashFile, f.Path("splash.bmp"));
    }

    void iconPickerStartsAtTheLastIcon() {
        Fixture f;
        ToInterfacePage(f);
        f.prompts.AnswerFile(std::nullopt);
        Click(&f.Sheet(), "button1011");
        QCOMPARE(f.prompts.fileRequests.back().initialName, std::string("*.ico"));
        QCOMPARE(f.prompts.fileRequests.back().defaultExt, std::string("ico"));
        QCOMPARE(f.prompts.fileRequests.back().filter,
                 std::string("Icon Files (*.ico)|*.ico|All Files (*.*)|*.*||"));
        QVERIFY(f.app->project.iconFile.empty());

        f.app->lastIconFile = "/icons/last.ico";
        f.prompts.AnswerFile(f.Path("book.ico"));
        Click(&f.Sheet(), "button1011");
        QCOMPARE(f.prompts.fileRequests.back().initialName, std::string("/icons/last.ico"));
        QCOMPARE(f.app->project.iconFile, f.Path("book.ico"));
        QCOMPARE(f.app->lastIconFile, f.Path("book.ico"));
    }
};

QTEST_MAIN(InterfacePageTest)
#include "InterfacePageTest.moc"
