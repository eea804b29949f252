// Starting other programs: the help program and built e-books.
//
// The wizard neither waits for what it starts nor keeps track of it. How a
// program is started is the platform's (gui/qt/QtProgramLauncher.h: on
// Linux an e-book, a Windows program, opens in folivex-view).
#pragma once

#include <optional>
#include <string>

namespace folivex {

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;

    // True when path names a file (not a folder).
    virtual bool IsFile(const std::string& path) const = 0;
    // Starts path (relative to the current working directory when not
    // absolute) as an independent process. Nothing on success, else the
    // system's text for the error ("No such file or directory", ...).
    virtual std::optional<std::string> Start(const std::string& path) = 0;
};

}  // namespace folivex
