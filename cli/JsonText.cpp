#include "cli/JsonText.h"

#include <cstdio>

#include "platform/Utf8.h"

namespace folivex::cli {

namespace {

// Escapes one character below U+00A0 that JSON or a reader needs escaped;
// returns false for any other character.
bool AppendEscaped(char32_t cp, std::string& out) {
    switch (cp) {
        case '"': out += "\\\""; return true;
        case '\\': out += "\\\\"; return true;
        case '\n': out += "\\n"; return true;
        case '\r': out += "\\r"; return true;
        case '\t': out += "\\t"; return true;
        case '\b': out += "\\b"; return true;
        case '\f': out += "\\f"; return true;
        default: break;
    }
    if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(cp));
        out += buf;
        return true;
    }
    return false;
}

}  // namespace

std::string JsonString(std::string_view text) {
    const std::string utf8 = ToUtf8(text);
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            if (!AppendEscaped(byte, out)) out += static_cast<char>(byte);
        } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // C2 80..C2 9F are the C1 controls: escaped like the others.
            AppendEscaped(static_cast<unsigned char>(utf8[i + 1]), out);
            ++i;
        } else {
            out += static_cast<char>(byte);
        }
    }
    out += '"';
    return out;
}

}  // namespace folivex::cli
