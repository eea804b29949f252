// Launcher on Windows: Edge or Chrome in app mode, else the default browser.
#include <windows.h>
#include <shellapi.h>

#include "platform/Exceptions.h"
#include "platform/Wide.h"
#include "viewer/Launcher.h"

namespace folivex {

namespace {

std::string Environment(const wchar_t* name) {
    const DWORD need = GetEnvironmentVariableW(name, nullptr, 0);
    if (need == 0) return {};
    std::wstring value(need, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), need);
    if (n == 0 || n >= need) return {};
    value.resize(n);
    return Narrow(value);
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The path a browser registered under App Paths, in either hive.
std::string RegisteredPath(const wchar_t* exeName) {
    const std::wstring key =
        std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exeName;
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        DWORD size = 0;  // in bytes, the terminating NUL included
        if (RegGetValueW(hive, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
                ERROR_SUCCESS ||
            size < sizeof(wchar_t))
            continue;
        std::wstring value(size / sizeof(wchar_t), L'\0');
        if (RegGetValueW(hive, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
            ERROR_SUCCESS)
            continue;
        value.resize(wcsnlen(value.c_str(), value.size()));
        const std::string path = Narrow(value);
        if (IsFile(path)) return path;
    }
    return {};
}

// Edge first (every current Windows has it), then Chrome.
std::string FindAppModeBrowser() {
    struct Candidate {
        const wchar_t* exe;
        const char* folder;
    };
    const Candidate candidates[] = {
        {L"msedge.exe", "\\Microsoft\\Edge\\Application\\msedge.exe"},
        {L"chrome.exe", "\\Google\\Chrome\\Application\\chrome.exe"},
    };
    for (const auto& c : candidates) {
        std::string path = RegisteredPath(c.exe);
        if (!path.empty()) return path;
        for (const wchar_t* root : {L"ProgramFiles(x86)", L"ProgramFiles", L"LOCALAPPDATA"}) {
            const std::string base = Environment(root);
            if (!base.empty() && IsFile(base + c.folder)) return base + c.folder;
        }
    }
    return {};
}

void CreateFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryW(WidePath(path.substr(0, i)).c_str(), nullptr);
    }
}

class AppWindow final : public BrowserWindow {
public:
    explicit AppWindow(HANDLE process) : m_process(process) {}
    ~AppWindow() override { CloseHandle(m_process); }
    bool Tracked() const override { return true; }
    void WaitUntilClosed() override { WaitForSingleObject(m_process, INFINITE); }

private:
    HANDLE m_process;
};

class DefaultBrowser final : public BrowserWindow {
public:
    bool Tracked() const override { return false; }
    void WaitUntilClosed() override {}
};

}  // namespace

std::string BrowserProfileFolder(const std::string& bookPath) {
    std::string root = Environment(L"LOCALAPPDATA");
    if (root.empty()) root = Environment(L"TEMP");
    const std::string folder = root + "\\Folivex\\Viewer\\" + BrowserProfileName(bookPath);
    CreateFolders(folder);
    return folder;
}

std::unique_ptr<BrowserWindow> OpenBrowser(const LaunchRequest& request, std::string& error) {
    const std::string browser = FindAppModeBrowser();
    if (!browser.empty()) {
        std::string command = "\"" + browser + "\" --app=" + request.url + " --user-data-dir=\"" +
                              BrowserProfileFolder(request.bookPath) +
                              "\" --no-first-run --no-default-browser-check";
        if (request.start == WindowStart::fullScreen) command += " --start-fullscreen";
        if (request.start == WindowStart::maximized) command += " --start-maximized";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        // CreateProcessW may write into the command line it is given.
        std::wstring wideCommand = Widen(command);
        if (CreateProcessW(Widen(browser).c_str(), wideCommand.data(), nullptr, nullptr, FALSE, 0,
                           nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            return std::make_unique<AppWindow>(process.hProcess);
        }
        // A browser that will not start: the default browser may still do.
    }
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, L"open", Widen(request.url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return std::make_unique<DefaultBrowser>();
    error = "Cannot open a web browser to show the e-book: " +
            SystemErrorText(static_cast<long>(GetLastError()));
    return nullptr;
}

void ShowViewerMessage(const std::string& title, const std::string& text, bool isError) {
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(title).c_str(),
                MB_OK | MB_SETFOREGROUND | (isError ? MB_ICONSTOP : MB_ICONINFORMATION));
}

}  // namespace folivex
