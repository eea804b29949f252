// Text in the system code page: UTF-8 on POSIX, the ANSI code page on
// Windows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace folivex {

// Lower-casing in the system code page: Unicode-aware for UTF-8 on POSIX,
// the ANSI code page's own mapping on Windows. Bytes that are not valid UTF-8
// are kept as they are.
std::string ToLowerSystem(std::string_view text);
// True when ToLowerSystem(text) is text itself without a look at it: no
// capital ASCII letter and nothing beyond ASCII, as most file names are.
inline bool IsLowerAscii(std::string_view text) {
    for (const char c : text)
        if ((c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Case-insensitive equality by the same mapping.
bool EqualsNoCase(std::string_view a, std::string_view b);

// UTF-16LE code units (as stored in the wide string form) to the system code
// page. Unpaired surrogates become U+FFFD (or "?" where the code page has no
// such character).
std::string Utf16LeToSystem(std::span<const uint8_t> utf16le);

}  // namespace folivex
