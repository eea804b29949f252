// The two modal dialogs of the wizard: File Properties, whose boxes
// FilePropertiesController sets and reads, and the About box.
#include <windows.h>

#include "gui/win32/ResourceIds.h"
#include "gui/win32/Win32Views.h"
#include "wizard/FilePropertiesController.h"
#include "wizard/SheetController.h"

namespace folivex {

namespace {

struct FilePropertiesRun {
    FilePropertiesController& controller;
    DialogView<ControlView> view;
};

INT_PTR CALLBACK FilePropertiesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<FilePropertiesRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            run = reinterpret_cast<FilePropertiesRun*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            run->view.SetWindow(dialog);
            run->controller.OnInitDialog(run->view);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                run->controller.OnOK(run->view);
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        case WM_HELP:
            if (run != nullptr) run->controller.OnHelp();
            return TRUE;
        default: return FALSE;
    }
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: SetWindowLongPtrW(dialog, DWLP_USER, lParam); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_HELP:
            reinterpret_cast<SheetController*>(GetWindowLongPtrW(dialog, DWLP_USER))->OnHelp();
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

bool RunFilePropertiesDialog(WindowHandle owner, FilePropertiesController& dialog) {
    FilePropertiesRun run{dialog, {}};
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FILE_PROPERTIES), owner,
                           FilePropertiesProc, reinterpret_cast<LPARAM>(&run)) == IDOK;
}

void RunAboutBox(WindowHandle owner, SheetController& sheet) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX), owner, AboutBoxProc,
                    reinterpret_cast<LPARAM>(&sheet));
}

}  // namespace folivex
