#include "platform/ScriptedPrompts.h"

namespace folivex {

MsgResult ScriptedPrompts::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    messages.push_back({text, buttons, icon});
    if (!m_messageAnswers.empty()) {
        const MsgResult r = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return r;
    }
    return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
}

std::optional<std::string> ScriptedPrompts::PickFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (m_fileAnswers.empty()) return std::nullopt;
    auto r = std::move(m_fileAnswers.front());
    m_fileAnswers.pop_front();
    return r;
}

std::optional<std::string> ScriptedPrompts::PickFolder(const FolderDialogRequest& request) {
    folderRequests.push_back(request);
    if (m_folderAnswers.empty()) return std::nullopt;
    auto r = std::move(m_folderAnswers.front());
    m_folderAnswers.pop_front();
    return r;
}

void ScriptedPrompts::SetWaitCursor(bool on) {
    if (on) {
        ++waitDepth;
        ++waitCursorShows;
    } else if (waitDepth > 0) {
        --waitDepth;
    }
}

}  // namespace folivex
