// JSON string literals for the inspector's --json output.
//
// Texts in the formats are 8-bit text in the system code page of the machine
// that wrote them, so they need not be UTF-8. The rule is the viewer's: a text
// that is valid UTF-8 is taken as UTF-8; any other text is read as
// Windows-1252 as a whole (its five unassigned bytes as the C1 controls
// U+0081, U+008D, U+008F, U+0090, U+009D). The output is always valid UTF-8
// JSON: quotes, backslashes and control characters are escaped.
#pragma once

#include <string>
#include <string_view>

namespace folivex::cli {

// The text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace folivex::cli
