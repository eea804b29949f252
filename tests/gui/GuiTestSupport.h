// Helpers for the wizard's Qt tests: a fresh settings store and temporary
// folder per test, finding controls by object name, answering modal dialogs.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/qt/BookSheet.h"
#include "gui/qt/ControlNames.h"
#include "gui/qt/WizardApp.h"
#include "platform/ScriptedPrompts.h"

namespace folivex::test {

// The control named name inside root; fails the test when it is missing.
template <typename T>
T* Control(QWidget* root, const char* name) {
    T* w = root->findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr) qWarning("no control named %s", name);
    return w;
}

// The control of that type ("button", "edit", ...) and id (IDC_...).
template <typename T>
T* Control(QWidget* root, const char* type, int id) {
    return Control<T>(root, ControlName(type, id).toLatin1().constData());
}

inline void Click(QWidget* root, const char* name) {
    auto* b = Control<QAbstractButton>(root, name);
    QVERIFY(b != nullptr);
    QVERIFY2(b->isEnabled(), name);
    b->click();
}

inline void Click(QWidget* root, int buttonId) {
    Click(root, ControlName("button", buttonId).toLatin1().constData());
}

// The whole content of a file; empty when it cannot be read.
inline QByteArray FileBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline std::string Bytes(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

// Runs action on the next modal dialog as soon as the event loop sees it.
inline void OnNextModal(std::function<void(QWidget*)> action) {
    auto attempt = std::make_shared<std::function<void()>>();
    *attempt = [action, attempt] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            QTimer::singleShot(10, *attempt);
            return;
        }
        action(modal);
    };
    QTimer::singleShot(0, *attempt);
}

// Writes the files (relative paths, "/" separators) into folder.
inline void WriteFiles(const QString& folder, const std::vector<const char*>& files) {
    for (const char* name : files) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(name));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray("<html><body>") + name + "</body></html>");
    }
}

// One test's world: a temporary folder, an empty settings store, the
// scripted prompts and the application object with its wizard.
struct Fixture {
    Fixture() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        app = std::make_unique<CWizardApp>(prompts);
        // The test programs sit beside the real user guide; a test that
        // wants a help program puts its own.
        app->helpFolders.clear();
    }

    CBookSheet& Sheet() {
        if (!sheet) {
            sheet = std::make_unique<CBookSheet>(*app, [this] { ++helpRequests; });
            sheet->show();
        }
        return *sheet;
    }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    // Makes a folder with files and runs New Project on it.
    void NewProject(const std::vector<const char*>& files, const char* folder = "book") {
        const QString path = dir.filePath(QString::fromLatin1(folder));
        QDir().mkpath(path);
        WriteFiles(path, files);
        prompts.AnswerFolder(path.toStdString());
        Click(&Sheet(), "button1001");
    }

    QTreeWidget* List() { return Control<QTreeWidget>(&Sheet(), "list1007"); }

    // Saves the open project to name in the test's folder; its bytes.
    QByteArray SaveAs(const char* name) {
        app->projectFile = Path(name);
        if (app->SaveProject() == 0) return {};
        return FileBytes(app->projectFile);
    }

    // The project file at path, read by an application object of its own.
    std::unique_ptr<CBookApp> ReadProject(const std::string& path) {
        auto reader = std::make_unique<CBookApp>(readerPrompts);
        reader->projectFile = path;
        if (reader->OpenProject() == 0) return nullptr;
        return reader;
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
    ScriptedPrompts readerPrompts;
    std::unique_ptr<CWizardApp> app;
    std::unique_ptr<CBookSheet> sheet;
    int helpRequests = 0;
};

}  // namespace folivex::test
