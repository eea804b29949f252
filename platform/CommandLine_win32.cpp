// The arguments of a Windows program, taken from the wide command line (its
// own file, so that the viewer stub links no more than it uses).
#include <windows.h>
#include <shellapi.h>

#include "platform/Console.h"
#include "platform/Wide.h"

namespace folivex {

std::vector<std::string> CommandLineArgs(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return args;
    for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace folivex
