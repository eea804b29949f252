// The command line on POSIX: arguments and output are UTF-8 bytes already.
#include "platform/Console.h"

namespace folivex {

struct Utf8Console::Pump {};

std::vector<std::string> CommandLineArgs(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

}  // namespace folivex
