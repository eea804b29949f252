// Names as the programs compare them, and UTF-16 text read from files.
//
// Inside the programs every text is UTF-8. Names (page paths, file names)
// are compared without regard to case by one rule on every system: Unicode's
// simple lower-case mapping (one code point to one, as UnicodeData.txt gives
// it), from a table generated once by tools/make_case_table.py
// (LowerCaseTable.inc). A Linux-built book and its Windows viewer therefore
// agree on which names are the same.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace folivex {

// text lower-cased by the rule above; the result is always UTF-8. Text that
// is not valid UTF-8 (a name stored by older tools in the ANSI code page) is
// read as Windows-1252 first, as every stored text is. ASCII letters are
// lowered in place without decoding, so ASCII names cost no more than a copy.
std::string ToLowerSystem(std::string_view text);
// True when ToLowerSystem(text) is text itself without a look at it: no
// capital ASCII letter and nothing beyond ASCII, as most file names are.
inline bool IsLowerAscii(std::string_view text) {
    for (const char c : text)
        if ((c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The simple lower-case mapping of one code point (itself when it has none).
char32_t ToLowerCodePoint(char32_t cp);

// True when a and b are equal after ToLowerSystem.
bool EqualsNoCase(std::string_view a, std::string_view b);

// UTF-16LE code units (as stored in the wide string form) to UTF-8.
// Unpaired surrogates become U+FFFD; an odd last byte is ignored.
std::string Utf16LeToUtf8(std::span<const uint8_t> utf16le);

}  // namespace folivex
