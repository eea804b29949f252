// The prompt seam: every message box, file picker and folder picker of the
// program, and the wait cursor, go through one Prompts object.
//
// The wizard implements it with Qt dialogs (app/QtPrompts), the command-line
// tool prints to the console (ConsolePrompts), and tests use ScriptedPrompts,
// which answers from a queue and records every request to the letter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace folivex {

enum class MsgButtons { OK, YesNo, YesNoCancel };
enum class MsgIcon { Exclamation, Stop, Question, Information };
enum class MsgResult { OK, Yes, No, Cancel };

// Flags of the file pickers, with the values the Windows dialogs give them.
// commdlg.h and shlobj.h define these names as macros with the same values;
// a Win32 file that includes them first uses those.
#ifndef OFN_HIDEREADONLY
enum FileDialogFlags : uint32_t {
    OFN_OVERWRITEPROMPT = 0x00000002,
    OFN_HIDEREADONLY = 0x00000004,
    OFN_PATHMUSTEXIST = 0x00000800,
    OFN_FILEMUSTEXIST = 0x00001000,
    OFN_EXPLORER = 0x00080000,
};
#endif

// Flags of the folder picker.
#ifndef BIF_RETURNONLYFSDIRS
enum FolderDialogFlags : uint32_t {
    BIF_RETURNONLYFSDIRS = 0x0001,
    BIF_EDITBOX = 0x0010,
    BIF_VALIDATE = 0x0020,
};
#endif

struct FileDialogRequest {
    bool save = false;        // save-style picker (else open-style)
    std::string initialName;  // file name or path the picker starts with
    std::string defaultExt;   // without the dot, e.g. "ebp"
    std::string filter;       // "Desc|*.x|All Files (*.*)|*.*||"
    uint32_t flags = 0;       // FileDialogFlags
};

struct FolderDialogRequest {
    std::string title;          // "Select an e-book project directory"
    std::string initialFolder;  // selected when the picker opens; may be empty
    uint32_t flags = 0;         // FolderDialogFlags
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal message box titled with the program's name. Returns the button
    // pressed (OK for an OK box).
    virtual MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;

    // A message with more to read on request (a "Details..." part where the
    // toolkit has one). By default the details follow the text in one box.
    virtual MsgResult ShowMessageWithDetails(const std::string& text, const std::string& details,
                                             MsgIcon icon) {
        return ShowMessage(details.empty() ? text : text + "\n\n" + details, MsgButtons::OK, icon);
    }

    // The full path chosen, or nothing when cancelled.
    virtual std::optional<std::string> PickFile(const FileDialogRequest& request) = 0;

    // The full folder path chosen, or nothing when cancelled or invalid. An
    // item that is not a file-system folder shows "Invalid folder has been
    // selected. Try Again" (OK, exclamation) through ShowMessage first.
    virtual std::optional<std::string> PickFolder(const FolderDialogRequest& request) = 0;

    // Shows (on) or takes down (off) the wait cursor. Calls nest.
    virtual void SetWaitCursor(bool on) = 0;
};

// Shows the wait cursor for the lifetime of the object, also when an
// exception unwinds.
class WaitCursor {
public:
    explicit WaitCursor(Prompts& prompts) : m_prompts(prompts) { m_prompts.SetWaitCursor(true); }
    ~WaitCursor() { m_prompts.SetWaitCursor(false); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Prompts& m_prompts;
};

}  // namespace folivex
