// Starting the help program and built e-books as independent processes.
#include <windows.h>

#include "gui/win32/Win32Seams.h"
#include "platform/Wide.h"

namespace folivex {

namespace {

// The system's text for an error, as it comes (with its line break).
std::string SystemText(DWORD error) {
    wchar_t text[512] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, 512, nullptr);
    return Narrow(std::wstring_view(text, length));
}

}  // namespace

bool Win32ProgramLauncher::IsFile(const std::string& path) const {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::string> Win32ProgramLauncher::Start(const std::string& path) {
    // A relative name is completed against the current folder, not looked
    // up along the search path.
    const std::wstring program = Widen(path);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE,
                        CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process))
        return SystemText(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return std::nullopt;
}

}  // namespace folivex
