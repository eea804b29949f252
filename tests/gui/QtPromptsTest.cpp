// The Qt side of the prompt seam: titles, icons, buttons, filters and the
// paths the pickers give back.
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "GuiTestSupport.h"
#include "gui/qt/QtPrompts.h"

using namespace folivex;
using namespace folivex::test;

class QtPromptsTest : public QObject {
    Q_OBJECT
private slots:
    void filtersBecomeQtNameFilters() {
        QCOMPARE(ConvertFilter("E-Book Projects (*.ebp)|*.ebp|All Files (*.*)|*.*||"),
                 QStringList({"E-Book Projects (*.ebp)", "All Files (*)"}));
        QCOMPARE(ConvertFilter("Pages|*.htm;*.html||"), QStringList({"Pages (*.htm *.html)"}));
        QCOMPARE(ConvertFilter(""), QStringList());
    }

    void messageBoxesCarryTheProgramNameIconAndButtons() {
        QtPrompts prompts;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        OnNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            box->button(QMessageBox::No)->click();
        });
        const MsgResult r = prompts.ShowMessage("Do you want to save changes in current project?",
                                                MsgButtons::YesNoCancel, MsgIcon::Question);
        QCOMPARE(r, MsgResult::No);
        QCOMPARE(title, QString("gui_QtPromptsTest"));
        QCOMPARE(title, ProgramBaseName());
        QCOMPARE(text, QString("Do you want to save changes in current project?"));
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

        OnNextModal([&](QWidget* modal) {
            icon = qobject_cast<QMessageBox*>(modal)->icon();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        QCOMPARE(prompts.ShowMessage("Cannot run help.exe: x", MsgButtons::OK, MsgIcon::Stop),
                 MsgResult::OK);
        QCOMPARE(icon, QMessageBox::Critical);
    }

    void savePickerAddsTheDefaultExtensionAndGivesAFullPath() {
        QTemporaryDir dir;
        QtPrompts prompts;
        QStringList filters;
        QString selected;
        OnNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            filters = dialog->nameFilters();
            QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            dialog->setDirectory(dir.path());
            dialog->selectFile("mybook");
            QMetaObject::invokeMethod(dialog, "accept");
        });
        FileDialogRequest request;
        request.save = true;
        request.initialName = "ebook.exe";
        request.defaultExt = "exe";
        request.filter = "Executable Files (*.exe)|*.exe|All Files (*.*)|*.*||";
        request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
        const auto chosen = prompts.PickFile(request);
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), QDir(dir.path()).filePath("mybook.exe"));
        QCOMPARE(filters, QStringList({"Executable Files (*.exe)", "All Files (*)"}));
    }

    // The e-book picker asks for an existing folder: a name in a folder that
    // does not exist is refused with a message naming that folder, and the
    // picker comes back until a usable name is given (or it is cancelled).
    void savePickerRefusesAFolderThatDoesNotExist() {
        QTemporaryDir dir;
        QtPrompts prompts;
        QString message;
        auto typeName = [&](const QString& name) {
            return [&, name](QWidget* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                QVERIFY(dialog != nullptr);
                dialog->setDirectory(dir.path());
                auto* field = dialog->findChild<QLineEdit*>("fileNameEdit");
                QVERIFY(field != nullptr);
                field->setText(name);
                QMetaObject::invokeMethod(dialog, "accept");
            };
        };
        OnNextModal([&](QWidget* modal) {
            typeName("missing/mybook")(modal);
            OnNextModal([&](QWidget* box) {
                message = qobject_cast<QMessageBox*>(box)->text();
                qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
                OnNextModal(typeName("mybook"));
            });
        });
        FileDialogRequest request;
        request.save = true;
        request.initialName = "ebook.exe";
        request.defaultExt = "exe";
        request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_EXPLORER;
        const auto chosen = prompts.PickFile(request);
        QCOMPARE(message, "The folder " + QDir(dir.path()).filePath("missing") +
                              " does not exist.\nChoose a file in a folder that exists.");
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), QDir(dir.path()).filePath("mybook.exe"));
    }

    void pickersGiveNothingWhenCancelled() {
        QtPrompts prompts;
        OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QVERIFY(!prompts.PickFile(FileDialogRequest{}).has_value());
        OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        QVERIFY(
            !prompts.PickFolder(FolderDialogRequest{"Select an e-book project directory", "", 0x31})
                 .has_value());
    }

    void folderPickerOpensOnTheLastFolderWithItsTitle() {
        QTemporaryDir dir;
        QtPrompts prompts;
        QString title, shown;
        OnNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            title = dialog->windowTitle();
            shown = dialog->directory().absolutePath();
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const auto folder = prompts.PickFolder(FolderDialogRequest{
            "Select an e-book project directory", dir.path().toStdString(), 0x31});
        QCOMPARE(title, QString("Select an e-book project directory"));
        QCOMPARE(shown, QDir(dir.path()).absolutePath());
        QVERIFY(folder.has_value());
        QCOMPARE(QString::fromStdString(*folder), QDir(dir.path()).absolutePath());
    }

    void waitCursorNests() {
        QtPrompts prompts;
        prompts.SetWaitCursor(true);
        prompts.SetWaitCursor(true);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        prompts.SetWaitCursor(false);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        prompts.SetWaitCursor(false);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(QtPromptsTest)
#include "QtPromptsTest.moc"
