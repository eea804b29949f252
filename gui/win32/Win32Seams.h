// The Win32 wizard's seams: message boxes and pickers (Win32Prompts), the
// remembered settings in the registry (RegistrySettingsStore) and starting
// programs (Win32ProgramLauncher).
#pragma once

#include <optional>
#include <string>

#include "platform/Prompts.h"
#include "wizard/ProgramLauncher.h"
#include "wizard/SettingsStore.h"

namespace folivex {

// The base name of the running program's file, without its extension:
// "folivex" for folivex.exe. Message boxes carry it as their title, and the
// settings live under it.
std::string ProgramBaseName();
// The folder of the running program's file.
std::string ProgramFolder();

// MessageBoxW, GetOpenFileNameW / GetSaveFileNameW and SHBrowseForFolderW,
// owned by the active window of the program.
class Win32Prompts : public Prompts {
public:
    MsgResult ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    std::optional<std::string> PickFile(const FileDialogRequest& request) override;
    std::optional<std::string> PickFolder(const FolderDialogRequest& request) override;
    void SetWaitCursor(bool on) override;

private:
    int m_waitDepth = 0;
};

// The string values of HKEY_CURRENT_USER\Software\Tessaroke\<program>\Options.
// Keys are opened at each call and made only by a write.
class RegistrySettingsStore : public SettingsStore {
public:
    explicit RegistrySettingsStore(const std::string& program);

    std::string ReadString(const std::string& key, const std::string& fallback) override;
    void WriteString(const std::string& key, const std::string& value) override;

    // The key under HKEY_CURRENT_USER, with "\" between its parts.
    const std::string& KeyPath() const { return m_keyPath; }

private:
    std::string m_keyPath;
};

// CreateProcessW with no command line, no inherited handles, the program's
// environment and current folder; nothing waits for it.
class Win32ProgramLauncher : public ProgramLauncher {
public:
    bool IsFile(const std::string& path) const override;
    std::optional<std::string> Start(const std::string& path) override;
};

}  // namespace folivex
