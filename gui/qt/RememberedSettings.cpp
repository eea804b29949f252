#include "gui/qt/RememberedSettings.h"

#include <string>

#include "gui/qt/QtPrompts.h"
#include "gui/qt/QtText.h"
#include "project/BookApp.h"
#include "project/Defaults.h"

namespace folivex {

namespace {

const QString kSection = QStringLiteral("Options");

std::string ReadString(QSettings& store, const char* key, const std::string& fallback) {
    const QString name = QString::fromLatin1(key);
    if (!store.contains(name)) return fallback;
    return FromQString(store.value(name).toString());
}

void WriteString(QSettings& store, const char* key, const std::string& value) {
    store.setValue(QString::fromLatin1(key), ToQString(value));
}

}  // namespace

std::unique_ptr<QSettings> OpenSettingsStore() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Tessaroke"), ProgramBaseName());
}

void LoadRememberedSettings(CBookApp& app, QSettings& store) {
    store.beginGroup(kSection);
    app.lastProjectDir = ReadString(store, "LastProject", "");
    app.lastProjectFile = ReadString(store, "LastProjectFile", "");
    app.lastIconFile = ReadString(store, "LastIcon", "");
    app.lastSplashFile = ReadString(store, "LastSplash", "");
    app.lastEBookFile = ReadString(store, "LastEBook", "");
    app.project.author = ReadString(store, "LastAuthor", kDefaultAuthor);
    // Composed at every start, so a missing value carries this year.
    app.project.copyright = ReadString(store, "LastCopyright", DefaultCopyright());
    app.project.url = ReadString(store, "LastUrl", kDefaultUrl);
    app.project.email = ReadString(store, "LastEMail", kDefaultEmail);
    store.endGroup();
}

void StoreRememberedSettings(const CBookApp& app, QSettings& store) {
    store.beginGroup(kSection);
    WriteString(store, "LastProject", app.lastProjectDir);
    WriteString(store, "LastProjectFile", app.lastProjectFile);
    WriteString(store, "LastIcon", app.lastIconFile);
    WriteString(store, "LastSplash", app.lastSplashFile);
    WriteString(store, "LastEBook", app.lastEBookFile);
    WriteString(store, "LastAuthor", app.project.author);
    WriteString(store, "LastCopyright", app.project.copyright);
    WriteString(store, "LastUrl", app.project.url);
    WriteString(store, "LastEMail", app.project.email);
    store.endGroup();
    store.sync();
}

}  // namespace folivex
