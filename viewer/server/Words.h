// Splitting UTF-8 text into case-folded words: the one rule that both the
// search index and the queries use, so that they always agree.
#pragma once

#include <cstddef>
#include <string_view>

#include "viewer/server/TextDecode.h"

namespace folivex::text {

// Longer words (hashes, base64 runs) are not indexed.
constexpr size_t kMaxWordBytes = 48;

// Calls f(foldedWord, start, end) for every word of utf8 in order; start and
// end are byte offsets of the word in utf8. f returns false to stop.
template <class F>
void ForEachWord(std::string_view utf8, F&& f) {
    char buf[kMaxWordBytes + 4];
    size_t pos = 0;
    const size_t n = utf8.size();
    while (pos < n) {
        // Skip separators; ASCII ones quickly.
        char32_t cp;
        size_t start;
        for (;;) {
            if (pos >= n) return;
            start = pos;
            auto c = static_cast<unsigned char>(utf8[pos]);
            if (c < 0x80) {
                ++pos;
                if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
                    cp = c;
                    break;
                }
                continue;
            }
            cp = NextCodePoint(utf8, pos);
            if (IsWordCodePoint(cp)) break;
        }
        size_t len = 0;
        bool tooLong = false;
        for (;;) {
            // Append the folded code point.
            if (cp < 0x80) {
                char c = static_cast<char>(cp);
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
                if (len < kMaxWordBytes) buf[len++] = c;
                else tooLong = true;
            } else {
                char32_t f32 = FoldCase(cp);
                char tmp[4];
                size_t k = f32 < 0x800 ? 2 : f32 < 0x10000 ? 3 : 4;
                if (k == 2) {
                    tmp[0] = static_cast<char>(0xC0 | (f32 >> 6));
                    tmp[1] = static_cast<char>(0x80 | (f32 & 0x3F));
                } else if (k == 3) {
                    tmp[0] = static_cast<char>(0xE0 | (f32 >> 12));
                    tmp[1] = static_cast<char>(0x80 | ((f32 >> 6) & 0x3F));
                    tmp[2] = static_cast<char>(0x80 | (f32 & 0x3F));
                } else {
                    tmp[0] = static_cast<char>(0xF0 | (f32 >> 18));
                    tmp[1] = static_cast<char>(0x80 | ((f32 >> 12) & 0x3F));
                    tmp[2] = static_cast<char>(0x80 | ((f32 >> 6) & 0x3F));
                    tmp[3] = static_cast<char>(0x80 | (f32 & 0x3F));
                }
                if (len + k <= kMaxWordBytes) {
                    for (size_t i = 0; i < k; ++i) buf[len++] = tmp[i];
                } else {
                    tooLong = true;
                }
            }
            if (pos >= n) break;
            auto c = static_cast<unsigned char>(utf8[pos]);
            size_t before = pos;
            if (c < 0x80) {
                if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                    break;
                cp = c;
                ++pos;
            } else {
                cp = NextCodePoint(utf8, pos);
                if (!IsWordCodePoint(cp)) {
                    pos = before;
                    break;
                }
            }
        }
        if (!tooLong && !f(std::string_view(buf, len), start, pos)) return;
    }
}

}  // namespace folivex::text
