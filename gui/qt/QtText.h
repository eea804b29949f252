// Conversions between the core's 8-bit strings and Qt's strings.
//
// The core keeps text in the system code page (UTF-8 on POSIX, the ANSI code
// page on Windows), which is what Qt calls the local 8-bit encoding.
#pragma once

#include <QString>
#include <string>

namespace folivex {

inline QString ToQString(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQString(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

}  // namespace folivex
