// Launcher: puts the served book in front of the reader, in a browser window.
//
// Where a Chromium-family browser is installed (Edge or Chrome on Windows;
// Chromium or Chrome on Linux) the book opens in an app-mode window (no tabs,
// no address bar) in a browser process started for it, with a profile folder
// of the viewer's own, so the viewer can tell when the reader closes it.
// Otherwise the system's default browser opens the address; the viewer then
// learns that the reader has gone from the page no longer calling in.
// Implemented in Launcher_win32.cpp and Launcher_posix.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace folivex {

enum class WindowStart { normal, maximized, fullScreen };

struct LaunchRequest {
    std::string url;
    // Names the profile folder: each book keeps its own browser settings.
    std::string bookPath;
    WindowStart start = WindowStart::maximized;
};

// A browser showing the book.
class BrowserWindow {
public:
    virtual ~BrowserWindow() = default;
    // True for an app-mode window in a browser process the viewer started
    // (WaitUntilClosed tells when it ends); false for the default browser.
    virtual bool Tracked() const = 0;
    // Blocks until the browser process ends. Returns at once when not
    // Tracked(). Safe to call from another thread than the launching one.
    virtual void WaitUntilClosed() = 0;
};

// Opens request.url as described above. Returns nullptr with a text for the
// reader in error when no browser could be started.
std::unique_ptr<BrowserWindow> OpenBrowser(const LaunchRequest& request, std::string& error);

// Tells the reader something: a message box on Windows (title as its
// caption; stop icon for errors, information icon otherwise), standard
// error on Linux.
void ShowViewerMessage(const std::string& title, const std::string& text, bool isError);

// The profile folder for a book: under the user's local application data
// (Windows) or cache folder (Linux), one per book file, created on demand.
std::string BrowserProfileFolder(const std::string& bookPath);
// The folder's own name: the book's base name and a hash of its full path.
std::string BrowserProfileName(const std::string& bookPath);
// The port a book is served at when it is free: the same for a book file on
// every run, so the browser keeps what the book's pages stored (font size).
uint16_t PreferredPort(const std::string& bookPath);

}  // namespace folivex
