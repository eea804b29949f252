// Runs the built folivexc and captures what it printed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace folivex::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs program (a folivexc) with args, the command prefixed by asUser.
inline CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const TempDir& scratch, const std::string& asUser = "") {
    const std::string errFile = scratch / "stderr.txt";
    std::string command = asUser + ShellQuote(program);
    for (const auto& a : args) command += " " + ShellQuote(a);
    command += " 2>" + ShellQuote(errFile);
    CliResult r;
    r.exitCode = RunCommand(command, r.out);
    const auto err = ReadFile(errFile);
    r.err.assign(err.begin(), err.end());
    return r;
}

inline CliResult RunFolivexc(const std::vector<std::string>& args, const TempDir& scratch) {
    return RunProgram(FOLIVEXC_PATH, args, scratch);
}

// Runs folivexc as the ordinary user (TempDir.h), from a copy in scratch
// that the user can reach; nothing when root has no way to change user.
inline std::optional<CliResult> RunFolivexcAsOrdinaryUser(const std::vector<std::string>& args,
                                                          const TempDir& scratch) {
    const std::optional<std::string> prefix = OrdinaryUserPrefix();
    if (!prefix) return std::nullopt;
    const std::string program =
        prefix->empty() ? std::string(FOLIVEXC_PATH) : ReachableCopy(FOLIVEXC_PATH, scratch);
    return RunProgram(program, args, scratch, *prefix);
}

}  // namespace folivex::test
