#include "wizard/WizardApp.h"

#include "platform/Path.h"
#include "wizard/RememberedSettings.h"

namespace folivex {

CWizardApp::CWizardApp(Prompts& prompts, SettingsStore& store, ProgramLauncher& launcher)
    : CBookApp(prompts), m_store(store), m_launcher(launcher) {}

bool CWizardApp::StartUp(const std::function<void()>& runWizard) {
    LoadRememberedSettings(*this, m_store);
    runWizard();  // its result is not looked at
    return false;
}

int CWizardApp::ShutDown() {
    StoreRememberedSettings(*this, m_store);
    ResetProject();
    return 0;
}

std::vector<std::string> CWizardApp::HelpFolders(const std::string& programFolder,
                                                 const std::string& dataFolder) {
    return {programFolder, JoinNativePath(programFolder, dataFolder)};
}

void CWizardApp::ShowHelp() {
    static const std::string kHelpProgram = "help.exe";
    std::string program = kHelpProgram;  // relative: the current working directory
    for (const std::string& folder : helpFolders) {
        std::string candidate = JoinNativePath(folder, kHelpProgram);
        if (m_launcher.IsFile(candidate)) {
            program = std::move(candidate);
            break;
        }
    }
    if (const auto error = m_launcher.Start(program))
        GetPrompts().ShowMessage("Cannot run help.exe: " + *error, MsgButtons::OK, MsgIcon::Stop);
}

}  // namespace folivex
