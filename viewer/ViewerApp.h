// ViewerApp: what the viewer does from its arguments to its end, shared by
// the Windows stub and folivex-view. Open the book, serve it on the loopback
// interface, show it in a browser window, and end when the reader is done.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace folivex {

struct ViewerArgs {
    std::string bookPath;
    bool noBrowser = false;  // serve only (tests, headless use)
    std::string urlFile;     // with noBrowser: write the address here
    // The port to serve at when it is free (0: the book's own port, or any
    // free port with noBrowser). What the shell remembers in the browser
    // belongs to the address, so a book served headless at a fixed port
    // keeps it between runs.
    uint16_t port = 0;
};

// Parses the arguments after the program name: [BOOK] [--no-browser]
// [--url-file FILE] [--port PORT]. bookInArgs: the book is the one positional argument
// (folivex-view); otherwise the caller fills bookPath (the stub is its own
// book) and a positional argument is an error. Returns false with a reason
// in problem.
bool ParseViewerArgs(const std::vector<std::string>& args, bool bookInArgs, ViewerArgs& out,
                     std::string& problem);

// Runs the viewer and returns the process exit code: 0 after the reader
// closed the book, 1 when the book could not be opened or shown (the reason
// has been shown with ShowViewerMessage, titled appName).
int RunViewer(const ViewerArgs& args, const std::string& appName);

}  // namespace folivex
