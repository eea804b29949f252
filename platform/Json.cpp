#include "platform/Json.h"

namespace folivex::json {

namespace {

// Appends the escape of one character below U+00A0 that needs one; false
// for any other character.
bool AppendEscaped(unsigned cp, std::string& out) {
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
    if (cp < 0x20 || cp == '<' || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\u00";
        out.push_back(kHex[cp >> 4]);
        out.push_back(kHex[cp & 15]);
        return true;
    }
    return false;
}

}  // namespace

void AppendString(std::string& out, std::string_view utf8) {
    out.push_back('"');
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            if (!AppendEscaped(byte, out)) out.push_back(static_cast<char>(byte));
        } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // C2 80 to C2 9F are the C1 controls: escaped like the others.
            AppendEscaped(static_cast<unsigned char>(utf8[i + 1]), out);
            ++i;
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    out.push_back('"');
}

std::string String(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    AppendString(out, utf8);
    return out;
}

}  // namespace folivex::json
