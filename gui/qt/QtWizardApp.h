// QtWizardApp: the Qt program object of folivex. It makes the toolkit's
// seams (the Qt prompts, the settings store, the launcher), the application
// object on them (CWizardApp of wizard/WizardApp.h) with the viewer stub the
// program carries, and runs the Qt wizard as its main window.
#pragma once

#include "gui/qt/QtProgramLauncher.h"
#include "gui/qt/QtPrompts.h"
#include "gui/qt/QtSettingsStore.h"
#include "wizard/WizardApp.h"

namespace folivex {

class QtWizardApp {
public:
    QtWizardApp();

    // Start-up, the modal wizard, shut-down; returns the exit code.
    int Run();

private:
    QtPrompts m_prompts;
    QtSettingsStore m_store;
    QtProgramLauncher m_launcher;
    CWizardApp m_app;
};

}  // namespace folivex
