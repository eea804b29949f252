// Splitting UTF-8 text into case-folded words: the one rule that both the
// search index and the queries use, so that they always agree.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/Utf8.h"

namespace folivex::text {

// Simple lower-case mapping for Latin, Greek (final sigma folds to sigma),
// Cyrillic, Armenian and full-width Latin; other code points are returned
// unchanged.
char32_t FoldCase(char32_t cp);

// Letters, digits and combining marks make words; punctuation, symbols,
// blanks and controls separate them.
bool IsWordCodePoint(char32_t cp);

// Longer words (hashes, base64 runs) are not indexed.
constexpr size_t kMaxWordBytes = 48;

namespace detail {
// For ASCII bytes: the folded character when it belongs to a word, else 0.
struct AsciiWordTable {
    char fold[128];
    constexpr AsciiWordTable() : fold{} {
        for (int c = 0; c < 128; ++c) {
            if (c >= 'a' && c <= 'z')
                fold[c] = static_cast<char>(c);
            else if (c >= 'A' && c <= 'Z')
                fold[c] = static_cast<char>(c + 32);
            else if (c >= '0' && c <= '9')
                fold[c] = static_cast<char>(c);
        }
    }
};
inline constexpr AsciiWordTable kAsciiWords{};

inline size_t AppendFoldedUtf8(char* out, char32_t cp) {
    char32_t f = FoldCase(cp);
    // A letter may fold to ASCII (U+0130, capital I with dot, to 'i').
    if (f < 0x80) {
        out[0] = static_cast<char>(f);
        return 1;
    }
    if (f < 0x800) {
        out[0] = static_cast<char>(0xC0 | (f >> 6));
        out[1] = static_cast<char>(0x80 | (f & 0x3F));
        return 2;
    }
    if (f < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (f >> 12));
        out[1] = static_cast<char>(0x80 | ((f >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (f & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (f >> 18));
    out[1] = static_cast<char>(0x80 | ((f >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((f >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (f & 0x3F));
    return 4;
}
}  // namespace detail

// Calls f(foldedWord, start, end) for every word of utf8 in order; start and
// end are byte offsets of the word in utf8. f returns false to stop.
template <class F>
void ForEachWord(std::string_view utf8, F&& f) {
    char buf[kMaxWordBytes + 8];
    const char* data = utf8.data();
    const size_t n = utf8.size();
    size_t pos = 0;
    while (pos < n) {
        // Find the start of the next word.
        size_t start = pos;
        size_t len = 0;
        for (;;) {
            if (pos >= n) return;
            start = pos;
            auto c = static_cast<unsigned char>(data[pos]);
            if (c < 0x80) {
                ++pos;
                char folded = detail::kAsciiWords.fold[c];
                if (folded) {
                    buf[len++] = folded;
                    break;
                }
                continue;
            }
            char32_t cp = NextCodePoint(utf8, pos);
            if (IsWordCodePoint(cp)) {
                len = detail::AppendFoldedUtf8(buf, cp);
                break;
            }
        }
        bool tooLong = false;
        while (pos < n) {
            auto c = static_cast<unsigned char>(data[pos]);
            if (c < 0x80) {
                char folded = detail::kAsciiWords.fold[c];
                if (!folded) break;
                ++pos;
                if (len < kMaxWordBytes)
                    buf[len++] = folded;
                else
                    tooLong = true;
                continue;
            }
            size_t before = pos;
            char32_t cp = NextCodePoint(utf8, pos);
            if (!IsWordCodePoint(cp)) {
                pos = before;
                break;
            }
            char tmp[4];
            size_t k = detail::AppendFoldedUtf8(tmp, cp);
            if (len + k <= kMaxWordBytes) {
                for (size_t i = 0; i < k; ++i) buf[len++] = tmp[i];
            } else {
                tooLong = true;
            }
        }
        if (!tooLong && !f(std::string_view(buf, len), start, pos)) return;
    }
}

}  // namespace folivex::text
