#include "gui/qt/WizardApp.h"

#include "gui/qt/BookSheet.h"
#include "gui/qt/ProgramLauncher.h"
#include "gui/qt/RememberedSettings.h"
#include "resources/ViewerStub.h"

namespace folivex {

CWizardApp::CWizardApp(Prompts& prompts, std::function<std::unique_ptr<QSettings>()> store)
    : CBookApp(prompts), m_openStore(std::move(store)) {
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
    if (const auto error = StartDetachedProgram(kHelpProgram)) {
        GetPrompts().ShowMessage("Cannot run help.exe: " + *error, MsgButtons::OK, MsgIcon::Stop);
    }
}

}  // namespace folivex
