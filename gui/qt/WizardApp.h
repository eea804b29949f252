// CWizardApp: the application object of the wizard.
//
// Adds to the core CBookApp what only the interactive program has: start-up
// and shut-down with the remembered settings, the modal main wizard, and
// help. Construction resets the project (CBookApp does so) and takes the
// viewer stub the program carries.
#pragma once

#include <QSettings>
#include <QStringList>
#include <functional>
#include <memory>

#include "project/BookApp.h"

namespace folivex {

class CWizardApp : public CBookApp {
public:
    // store: where the remembered values live; the program's own settings
    // store when empty (tests pass one of their own).
    explicit CWizardApp(Prompts& prompts, std::function<std::unique_ptr<QSettings>()> store = {});

    // Loads the nine remembered values, then shows the main wizard modally on
    // the empty project. Never reopens a project. Returns false: no message
    // loop follows, ShutDown runs next.
    bool StartUp();

    // Loads the remembered values only (StartUp's first half).
    void LoadSettings();

    // Writes the nine remembered values, changed or not, then resets the
    // project (which deletes every page entry). Returns the exit code, 0.
    int ShutDown();

    // Starts "help.exe" as an independent process: the first one found in
    // helpFolders, else the one in the current working directory. When it
    // cannot be started, shows "Cannot run help.exe: " and the system's text
    // for the error (stop icon, OK).
    void ShowHelp();

    // Where Help looks for help.exe before the current working directory:
    // the program's own folder, then the installed data folder
    // (<program folder>/../share/folivex after an install). Tests set
    // their own.
    QStringList helpFolders;

private:
    std::unique_ptr<QSettings> OpenStore();

    std::function<std::unique_ptr<QSettings>()> m_openStore;
};

}  // namespace folivex
