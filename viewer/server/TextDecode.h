// Text as the viewer reads it from a book: the book's texts and pages are
// 8-bit text of unknown code page. We take them as UTF-8 when they are valid
// UTF-8 and as Windows-1252 otherwise, and hand UTF-8 to the browser.
// Also: the word rules and case folding the search uses, and HTML character
// references.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace folivex::text {

bool IsValidUtf8(std::string_view bytes);

// Windows-1252 to UTF-8 (the five unassigned bytes map to the C1 controls,
// as browsers do).
std::string Windows1252ToUtf8(std::string_view bytes);

// bytes unchanged when valid UTF-8, else converted from Windows-1252.
std::string ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252; false when utf8 is not valid UTF-8 or holds a
// character that Windows-1252 lacks.
bool Utf8ToWindows1252(std::string_view utf8, std::string& out);

// bytes without an incomplete UTF-8 sequence at their very end (for text
// cut at an arbitrary byte).
std::string_view TrimPartialUtf8(std::string_view bytes);

void AppendUtf8(std::string& out, char32_t cp);

// Decodes one code point at text[pos] (valid UTF-8 expected); advances pos.
// Invalid bytes come back as U+FFFD, one byte at a time.
char32_t NextCodePoint(std::string_view text, size_t& pos);

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
