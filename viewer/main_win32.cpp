// The Windows viewer stub: the program every e-book runs as. Its book is its
// own file: the archive appended after the stub's last byte.
//   BOOK.exe [--no-browser [--url-file FILE]] [--port PORT]
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Console.h"
#include "platform/Path.h"
#include "platform/Wide.h"
#include "viewer/Launcher.h"
#include "viewer/ViewerApp.h"

// The stub is copied into every book, so it stays small: the library's
// default handler for an uncaught exception demangles type names for a
// console the stub does not have, and pulls in a demangler and a printf
// implementation (over 100 KB). Ending at once is all a GUI program can do.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace folivex;
    // The book is this program's own file, wherever it is and whatever
    // characters its path holds.
    std::wstring module(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
        if (n == 0) return 1;
        if (n < module.size()) {
            module.resize(n);
            break;
        }
        if (module.size() >= 32768) return 1;  // the longest path Windows has
        module.resize(module.size() * 2);
    }
    ViewerArgs args;
    args.bookPath = Narrow(module);
    const std::string appName = BaseNameWithoutExtension(args.bookPath);

    const std::vector<std::string> argv = CommandLineArgs(__argc, __argv);
    std::string problem;
    if (!ParseViewerArgs(argv, false, args, problem)) {
        ShowViewerMessage(
            appName,
            problem + "\nUsage: " + appName + " [--no-browser [--url-file FILE]] [--port PORT]",
            true);
        return 2;
    }
    return RunViewer(args, appName);
}
