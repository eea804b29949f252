// Conversions between the core's 8-bit strings and Qt's strings: the one
// pair every widget, picker, message box and the settings store go through.
//
// The core keeps text as UTF-8. Texts and paths from project files made by
// older tools on Windows are 8-bit text of the ANSI code page instead; a
// text that is not valid UTF-8 is shown decoded as Windows-1252, the way the
// viewer and folivexc show it. (Whether such a text goes back unchanged is
// the controllers' business: wizard/ShownTexts.h.)
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

#include "platform/Utf8.h"

namespace folivex {

inline QString ToQString(std::string_view text) {
    if (IsValidUtf8(text))
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const std::string utf8 = Windows1252ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

}  // namespace folivex
