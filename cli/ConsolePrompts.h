// Prompts for the command line: every message text goes to stderr, nothing
// ever waits for an answer, and pickers are cancelled.
#pragma once

#include <functional>
#include <utility>

#include "platform/Prompts.h"

namespace folivex::cli {

class ConsolePrompts : public Prompts {
public:
    // Prints text and a line break to stderr. An OK box answers OK; a
    // question answers No (or Cancel when it offers Cancel), the choice
    // that changes nothing.
    MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    // Cancelled: the command line names every file it needs.
    std::optional<std::string> PickFile(const FileDialogRequest& request) override;
    std::optional<std::string> PickFolder(const FolderDialogRequest& request) override;
    void SetWaitCursor(bool) override {}

    // Called before each message is printed (a progress line erases itself).
    void SetBeforeMessage(std::function<void()> before) { m_before = std::move(before); }

    // True once a message with the stop icon (an error) was shown.
    bool ErrorShown() const { return m_errorShown; }

private:
    bool m_errorShown = false;
    std::function<void()> m_before;
};

}  // namespace folivex::cli
