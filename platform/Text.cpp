// Lower-casing of names by one Unicode rule on every system, and UTF-16 text
// to UTF-8.
#include "platform/Text.h"

#include <algorithm>
#include <iterator>

#include "platform/Ascii.h"
#include "platform/Utf8.h"

namespace folivex {

namespace {

// Every code point first, first + stride, ... up to last lowers to itself
// plus delta. The ranges are sorted and never overlap.
struct LowerRange {
    char32_t first;
    char32_t last;
    int32_t delta;
    uint32_t stride;
};

constexpr LowerRange kLowerRanges[] = {
#include "platform/LowerCaseTable.inc"
};

}  // namespace

char32_t ToLowerCodePoint(char32_t cp) {
    if (cp < 0x80) return static_cast<char32_t>(ToLowerAscii(static_cast<char>(cp)));
    // The one range that can hold cp is the first that does not end before it.
    const auto* range =
        std::lower_bound(std::begin(kLowerRanges), std::end(kLowerRanges), cp,
                         [](const LowerRange& r, char32_t c) { return r.last < c; });
    if (range == std::end(kLowerRanges) || cp < range->first ||
        (cp - range->first) % range->stride != 0)
        return cp;
    return static_cast<char32_t>(static_cast<int64_t>(cp) + range->delta);
}

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
    // Windows-1252 and UTF-8 agree on ASCII, so deciding on the rest alone
    // decides for the whole text.
    const std::string_view rest = text.substr(ascii);
    const std::string fromAnsi = IsValidUtf8(rest) ? std::string() : Windows1252ToUtf8(rest);
    const std::string_view utf8 = fromAnsi.empty() ? rest : std::string_view(fromAnsi);
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const size_t n = DecodeUtf8(utf8, i, cp);
        AppendUtf8(out, ToLowerCodePoint(cp));
        i += n;
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return ToLowerSystem(a) == ToLowerSystem(b);
}

std::string Utf16LeToUtf8(std::span<const uint8_t> utf16le) {
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
