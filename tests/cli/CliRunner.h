// Runs the built folivexc and captures what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace folivex::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline CliResult RunFolivexc(const std::vector<std::string>& args, const TempDir& scratch) {
    const std::string errFile = scratch / "stderr.txt";
    std::string command = ShellQuote(FOLIVEXC_PATH);
    for (const auto& a : args) command += " " + ShellQuote(a);
    command += " 2>" + ShellQuote(errFile);
    CliResult r;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const auto err = ReadFile(errFile);
    r.err.assign(err.begin(), err.end());
    return r;
}

}  // namespace folivex::test
