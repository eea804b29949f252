// Text on POSIX: the system code page is UTF-8.
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

#include "platform/Text.h"

namespace folivex {

namespace {

// The C.UTF-8 locale gives towlower_l the Unicode case tables whatever the
// process locale is; without it only ASCII letters are mapped.
locale_t Utf8Locale() {
    static const locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return loc;
}

// Decodes one well-formed UTF-8 sequence at s[i]; returns its length, or 0
// when the bytes there are not one (overlong forms, surrogates and values
// past U+10FFFF included).
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = b(0);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    size_t n;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, cp = lead & 0x1Fu, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, cp = lead & 0x0Fu, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, cp = lead & 0x07u, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(k) & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

void EncodeUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t LowerCodePoint(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    const locale_t loc = Utf8Locale();
    if (loc == static_cast<locale_t>(nullptr)) return cp;
    const wint_t lower = towlower_l(static_cast<wint_t>(cp), loc);
    // Keep the result only when it is a valid scalar value itself.
    if (lower > 0x10FFFF || (lower >= 0xD800 && lower <= 0xDFFF)) return cp;
    return static_cast<char32_t>(lower);
}

}  // namespace

std::string ToLowerSystem(std::string_view text) {
    std::string out(text);
    // Most names are ASCII: lower them in place and stop there; from the
    // first other byte on, the text is decoded.
    size_t ascii = 0;
    for (; ascii < out.size(); ++ascii) {
        char& c = out[ascii];
        if (static_cast<unsigned char>(c) >= 0x80) break;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    if (ascii == out.size()) return out;
    out.resize(ascii);
    for (size_t i = ascii; i < text.size();) {
        char32_t cp = 0;
        const size_t n = DecodeUtf8(text, i, cp);
        if (n == 0) {  // not UTF-8: the byte stays as it is
            out += text[i];
            ++i;
            continue;
        }
        EncodeUtf8(LowerCodePoint(cp), out);
        i += n;
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return ToLowerSystem(a) == ToLowerSystem(b);
}

std::string Utf16LeToSystem(std::span<const uint8_t> utf16le) {
    std::string out;
    const size_t units = utf16le.size() / 2;
    const auto unit = [&](size_t k) {
        return static_cast<char32_t>(utf16le[2 * k] | (utf16le[2 * k + 1] << 8));
    };
    for (size_t k = 0; k < units; ++k) {
        char32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
            unit(k + 1) <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
            ++k;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        EncodeUtf8(u, out);
    }
    return out;
}

}  // namespace folivex
