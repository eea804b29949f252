// HTML character references ("&amp;", "&#233;", "&#xE9;"): the ones pages
// written by hand and by HTML editors use.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace folivex::html {

// Decodes the character reference that starts at text[pos] ('&'). On success
// returns the code point and sets length to the bytes it used; returns 0 when
// the text there is not a reference we know. Numeric references in 128..159
// map through Windows-1252, and a number that is no character gives U+FFFD,
// as browsers do. Named references: the Latin-1 set and the common
// typographic ones; the legacy names that browsers accept without ";" are
// accepted without it here too.
char32_t DecodeCharacterReference(std::string_view text, size_t pos, size_t& length);

// Appends text to out with every reference decoded (to UTF-8); anything
// else as it is.
void AppendDecodedCharacterReferences(std::string& out, std::string_view text);

}  // namespace folivex::html
