// CWizardApp: the application object of the wizard.
//
// Adds to the core CBookApp what only the interactive program has: start-up
// and shut-down with the remembered settings, the modal main wizard, and
// help. Construction resets the project (CBookApp does so) and takes the
// viewer stub the program carries.
#pragma once

#include <QSettings>
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

    // Starts "help.exe" from the current working directory as an independent
    // process. When it cannot be started, shows "Cannot run help.exe: " and the
    // system's text for the error (stop icon, OK).
    void ShowHelp();

private:
    std::unique_ptr<QSettings> OpenStore();

    std::function<std::unique_ptr<QSettings>()> m_openStore;
};

}  // namespace folivex
