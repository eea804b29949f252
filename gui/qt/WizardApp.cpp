#include "gui/qt/WizardApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "gui/qt/BookSheet.h"
#include "gui/qt/ProgramLauncher.h"
#include "gui/qt/RememberedSettings.h"
#include "resources/ViewerStub.h"

namespace folivex {

namespace {

// The program started from the desktop menu runs in the user's home folder,
// so its own folder and the installed data folder come before the working
// directory. FOLIVEX_HELP_DATA_DIR is the data folder relative to the
// installed program (set by gui/qt/CMakeLists.txt).
QStringList InstalledHelpFolders() {
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {programDir.absolutePath(),
            QDir::cleanPath(programDir.absoluteFilePath(QStringLiteral(FOLIVEX_HELP_DATA_DIR)))};
}

}  // namespace

CWizardApp::CWizardApp(Prompts& prompts, std::function<std::unique_ptr<QSettings>()> store)
    : CBookApp(prompts), helpFolders(InstalledHelpFolders()), m_openStore(std::move(store)) {
    viewerStub = EmbeddedViewerStub();
}

std::unique_ptr<QSettings> CWizardApp::OpenStore() {
    return m_openStore ? m_openStore() : OpenSettingsStore();
}

void CWizardApp::LoadSettings() {
    const std::unique_ptr<QSettings> store = OpenStore();
    LoadRememberedSettings(*this, *store);
}

bool CWizardApp::StartUp() {
    LoadSettings();
    {
        CBookSheet sheet(*this, [this] { ShowHelp(); });
        sheet.exec();  // the result is not looked at
    }
    return false;
}

int CWizardApp::ShutDown() {
    {
        const std::unique_ptr<QSettings> store = OpenStore();
        StoreRememberedSettings(*this, *store);
    }
    ResetProject();
    return 0;
}

void CWizardApp::ShowHelp() {
    static const QString kHelpProgram = QStringLiteral("help.exe");
    QString program = kHelpProgram;  // relative: the current working directory
    for (const QString& folder : helpFolders) {
        const QFileInfo candidate(QDir(folder), kHelpProgram);
        if (candidate.isFile()) {
            program = candidate.absoluteFilePath();
            break;
        }
    }
    if (const auto error = StartDetachedProgram(program)) {
        GetPrompts().ShowMessage("Cannot run help.exe: " + *error, MsgButtons::OK, MsgIcon::Stop);
    }
}

}  // namespace folivex
