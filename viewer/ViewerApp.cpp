#include "viewer/ViewerApp.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "viewer/BookReader.h"
#include "viewer/Launcher.h"
#include "viewer/server/HttpServer.h"

namespace folivex {

namespace {

// How long the page may stay silent before the viewer takes it as closed.
// Browsers call a hidden page's timers as seldom as once a minute, so this
// leaves room for a minimised window.
constexpr int kHeartbeatIdleSeconds = 150;
// A browser process that ends this soon has handed the window to a browser
// already running on the same profile; the window is still open.
constexpr auto kHandOffTime = std::chrono::seconds(5);

// Writes the address through a temporary file, so that whoever waits for the
// file never reads half of it.
void WriteUrlFile(const std::string& path, const std::string& url) {
    const std::string temp = path + ".tmp";
    {
        CFile file(temp, CFile::modeCreate | CFile::modeWrite);
        const std::string line = url + "\n";
        file.Write(line.data(), line.size());
        file.Close();
    }
    CFile::Rename(temp, path);
}

WindowStart StartFromSettings(const BookSettings& settings) {
    if (settings.startFullScreen) return WindowStart::fullScreen;
    if (settings.startMaximized) return WindowStart::maximized;
    return WindowStart::normal;
}

// Ends the server when the browser process ends, unless the server has gone
// first. The watcher may still be waiting when the viewer returns (the page
// asked to exit); it is detached then and ends with the process.
class BrowserWatch {
public:
    BrowserWatch(std::unique_ptr<BrowserWindow> window, HttpServer& server)
        : m_state(std::make_shared<State>()) {
        m_state->server = &server;
        std::thread([state = m_state, w = std::move(window)] {
            const auto started = std::chrono::steady_clock::now();
            w->WaitUntilClosed();
            if (std::chrono::steady_clock::now() - started < kHandOffTime) return;
            std::lock_guard lock(state->mutex);
            if (state->server) state->server->Stop();
        }).detach();
    }
    ~BrowserWatch() {
        std::lock_guard lock(m_state->mutex);
        m_state->server = nullptr;
    }
    BrowserWatch(const BrowserWatch&) = delete;
    BrowserWatch& operator=(const BrowserWatch&) = delete;

private:
    struct State {
        std::mutex mutex;
        HttpServer* server = nullptr;
    };
    std::shared_ptr<State> m_state;
};

int Serve(const ViewerArgs& args, const BookReader& book, const std::string& appName) {
    HttpServerOptions options;
    // A reader's window comes back to the same address; tests and headless
    // use take any free port unless they name one.
    if (!args.noBrowser) options.preferredPort = PreferredPort(book.Path());
    if (args.port) options.preferredPort = args.port;
    HttpServer server(book, options);
    if (auto icon = book.IconFile()) server.SetIconFile(std::move(*icon));
    std::string error;
    if (!server.Start(error)) {
        ShowViewerMessage(appName, error, true);
        return 1;
    }

    if (args.noBrowser) {
        if (args.urlFile.empty()) {
            std::fputs((server.Url() + "\n").c_str(), stdout);
            std::fflush(stdout);
        } else {
            try {
                WriteUrlFile(args.urlFile, server.Url());
            } catch (const CException& e) {
                ShowViewerMessage(appName, "Cannot write the address. " + e.Description(), true);
                return 1;
            }
        }
        server.Run();
        return 0;
    }

    LaunchRequest request{server.Url(), book.Path(), StartFromSettings(book.Settings())};
    auto window = OpenBrowser(request, error);
    if (!window) {
        ShowViewerMessage(appName, error, true);
        return 1;
    }
    // The heartbeat ends the viewer when there is no browser process to
    // watch (default browser, or a window handed to a running browser), and
    // is the fallback should a watched browser outlive its window.
    server.EnableHeartbeatExit(kHeartbeatIdleSeconds);
    std::unique_ptr<BrowserWatch> watch;
    if (window->Tracked()) watch = std::make_unique<BrowserWatch>(std::move(window), server);
    server.Run();
    return 0;
}

bool ParsePort(const std::string& text, uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

}  // namespace

bool ParseViewerArgs(const std::vector<std::string>& args, bool bookInArgs, ViewerArgs& out,
                     std::string& problem) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--no-browser") {
            out.noBrowser = true;
        } else if (a == "--url-file") {
            if (i + 1 >= args.size()) {
                problem = "--url-file needs a file name";
                return false;
            }
            out.urlFile = args[++i];
        } else if (a == "--port") {
            if (i + 1 >= args.size() || !ParsePort(args[i + 1], out.port)) {
                problem = "--port needs a number from 1 to 65535";
                return false;
            }
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            problem = "unknown option " + a;
            return false;
        } else if (bookInArgs && out.bookPath.empty()) {
            out.bookPath = a;
        } else {
            problem = "unexpected argument " + a;
            return false;
        }
    }
    if (bookInArgs && out.bookPath.empty()) {
        problem = "no e-book given";
        return false;
    }
    if (!out.urlFile.empty() && !out.noBrowser) {
        problem = "--url-file goes with --no-browser";
        return false;
    }
    return true;
}

int RunViewer(const ViewerArgs& args, const std::string& appName) {
    std::unique_ptr<BookReader> book;
    try {
        book = BookReader::Open(args.bookPath);
    } catch (const BookError& e) {
        ShowViewerMessage(appName, e.what(), true);
        return 1;
    }
    return Serve(args, *book, appName);
}

}  // namespace folivex
