// Message boxes, file pickers and the folder picker of the Win32 wizard.
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "gui/win32/Win32Seams.h"
#include "platform/Wide.h"

namespace folivex {

namespace {

// Room for a long path (the system takes about 32,767 characters).
constexpr size_t kPathRoom = 32768;

HWND Owner() {
    return GetActiveWindow();
}

UINT MessageBoxFlags(MsgButtons buttons, MsgIcon icon) {
    UINT flags = 0;
    switch (buttons) {
        case MsgButtons::OK: flags = MB_OK; break;
        case MsgButtons::YesNo: flags = MB_YESNO; break;
        case MsgButtons::YesNoCancel: flags = MB_YESNOCANCEL; break;
    }
    switch (icon) {
        case MsgIcon::Exclamation: return flags | MB_ICONEXCLAMATION;
        case MsgIcon::Stop: return flags | MB_ICONSTOP;
        case MsgIcon::Question: return flags | MB_ICONQUESTION;
        case MsgIcon::Information: return flags | MB_ICONINFORMATION;
    }
    return flags;
}

// "Desc|*.x|All Files (*.*)|*.*||" as the pickers take it: the same with a
// null for each "|".
std::wstring FilterOf(const std::string& filter) {
    std::wstring wide = Widen(filter);
    std::replace(wide.begin(), wide.end(), L'|', L'\0');
    return wide;
}

// The folder picker opens on the folder it was given.
int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data != 0)
        SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

MsgResult Win32Prompts::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    switch (MessageBoxW(Owner(), Widen(text).c_str(), Widen(ProgramBaseName()).c_str(),
                        MessageBoxFlags(buttons, icon))) {
        case IDYES: return MsgResult::Yes;
        case IDNO: return MsgResult::No;
        case IDCANCEL: return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
        default: return MsgResult::OK;
    }
}

std::optional<std::string> Win32Prompts::PickFile(const FileDialogRequest& request) {
    std::vector<wchar_t> file(kPathRoom, L'\0');
    const std::wstring initial = Widen(request.initialName);
    std::copy_n(initial.begin(), std::min(initial.size(), file.size() - 1), file.begin());
    const std::wstring filter = FilterOf(request.filter);
    const std::wstring defaultExt = Widen(request.defaultExt);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = Owner();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
    dialog.Flags = request.flags | OFN_EXPLORER;
    const BOOL chosen = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) return std::nullopt;
    return Narrow(file.data());
}

std::optional<std::string> Win32Prompts::PickFolder(const FolderDialogRequest& request) {
    std::vector<wchar_t> name(MAX_PATH, L'\0');
    const std::wstring title = Widen(request.title);
    const std::wstring initial = Widen(request.initialFolder);
    BROWSEINFOW browse{};
    browse.hwndOwner = Owner();
    browse.pszDisplayName = name.data();
    browse.lpszTitle = title.c_str();
    browse.ulFlags = request.flags;
    browse.lpfn = BrowseCallback;
    browse.lParam = initial.empty() ? 0 : reinterpret_cast<LPARAM>(initial.c_str());
    PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse);
    if (item == nullptr) return std::nullopt;
    std::vector<wchar_t> path(kPathRoom, L'\0');
    const BOOL isFolder =
        SHGetPathFromIDListEx(item, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    IMalloc* shellAllocator = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellAllocator))) {
        shellAllocator->Free(item);
        shellAllocator->Release();
    }
    if (!isFolder) {
        ShowMessage("Invalid folder has been selected. Try Again", MsgButtons::OK,
                    MsgIcon::Exclamation);
        return std::nullopt;
    }
    return Narrow(path.data());
}

void Win32Prompts::SetWaitCursor(bool on) {
    m_waitDepth += on ? 1 : -1;
    SetCursor(LoadCursorW(nullptr, m_waitDepth > 0 ? IDC_WAIT : IDC_ARROW));
}

}  // namespace folivex
