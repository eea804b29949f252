// folivex-view: shows a Folivex e-book on Linux.
//   folivex-view BOOK [--no-browser [--url-file FILE]] [--port PORT]
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/HeapTuning.h"
#include "viewer/ViewerApp.h"

namespace {

constexpr const char* kUsage =
    "usage: folivex-view BOOK [--no-browser [--url-file FILE]] [--port PORT]\n"
    "  Serves the e-book BOOK on 127.0.0.1 and opens it in Chromium or Chrome\n"
    "  (app mode), else in the default browser.\n"
    "  --no-browser      serve only; print the address (or write it to FILE)\n"
    "  --port PORT       serve at PORT when it is free (the browser keeps what\n"
    "                    the viewer remembers per address)\n";

// The book's port and what the browser remembers for it are made from its
// path, so the same file must give the same path from any folder.
std::string Absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    std::vector<char> cwd(4096);
    if (!getcwd(cwd.data(), cwd.size())) return path;
    return std::string(cwd.data()) + "/" + path;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace folivex;
    TuneHeap(argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    ViewerArgs parsed;
    std::string problem;
    if (!ParseViewerArgs(args, true, parsed, problem)) {
        std::fprintf(stderr, "folivex-view: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    parsed.bookPath = Absolute(parsed.bookPath);
    return RunViewer(parsed, "folivex-view");
}
