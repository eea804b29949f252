// Prompts for tests: answers come from queues, and every request is recorded
// as it was asked. An unanswered message box gets OK (or Cancel when it has no
// OK button); an unanswered picker is cancelled.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Prompts.h"

namespace folivex {

class ScriptedPrompts : public Prompts {
public:
    struct Message {
        std::string text;
        MsgButtons buttons;
        MsgIcon icon;
    };

    // Queue answers.
    void AnswerMessage(MsgResult r) { m_messageAnswers.push_back(r); }
    void AnswerFile(std::optional<std::string> path) { m_fileAnswers.push_back(std::move(path)); }
    void AnswerFolder(std::optional<std::string> path) {
        m_folderAnswers.push_back(std::move(path));
    }

    MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    std::optional<std::string> PickFile(const FileDialogRequest& request) override;
    std::optional<std::string> PickFolder(const FolderDialogRequest& request) override;
    void SetWaitCursor(bool on) override;

    // What was asked, in order.
    std::vector<Message> messages;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<FolderDialogRequest> folderRequests;
    int waitDepth = 0;        // current nesting of the wait cursor
    int waitCursorShows = 0;  // how often it was turned on

private:
    std::deque<MsgResult> m_messageAnswers;
    std::deque<std::optional<std::string>> m_fileAnswers;
    std::deque<std::optional<std::string>> m_folderAnswers;
};

}  // namespace folivex
