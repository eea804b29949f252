#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "gui/win32/BookSheet.h"
#include "gui/win32/Win32WizardApp.h"
#include "resources/ViewerStub.h"

namespace folivex {

Win32WizardApp::Win32WizardApp()
    : m_store(ProgramBaseName()), m_app(m_prompts, m_store, m_launcher) {
    m_app.viewerStub = EmbeddedViewerStub();
    // help.exe ships beside the program; the current folder comes after.
    m_app.helpFolders = {ProgramFolder()};
}

int Win32WizardApp::Run() {
    // The list view and the property sheet; the shell's pickers want COM.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_app.StartUp([this] {
        SheetController controller(m_app);
        BookSheet sheet(controller);
        sheet.RunModal();
    });
    const int code = m_app.ShutDown();
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}

}  // namespace folivex
