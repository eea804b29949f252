// folivex.exe: the authoring wizard for Windows. No command-line arguments:
// the whole run is one modal wizard between start-up and shut-down.
#include <windows.h>

#include "gui/win32/Win32WizardApp.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    folivex::Win32WizardApp program;
    return program.Run();
}
