// The per-user settings store: where the wizard keeps its remembered values
// between runs (wizard/RememberedSettings.h says which).
//
// A store is the section "Options" of the program's key under the company
// key "Tessaroke": the registry key
// HKEY_CURRENT_USER\Software\Tessaroke\<base name of the executable>\Options
// on Windows, and the same names in the Qt store elsewhere
// (gui/qt/QtSettingsStore.h). Every value is a string, UTF-8 here.
#pragma once

#include <string>

namespace folivex {

inline constexpr const char* kSettingsCompany = "Tessaroke";
inline constexpr const char* kSettingsSection = "Options";

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The value stored under key; fallback when there is none (a value that
    // exists but is empty reads as empty) or when the store cannot be read.
    virtual std::string ReadString(const std::string& key, const std::string& fallback) = 0;
    // Stores value under key, creating the keys on the way. Failures are
    // ignored.
    virtual void WriteString(const std::string& key, const std::string& value) = 0;
};

}  // namespace folivex
