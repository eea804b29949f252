#include "cli/JsonText.h"

#include <array>
#include <cstdio>

namespace folivex::cli {

namespace {

// Windows-1252 bytes 0x80..0x9F; the rest of the upper half equals Latin-1.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
        const unsigned char lead = b(0);
        size_t n;
        unsigned cp;
        unsigned min;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2, cp = lead & 0x1Fu, min = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3, cp = lead & 0x0Fu, min = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4, cp = lead & 0x07u, min = 0x10000;
        } else {
            return false;
        }
        if (i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((b(k) & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b(k) & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += n;
    }
    return true;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

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
    std::string out = "\"";
    const bool utf8 = IsValidUtf8(text);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (!AppendEscaped(byte, out)) out += static_cast<char>(byte);
        } else if (utf8) {
            // C2 80..C2 9F are the C1 controls: escaped like the others.
            if (byte == 0xC2 && i + 1 < text.size() &&
                static_cast<unsigned char>(text[i + 1]) < 0xA0) {
                AppendEscaped(static_cast<unsigned char>(text[i + 1]), out);
                ++i;
            } else {
                out += static_cast<char>(byte);
            }
        } else {
            const char32_t cp = byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t{byte};
            if (!AppendEscaped(cp, out)) AppendUtf8(cp, out);
        }
    }
    out += '"';
    return out;
}

}  // namespace folivex::cli
