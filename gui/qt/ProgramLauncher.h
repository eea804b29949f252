// Starting the help program and built e-books as independent processes.
//
// The program neither waits for what it starts nor keeps track of it. On
// Windows every program is started directly. Elsewhere a Folivex e-book (a
// file that ends in the archive trailer's word 0x474B, bytes 4B 47) is a
// Windows executable, so it is opened with folivex-view instead; any other
// executable file is started directly.
#pragma once

#include <QString>
#include <optional>
#include <string>

namespace folivex {

// The Linux viewer: "folivex-view" beside the running executable, else the
// one found along PATH; empty when there is none.
QString FindBookViewer();

// True when the file at path ends in the archive trailer of an e-book.
bool LooksLikeEBook(const QString& path);

// Starts path (relative to the current working directory when not
// absolute). Returns nothing on success, else the system's text for the
// error ("No such file or directory", "Permission denied", ...).
std::optional<std::string> StartDetachedProgram(const QString& path);

}  // namespace folivex
