// Text as the viewer reads it from a book: the book's texts and pages are
// 8-bit text of unknown code page. We take them as UTF-8 when they are valid
// UTF-8 and as Windows-1252 otherwise, and hand UTF-8 to the browser.
// Also: the word rules and case folding the search uses, and HTML character
// references.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Utf8.h"

namespace folivex::text {

// The conversions between UTF-8 and Windows-1252 live in the platform layer.
using folivex::AppendUtf8;
using folivex::IsValidUtf8;
using folivex::NextCodePoint;
using folivex::ToUtf8;
using folivex::Utf8ToWindows1252;
using folivex::Windows1252CodePoint;
using folivex::Windows1252ToUtf8;

// bytes without an incomplete UTF-8 sequence at their very end (for text
// cut at an arbitrary byte).
std::string_view TrimPartialUtf8(std::string_view bytes);

// Simple lower-case mapping for Latin, Greek (final sigma folds to sigma),
// Cyrillic, Armenian and full-width Latin; other code points are returned
// unchanged.
char32_t FoldCase(char32_t cp);

// Letters, digits and combining marks make words; punctuation, symbols,
// blanks and controls separate them.
bool IsWordCodePoint(char32_t cp);

// Decodes the character reference that starts at text[pos] ('&'). On success
// returns the code point and sets length to the bytes it used; returns 0 when
// the text there is not a reference we know. Numeric references in 128..159
// map through Windows-1252, as HTML says.
char32_t DecodeCharacterReference(std::string_view text, size_t pos, size_t& length);

}  // namespace folivex::text
