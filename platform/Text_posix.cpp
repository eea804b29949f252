// Text on POSIX: the system code page is UTF-8.
#include <locale.h>
#include <wctype.h>

#include <clocale>
#include <cwctype>

#include "platform/Ascii.h"
#include "platform/Text.h"
#include "platform/Utf8.h"

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

char32_t LowerCodePoint(char32_t cp) {
    if (cp < 0x80) return static_cast<char32_t>(ToLowerAscii(static_cast<char>(cp)));
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
        c = ToLowerAscii(c);
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
        AppendUtf8(out, LowerCodePoint(cp));
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
        AppendUtf8(out, u);
    }
    return out;
}

}  // namespace folivex
