// The Win32 wizard's program object: the application object of the wizard
// with the Win32 seams, run as one modal wizard between start-up and
// shut-down. Settings live under the program's own base name.
#pragma once

#include "gui/win32/Win32Seams.h"
#include "wizard/WizardApp.h"

namespace folivex {

class Win32WizardApp {
public:
    Win32WizardApp();
    // Runs the whole program; its exit code.
    int Run();

private:
    Win32Prompts m_prompts;
    RegistrySettingsStore m_store;
    Win32ProgramLauncher m_launcher;
    CWizardApp m_app;
};

}  // namespace folivex
