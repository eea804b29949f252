#include "cli/ConsolePrompts.h"

#include <cstdio>

namespace folivex::cli {

MsgResult ConsolePrompts::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    if (m_before) m_before();
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    if (icon == MsgIcon::Stop) m_errorShown = true;
    switch (buttons) {
        case MsgButtons::OK: return MsgResult::OK;
        case MsgButtons::YesNo: return MsgResult::No;
        case MsgButtons::YesNoCancel: return MsgResult::Cancel;
    }
    return MsgResult::Cancel;
}

std::optional<std::string> ConsolePrompts::PickFile(const FileDialogRequest&) {
    return std::nullopt;
}

std::optional<std::string> ConsolePrompts::PickFolder(const FolderDialogRequest&) {
    return std::nullopt;
}

}  // namespace folivex::cli
