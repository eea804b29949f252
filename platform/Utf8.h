// UTF-8 and Windows-1252: the formats' texts are 8-bit text of the code page
// of the machine that wrote them. The program reads a text as UTF-8 when it
// is valid UTF-8 and as Windows-1252 otherwise.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace folivex {

// Decodes one well-formed UTF-8 sequence at s[i]; returns its length, or 0
// when the bytes there are not one (overlong forms, surrogates and values
// past U+10FFFF included).
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp);

bool IsValidUtf8(std::string_view bytes);

// bytes without an incomplete UTF-8 sequence at their very end (for text
// cut at an arbitrary byte).
std::string_view TrimPartialUtf8(std::string_view bytes);

void AppendUtf8(std::string& out, char32_t cp);

// The code point of one Windows-1252 byte.
char32_t Windows1252CodePoint(unsigned char byte);

// Windows-1252 to UTF-8 (the five unassigned bytes map to the C1 controls,
// as browsers do).
std::string Windows1252ToUtf8(std::string_view bytes);

// bytes unchanged when valid UTF-8, else converted from Windows-1252.
std::string ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252; false when utf8 is not valid UTF-8 or holds a
// character that Windows-1252 lacks.
bool Utf8ToWindows1252(std::string_view utf8, std::string& out);

// Decodes one code point at text[pos] (valid UTF-8 expected); advances pos.
// Invalid bytes come back as U+FFFD, one byte at a time.
char32_t NextCodePoint(std::string_view text, size_t& pos);

}  // namespace folivex
