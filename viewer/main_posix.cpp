// folivex-view: shows a Folivex e-book on Linux.
//   folivex-view BOOK [--no-browser [--url-file FILE]]
#include <cstdio>
#include <string>
#include <vector>

#include "viewer/ViewerApp.h"

int main(int argc, char** argv) {
    using namespace folivex;
    const std::vector<std::string> args(argv + 1, argv + argc);
    ViewerArgs parsed;
    std::string problem;
    if (!ParseViewerArgs(args, true, parsed, problem)) {
        std::fprintf(stderr,
                     "folivex-view: %s\n"
                     "usage: folivex-view BOOK [--no-browser [--url-file FILE]]\n",
                     problem.c_str());
        return 2;
    }
    return RunViewer(parsed, "folivex-view");
}
