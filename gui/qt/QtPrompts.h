// QtPrompts: the prompt seam realised with Qt dialogs.
//
// Message boxes and pickers carry the program's name as their title (the
// base name of the executable without its extension) and are owned by the
// active window. Filters in the "Desc|*.x|All Files (*.*)|*.*||" form are
// converted to Qt's name filters; "*.*" matches every file, also one without
// a dot. A file picker asked for an existing folder (OFN_PATHMUSTEXIST) does
// not return a file in a folder that does not exist: it says so and stays
// open; one asked for an existing file (OFN_FILEMUSTEXIST) takes existing
// files only.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

#include "platform/Prompts.h"

namespace folivex {

// Base name of the running executable without its extension ("folivex").
QString ProgramBaseName();

// "A|a|B|b||" -> {"A (a)", "B (b)"}; several patterns ("*.htm;*.html") are
// kept, separated by blanks; "*.*" becomes "*".
QStringList ConvertFilter(const std::string& filter);

class QtPrompts : public Prompts {
public:
    MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    MsgResult ShowMessageWithDetails(const std::string& text, const std::string& details,
                                     MsgIcon icon) override;
    std::optional<std::string> PickFile(const FileDialogRequest& request) override;
    std::optional<std::string> PickFolder(const FolderDialogRequest& request) override;
    void SetWaitCursor(bool on) override;

private:
    static MsgResult ShowBox(const std::string& text, const std::string& details,
                             MsgButtons buttons, MsgIcon icon);
};

}  // namespace folivex
