// The controls of a dialog window by id, and what every page of the wizard
// does with its window's messages: clicks go to the page's controller, the
// wizard's notifications to the sheet.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "gui/win32/BookSheet.h"
#include "gui/win32/Win32Views.h"
#include "platform/Wide.h"

namespace folivex {

void DialogWindow::SetItemText(int id, const std::string& text) {
    SetDlgItemTextW(m_window, id, Widen(text).c_str());
}

std::string DialogWindow::ItemText(int id) const {
    HWND item = GetDlgItem(m_window, id);
    if (item == nullptr) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return Narrow(text);
}

void DialogWindow::SetItemCheck(int id, bool checked) {
    CheckDlgButton(m_window, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool DialogWindow::ItemCheck(int id) const {
    return IsDlgButtonChecked(m_window, id) == BST_CHECKED;
}

void DialogWindow::EnableItem(int id, bool enabled) {
    EnableWindow(GetDlgItem(m_window, id), enabled ? TRUE : FALSE);
}

bool Win32Page::OnMessage(unsigned message, uintptr_t wParam, intptr_t lParam, intptr_t& result) {
    result = 0;
    switch (message) {
        case WM_COMMAND:
            // Clicks of the page's buttons; check boxes are read when the
            // page is copied.
            if (HIWORD(wParam) != BN_CLICKED || lParam == 0) return false;
            m_controller.OnCommand(LOWORD(wParam));
            return true;
        case WM_HELP:
            m_sheet.Controller().OnHelp();
            result = TRUE;
            return true;
        case WM_NOTIFY: break;
        default: return false;
    }
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    switch (header->code) {
        // The controller has shown the page and set its buttons already;
        // leaving is always allowed.
        case PSN_SETACTIVE:
        case PSN_KILLACTIVE:
        case PSN_RESET: return true;
        // The controller moves the wizard itself (BookSheet::ShowPage);
        // the sheet's own move is refused.
        case PSN_WIZNEXT:
            m_sheet.Controller().OnNext();
            result = -1;
            return true;
        case PSN_WIZBACK:
            m_sheet.Controller().OnBack();
            result = -1;
            return true;
        case PSN_QUERYCANCEL: result = m_sheet.QueryCancel() ? FALSE : TRUE; return true;
        case PSN_HELP: m_sheet.Controller().OnHelp(); return true;
        default: return false;
    }
}

}  // namespace folivex
