#include "wizard/RememberedSettings.h"

#include "platform/Utf8.h"
#include "project/BookApp.h"
#include "project/Defaults.h"
#include "wizard/SettingsStore.h"

namespace folivex {

void LoadRememberedSettings(CBookApp& app, SettingsStore& store) {
    app.lastProjectDir = store.ReadString("LastProject", "");
    app.lastProjectFile = store.ReadString("LastProjectFile", "");
    app.lastIconFile = store.ReadString("LastIcon", "");
    app.lastSplashFile = store.ReadString("LastSplash", "");
    app.lastEBookFile = store.ReadString("LastEBook", "");
    app.project.author = store.ReadString("LastAuthor", kDefaultAuthor);
    // Composed at every start, so a missing value carries this year.
    app.project.copyright = store.ReadString("LastCopyright", DefaultCopyright());
    app.project.url = store.ReadString("LastUrl", kDefaultUrl);
    app.project.email = store.ReadString("LastEMail", kDefaultEmail);
}

void StoreRememberedSettings(const CBookApp& app, SettingsStore& store) {
    const auto write = [&store](const char* key, const std::string& value) {
        store.WriteString(key, ToUtf8(value));
    };
    write("LastProject", app.lastProjectDir);
    write("LastProjectFile", app.lastProjectFile);
    write("LastIcon", app.lastIconFile);
    write("LastSplash", app.lastSplashFile);
    write("LastEBook", app.lastEBookFile);
    write("LastAuthor", app.project.author);
    write("LastCopyright", app.project.copyright);
    write("LastUrl", app.project.url);
    write("LastEMail", app.project.email);
}

}  // namespace folivex
