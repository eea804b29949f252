#include "gui/qt/QtSettingsStore.h"

#include "gui/qt/QtPrompts.h"
#include "gui/qt/QtText.h"

namespace folivex {

QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope,
                 QString::fromLatin1(kSettingsCompany), ProgramBaseName()) {
    m_settings.beginGroup(QString::fromLatin1(kSettingsSection));
}

QtSettingsStore::~QtSettingsStore() {
    m_settings.sync();
}

std::string QtSettingsStore::ReadString(const std::string& key, const std::string& fallback) {
    const QString name = ToQString(key);
    if (!m_settings.contains(name)) return fallback;
    return FromQString(m_settings.value(name).toString());
}

void QtSettingsStore::WriteString(const std::string& key, const std::string& value) {
    m_settings.setValue(ToQString(key), ToQString(value));
}

}  // namespace folivex
