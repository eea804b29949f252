// The commands of folivexc. Each takes the arguments after the command name
// and returns the process exit code: 0 success, 1 failure (the message-box
// text has gone to stderr), 2 wrong usage.
#pragma once

#include <string>
#include <vector>

namespace folivex::cli {

using Args = std::vector<std::string>;

// Project files (ProjectCommands.cpp).
int CmdNew(const Args& args);
int CmdRescan(const Args& args);
int CmdProjectInfo(const std::string& path, bool json);

// E-books (BookCommands.cpp).
int CmdBuild(const Args& args);
int CmdMake(const Args& args);
int CmdBookInfo(const std::string& path, bool json);
int CmdExtract(const Args& args);
int CmdVerify(const Args& args);

// Prints the usage text to stderr and returns 2.
int Usage(const std::string& problem);

}  // namespace folivex::cli
