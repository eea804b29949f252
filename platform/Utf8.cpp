// UTF-8 and Windows-1252, as the formats' 8-bit texts need them.
#include "platform/Utf8.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace folivex {

namespace {

// Windows-1252 0x80..0x9F; the unassigned bytes stay as C1 controls.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

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

char32_t Windows1252CodePoint(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t{byte};
}

namespace {

// The first byte at or after i that is not ASCII, read thirty-two (or
// eight) at a time: most pages and names are mostly ASCII.
size_t SkipAscii(std::string_view bytes, size_t i) {
#if defined(__SSE2__)
    while (bytes.size() - i >= 32) {
        const auto* p = reinterpret_cast<const __m128i*>(bytes.data() + i);
        const __m128i either = _mm_or_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1));
        if (_mm_movemask_epi8(either) != 0) break;  // the top bit of some byte is set
        i += 32;
    }
#endif
    while (bytes.size() - i >= 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        if (word & 0x8080808080808080ULL) break;
        i += 8;
    }
    while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
    return i;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = SkipAscii(bytes, 0); i < bytes.size(); i = SkipAscii(bytes, i)) {
        char32_t cp = 0;
        const size_t n = DecodeUtf8(bytes, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string_view TrimPartialUtf8(std::string_view bytes) {
    // Look back over at most three continuation bytes for a lead byte.
    const size_t n = bytes.size();
    for (size_t back = 1; back <= 4 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80) continue;  // continuation: keep looking
        if (c < 0x80) return bytes;
        const size_t need = (c & 0xE0) == 0xC0   ? 2
                            : (c & 0xF0) == 0xE0 ? 3
                            : (c & 0xF8) == 0xF0 ? 4
                                                 : 0;
        return need > back ? bytes.substr(0, n - back) : bytes;
    }
    return bytes;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out.push_back(ch);
        else if (c < 0xA0)
            AppendUtf8(out, kCp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string ToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Windows1252ToUtf8(bytes);
}

bool Utf8ToWindows1252(std::string_view utf8, std::string& out) {
    if (!IsValidUtf8(utf8)) return false;
    out.clear();
    size_t pos = 0;
    while (pos < utf8.size()) {
        char32_t cp = NextCodePoint(utf8, pos);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        size_t k = 0;
        while (k < 32 && kCp1252High[k] != cp) ++k;
        if (k == 32) return false;
        out.push_back(static_cast<char>(0x80 + k));
    }
    return true;
}

char32_t NextCodePoint(std::string_view text, size_t& pos) {
    auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
        ++pos;
        return c;
    }
    size_t n = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
    if (n == 0 || pos + n >= text.size()) {
        ++pos;
        return 0xFFFD;
    }
    char32_t cp = c & (0x3F >> n);
    for (size_t i = 1; i <= n; ++i) {
        auto b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    pos += n + 1;
    return cp;
}

}  // namespace folivex
