// Launcher on Linux: Chromium or Chrome in app mode, else xdg-open.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "viewer/Launcher.h"

extern char** environ;

namespace folivex {

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string FindOnPath(const std::string& name) {
    const std::string path = Environment("PATH");
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string candidate = end > start ? path.substr(start, end - start) : ".";
        candidate += '/';
        candidate += name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

std::string FindAppModeBrowser() {
    for (const char* name :
         {"chromium", "chromium-browser", "google-chrome", "google-chrome-stable"}) {
        std::string path = FindOnPath(name);
        if (!path.empty()) return path;
    }
    return {};
}

void CreateFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
    }
}

// Starts program with args, its output thrown away (browsers are chatty).
pid_t Spawn(const std::vector<std::string>& argv, int& error) {
    std::vector<char*> raw;
    raw.reserve(argv.size() + 1);
    for (const auto& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    error = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

class AppWindow final : public BrowserWindow {
public:
    explicit AppWindow(pid_t pid) : m_pid(pid) {}
    bool Tracked() const override { return true; }
    void WaitUntilClosed() override {
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }

private:
    pid_t m_pid;
};

class DefaultBrowser final : public BrowserWindow {
public:
    bool Tracked() const override { return false; }
    void WaitUntilClosed() override {}
};

}  // namespace

std::string BrowserProfileFolder(const std::string& bookPath) {
    std::string root = Environment("XDG_CACHE_HOME");
    if (root.empty()) root = Environment("HOME").empty() ? "/tmp" : Environment("HOME") + "/.cache";
    std::string folder = root + "/folivex/viewer/" + BrowserProfileName(bookPath);
    CreateFolders(folder);
    return folder;
}

std::unique_ptr<BrowserWindow> OpenBrowser(const LaunchRequest& request, std::string& error) {
    if (Environment("DISPLAY").empty() && Environment("WAYLAND_DISPLAY").empty()) {
        error = "There is no display to show the e-book on. Use --no-browser to serve it only.";
        return nullptr;
    }
    int spawnError = 0;
    const std::string browser = FindAppModeBrowser();
    if (!browser.empty()) {
        std::vector<std::string> argv{browser, "--app=" + request.url,
                                      "--user-data-dir=" + BrowserProfileFolder(request.bookPath),
                                      "--no-first-run", "--no-default-browser-check"};
        if (request.start == WindowStart::fullScreen) argv.push_back("--start-fullscreen");
        if (request.start == WindowStart::maximized) argv.push_back("--start-maximized");
        // Chromium refuses to run as root with its sandbox on.
        if (geteuid() == 0) argv.push_back("--no-sandbox");
        const pid_t pid = Spawn(argv, spawnError);
        if (pid > 0) return std::make_unique<AppWindow>(pid);
    }
    const std::string opener = FindOnPath("xdg-open");
    if (!opener.empty()) {
        const pid_t pid = Spawn({opener, request.url}, spawnError);
        if (pid > 0) {
            // xdg-open may wait for the browser it starts; reap it whenever.
            std::thread([pid] {
                int status = 0;
                while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
            return std::make_unique<DefaultBrowser>();
        }
    }
    error =
        "Cannot open a web browser to show the e-book: found neither Chromium, Chrome nor xdg-open";
    if (spawnError) error += std::string(" (") + std::strerror(spawnError) + ")";
    error += ". Use --no-browser to serve it only.";
    return nullptr;
}

void ShowViewerMessage(const std::string& title, const std::string& text, bool) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

}  // namespace folivex
