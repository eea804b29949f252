// Walks the wizard the way an author does on examples/sample-book (New
// Project, Interface, Create, Create E-Book) and saves a picture of each page
// and of the About box: gui_screenshots OUTPUT_FOLDER [SAMPLE_BOOK]. Run
// under Xvfb for the real look (docs/ holds the results); as a test it runs
// offscreen and checks that the walk ends in a built e-book.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "gui/qt/BookSheet.h"
#include "gui/qt/QtProgramLauncher.h"
#include "gui/qt/QtSettingsStore.h"
#include "platform/ScriptedPrompts.h"
#include "resources/ViewerStub.h"
#include "wizard/RememberedSettings.h"
#include "wizard/WizardApp.h"

using namespace folivex;

namespace {

bool Save(QWidget* window, const QString& path) {
    QApplication::processEvents();
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

void Click(QWidget* root, const char* name) {
    if (auto* b = root->findChild<QPushButton*>(name)) b->click();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: gui_screenshots OUTPUT_FOLDER [SAMPLE_BOOK]\n");
        return 2;
    }
    const QDir out(args[1]);
    QDir().mkpath(out.path());
    const QString book = args.size() > 2 ? args[2] : QStringLiteral(FOLIVEX_SAMPLE_BOOK);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, out.filePath("config"));

    ScriptedPrompts prompts;
    QtSettingsStore store;
    QtProgramLauncher launcher;
    CWizardApp app(prompts, store, launcher);
    app.viewerStub = EmbeddedViewerStub();
    LoadRememberedSettings(app, store);
    SheetController controller(app);
    CBookSheet sheet(controller);
    sheet.show();
    bool ok = true;

    prompts.AnswerFolder(QDir(book).absolutePath().toStdString());
    Click(&sheet, "button1001");
    auto* list = sheet.findChild<QTreeWidget*>("list1007");
    if (list != nullptr && list->topLevelItemCount() > 1) list->topLevelItem(1)->setSelected(true);
    ok &= Save(&sheet, out.filePath("wizard-content.png"));

    Click(&sheet, "button12324");
    ok &= Save(&sheet, out.filePath("wizard-interface.png"));

    Click(&sheet, "button12324");
    sheet.findChild<QLineEdit*>("edit1035")->setText(QStringLiteral("Folivex Sample Book"));
    sheet.findChild<QLineEdit*>("edit1036")->setText(QStringLiteral("Ann Author"));
    sheet.findChild<QTextEdit*>("edit1041")
        ->setPlainText(QStringLiteral("A short illustrated guide\nmade with Folivex"));
    const QString ebook = QDir::toNativeSeparators(out.absoluteFilePath("sample-book.exe"));
    prompts.AnswerFile(ebook.toStdString());
    Click(&sheet, "button1044");
    ok &= Save(&sheet, out.filePath("wizard-create.png"));
    const bool built = !prompts.messages.empty() &&
                       prompts.messages.back().text ==
                           "E-Book " + ebook.toStdString() + " created successfully." &&
                       QFile::exists(ebook);
    std::printf("%s %s\n", built ? "built" : "FAILED to build", qPrintable(ebook));
    ok &= built;

    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        if (about == nullptr) {
            ok = false;
            return;
        }
        ok &= Save(about, out.filePath("about-box.png"));
        about->close();
    });
    Click(&sheet, "button16");
    return ok ? 0 : 1;
}
