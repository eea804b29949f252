// Placeholder until the e-book commands land.
#include "cli/Commands.h"

namespace folivex::cli {

int CmdBuild(const Args&) { return Usage("build is not available yet"); }
int CmdMake(const Args&) { return Usage("make is not available yet"); }
int CmdBookInfo(const std::string&, bool) { return Usage("not a project file"); }
int CmdExtract(const Args&) { return Usage("extract is not available yet"); }
int CmdVerify(const Args&) { return Usage("verify is not available yet"); }

}  // namespace folivex::cli
