// folivex-view: shows a Folivex e-book on Linux.
//   folivex-view BOOK [--no-browser [--url-file FILE]]
#include <cstdio>
#include <string>
#include <vector>

#include "viewer/ViewerApp.h"

namespace {

constexpr const char* kUsage =
    "usage: folivex-view BOOK [--no-browser [--url-file FILE]]\n"
    "  Serves the e-book BOOK on 127.0.0.1 and opens it in Chromium or Chrome\n"
    "  (app mode), else in the default browser.\n"
    "  --no-browser      serve only; print the address (or write it to FILE)\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace folivex;
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
    return RunViewer(parsed, "folivex-view");
}
