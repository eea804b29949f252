// CWizardApp: the application object of the wizard, whatever draws it.
//
// Adds to the core CBookApp what only the interactive program has: start-up
// and shut-down with the remembered settings (wizard/RememberedSettings.h)
// around the modal wizard, help, and starting programs. The settings store,
// the launcher and the prompts are the toolkit's (gui/qt/QtWizardApp.h makes
// them for Qt); this object only decides.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "project/BookApp.h"
#include "wizard/ProgramLauncher.h"
#include "wizard/SettingsStore.h"

namespace folivex {

class CWizardApp : public CBookApp {
public:
    CWizardApp(Prompts& prompts, SettingsStore& store, ProgramLauncher& launcher);

    // Loads the nine remembered values, then runs the main wizard modally
    // (runWizard returns when it has closed) on the empty project. Never
    // reopens a project. Returns false: no message loop follows, ShutDown
    // runs next.
    bool StartUp(const std::function<void()>& runWizard);

    // Writes the nine remembered values, changed or not, then resets the
    // project (which deletes every page entry). Returns the exit code, 0.
    int ShutDown();

    // Starts "help.exe" as an independent process: the first one found in
    // helpFolders, else the one in the current working directory. When it
    // cannot be started, shows "Cannot run help.exe: " and the system's text
    // for the error (stop icon, OK).
    void ShowHelp();

    ProgramLauncher& Launcher() { return m_launcher; }

    // Where Help looks for help.exe before the current working directory:
    // the program's own folder, then the installed data folder, given
    // relative to the program's folder. Started from the desktop menu, the
    // program runs in the user's home folder.
    static std::vector<std::string> HelpFolders(const std::string& programFolder,
                                                const std::string& dataFolder);
    // Empty until the program sets it; tests set their own.
    std::vector<std::string> helpFolders;

private:
    SettingsStore& m_store;
    ProgramLauncher& m_launcher;
};

}  // namespace folivex
