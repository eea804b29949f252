// QtProgramLauncher: starts the help program and built e-books as
// independent processes (ProgramLauncher of wizard/ProgramLauncher.h).
//
// On Windows every program is started directly. Elsewhere a Folivex e-book
// (a file that ends in the archive trailer) is a Windows executable, so it is
// opened with folivex-view instead; any other executable file is started
// directly.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "wizard/ProgramLauncher.h"

namespace folivex {

// The Linux viewer: "folivex-view" beside the running executable, else the
// one found along PATH; empty when there is none.
QString FindBookViewer();

// True when the file at path ends in the archive trailer of an e-book.
bool LooksLikeEBook(const QString& path);

class QtProgramLauncher : public ProgramLauncher {
public:
    bool IsFile(const std::string& path) const override;
    std::optional<std::string> Start(const std::string& path) override;
};

}  // namespace folivex
