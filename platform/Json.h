// Writing JSON: the one string escaper for every JSON the programs write,
// the viewer's endpoints and folivexc's --json output alike.
#pragma once

#include <string>
#include <string_view>

namespace folivex::json {

// Appends utf8 as a JSON string literal, quotes included. utf8 must be
// UTF-8 (ToUtf8 in Utf8.h makes any stored text so). Escaped are the quote
// and the backslash; every control character, C0 (below U+0020), DEL and C1
// (U+0080 to U+009F), as \n, \r, \t, \b, \f or \u00XX in upper-case hex, so
// that no reader meets a raw control; and "<", so that a response never
// holds "</script>". Everything else is copied byte for byte.
void AppendString(std::string& out, std::string_view utf8);

// The same literal as a string of its own.
std::string String(std::string_view utf8);

inline void AppendKey(std::string& out, std::string_view key) {
    AppendString(out, key);
    out.push_back(':');
}

inline void AppendBool(std::string& out, bool value) {
    out += value ? "true" : "false";
}

}  // namespace folivex::json
