// QtSettingsStore: the per-user settings store (wizard/SettingsStore.h) in
// QSettings(NativeFormat, UserScope, "Tessaroke", <base name of the
// executable>), group "Options": the registry key
// HKEY_CURRENT_USER\Software\Tessaroke\<name>\Options on Windows,
// ~/.config/Tessaroke/<name>.conf on Linux.
#pragma once

#include <QSettings>

#include "wizard/SettingsStore.h"

namespace folivex {

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    // Writes what is not yet written.
    ~QtSettingsStore() override;

    std::string ReadString(const std::string& key, const std::string& fallback) override;
    void WriteString(const std::string& key, const std::string& value) override;

private:
    QSettings m_settings;
};

}  // namespace folivex
