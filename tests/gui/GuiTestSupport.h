// Helpers for the Qt views' tests: a fresh settings store and temporary
// folder per test, finding controls by object name, answering modal dialogs,
// and the real wizard on the Qt seams with scripted prompts.
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
#include "gui/qt/QtProgramLauncher.h"
#include "gui/qt/QtSettingsStore.h"
#include "platform/ScriptedPrompts.h"
#include "wizard/WizardApp.h"

namespace folivex::test {

// The control named name inside root; null when missing.
template <typename T>
T* Control(QWidget* root, const QString& name) {
    return root->findChild<T*>(name);
}

inline void Click(QWidget* root, const QString& name) {
    auto* b = Control<QAbstractButton>(root, name);
    QVERIFY(b != nullptr);
    QVERIFY2(b->isEnabled(), qPrintable(name));
    b->click();
}

inline void Click(QWidget* root, int buttonId) {
    Click(root, ControlName("button", buttonId));
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

// One test's world: a temporary folder, an empty settings store, the
// scripted prompts, the application object and its wizard on screen.
struct Fixture {
    Fixture() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("config"));
        store = std::make_unique<QtSettingsStore>();
        app = std::make_unique<CWizardApp>(prompts, *store, launcher);
        controller = std::make_unique<SheetController>(*app);
    }

    CBookSheet& Sheet() {
        if (!sheet) {
            sheet = std::make_unique<CBookSheet>(*controller);
            sheet->show();
        }
        return *sheet;
    }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    // Makes a folder with files and runs New Project on it.
    void NewProject(const std::vector<const char*>& files) {
        QDir(dir.path()).mkdir(QStringLiteral("book"));
        for (const char* name : files) {
            QFile page(dir.filePath(QStringLiteral("book/") + name));
            if (page.open(QIODevice::WriteOnly)) page.write("<html><body>page</body></html>");
        }
        prompts.AnswerFolder(dir.filePath(QStringLiteral("book")).toStdString());
        Click(&Sheet(), IDC_NEW_PROJECT);
    }

    QTreeWidget* List() { return Control<QTreeWidget>(&Sheet(), QStringLiteral("list1007")); }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
    QtProgramLauncher launcher;
    std::unique_ptr<QtSettingsStore> store;
    std::unique_ptr<CWizardApp> app;
    std::unique_ptr<SheetController> controller;
    std::unique_ptr<CBookSheet> sheet;
};

}  // namespace folivex::test
