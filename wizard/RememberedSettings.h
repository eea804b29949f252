// The nine remembered values of the settings store (wizard/SettingsStore.h).
//
// In this order: "LastProject", "LastProjectFile", "LastIcon", "LastSplash"
// and "LastEBook", the five paths that seed the pickers (lastProjectDir ...
// lastEBookFile of CBookApp, empty by default); then "LastAuthor",
// "LastCopyright", "LastUrl" and "LastEMail", the author details that go
// straight into the project ("*Your Name*", "Copyright (C) <this year> *your
// company name*" and two placeholders by default). Only a missing value gets
// its default; an empty one reads as empty.
#pragma once

namespace folivex {

class CBookApp;
class SettingsStore;

// Reads the nine values in order into app; the copyright default is made
// with the year of this run.
void LoadRememberedSettings(CBookApp& app, SettingsStore& store);

// Writes all nine values in order, changed or not, empty or not. A value
// that is not valid UTF-8 (made on Windows) is stored as the text it is,
// decoded as Windows-1252.
void StoreRememberedSettings(const CBookApp& app, SettingsStore& store);

}  // namespace folivex
