// The nine remembered values of the per-user settings store.
//
// The store is QSettings(NativeFormat, UserScope, "Tessaroke", <base name of
// the executable>), group "Options": the registry key
// HKEY_CURRENT_USER\Software\Tessaroke\<name>\Options on Windows,
// ~/.config/Tessaroke/<name>.conf on Linux. Every value is a string.
#pragma once

#include <QSettings>
#include <memory>

namespace folivex {

class CBookApp;

// The program's own settings store.
std::unique_ptr<QSettings> OpenSettingsStore();

// Reads the five remembered paths (empty by default) and the author details
// into the project: "LastAuthor" defaults to "*Your Name*", "LastCopyright" to
// "Copyright (C) <this year> *your company name*", "LastUrl" and "LastEMail"
// to placeholders. A value that exists but is empty reads as empty; only a
// missing one gets its default. Read failures give the default.
void LoadRememberedSettings(CBookApp& app, QSettings& store);

// Writes all nine values, changed or not, empty or not. Write failures are
// ignored.
void StoreRememberedSettings(const CBookApp& app, QSettings& store);

}  // namespace folivex
