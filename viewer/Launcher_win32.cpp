// Launcher on Windows: Edge or Chrome in app mode, else the default browser.
#include <windows.h>
#include <shellapi.h>

#include "platform/Exceptions.h"
#include "viewer/Launcher.h"

namespace folivex {

namespace {

std::string Environment(const char* name) {
    char buffer[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The path a browser registered under App Paths, in either hive.
std::string RegisteredPath(const char* exeName) {
    const std::string key =
        std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exeName;
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        char value[MAX_PATH];
        DWORD size = sizeof value;
        if (RegGetValueA(hive, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) ==
                ERROR_SUCCESS &&
            IsFile(value))
            return value;
    }
    return {};
}

// Edge first (every current Windows has it), then Chrome.
std::string FindAppModeBrowser() {
    struct Candidate {
        const char* exe;
        const char* folder;
    };
    const Candidate candidates[] = {
        {"msedge.exe", "\\Microsoft\\Edge\\Application\\msedge.exe"},
        {"chrome.exe", "\\Google\\Chrome\\Application\\chrome.exe"},
    };
    for (const auto& c : candidates) {
        std::string path = RegisteredPath(c.exe);
        if (!path.empty()) return path;
        for (const char* root : {"ProgramFiles(x86)", "ProgramFiles", "LOCALAPPDATA"}) {
            const std::string base = Environment(root);
            if (!base.empty() && IsFile(base + c.folder)) return base + c.folder;
        }
    }
    return {};
}

void CreateFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
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
    std::string root = Environment("LOCALAPPDATA");
    if (root.empty()) root = Environment("TEMP");
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
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(browser.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            return std::make_unique<AppWindow>(process.hProcess);
        }
        // A browser that will not start: the default browser may still do.
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", request.url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return std::make_unique<DefaultBrowser>();
    error = "Cannot open a web browser to show the e-book: " +
            SystemErrorText(static_cast<long>(GetLastError()));
    return nullptr;
}

void ShowViewerMessage(const std::string& title, const std::string& text, bool isError) {
    MessageBoxA(nullptr, text.c_str(), title.c_str(),
                MB_OK | MB_SETFOREGROUND | (isError ? MB_ICONSTOP : MB_ICONINFORMATION));
}

}  // namespace folivex
