// The command line of a console program, in UTF-8 both ways: its arguments
// and what it prints.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace folivex {

// The arguments after the program's name, as UTF-8. On POSIX they are argv;
// on Windows argv is in the ANSI code page, which cannot hold every name, so
// they are taken from the wide command line instead (argc and argv unused).
std::vector<std::string> CommandLineArgs(int argc, char** argv);

// While one lives, UTF-8 that the program prints on stdout and stderr shows
// correctly where they are a console. A Windows console shows narrow text in
// its own code page, so there the bytes are collected and written as UTF-16
// (WriteConsoleW), whole characters at a time; output redirected to a file
// or a pipe, and everything on POSIX, stays the bytes written. Create one at
// the start of main, before anything is printed; its end flushes stdout and
// stderr and shows all that is left. At most one at a time.
class Utf8Console {
public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

    struct Pump;  // the Windows part

private:
    std::unique_ptr<Pump> m_pump;
};

}  // namespace folivex
