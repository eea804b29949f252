#include "viewer/server/Words.h"

#include <cstdint>

namespace folivex::text {

namespace {

// Case folding by ranges. Most scripts keep their capitals in one block and
// their small letters in another at a fixed distance (delta); some alternate
// capital and small letter (Latin Extended-A and Additional, the Cyrillic
// supplements), where every capital (an even or an odd code point, as the
// range says) folds to the code point after it. The first range that holds
// a code point decides, so a single exception stands before its range.
enum class Pairs : uint8_t { none, evenCapitals, oddCapitals };
struct FoldRange {
    char32_t first, last;
    int32_t delta;  // with Pairs::none
    Pairs pairs;
};
constexpr FoldRange kFoldRanges[] = {
    {0x00C0, 0x00D6, 32, Pairs::none},  // Latin-1 capitals; 0xD7 is the sign x
    {0x00D8, 0x00DE, 32, Pairs::none},
    {0x0130, 0x0130, 'i' - 0x130, Pairs::none},  // capital I with dot: plain i
    {0x0100, 0x0137, 0, Pairs::evenCapitals},    // Latin Extended-A
    {0x0139, 0x0148, 0, Pairs::oddCapitals},
    {0x014A, 0x0177, 0, Pairs::evenCapitals},
    {0x0178, 0x0178, 0xFF - 0x178, Pairs::none},  // Y with diaeresis, small in Latin-1
    {0x0179, 0x017E, 0, Pairs::oddCapitals},
    {0x0386, 0x0386, 0x3AC - 0x386, Pairs::none},  // Greek capitals with tonos
    {0x0388, 0x038A, 0x3AD - 0x388, Pairs::none},
    {0x038C, 0x038C, 0x3CC - 0x38C, Pairs::none},
    {0x038E, 0x038F, 0x3CD - 0x38E, Pairs::none},
    {0x0391, 0x03A1, 32, Pairs::none},  // Greek capitals; 0x3A2 is unassigned
    {0x03A3, 0x03AB, 32, Pairs::none},
    {0x03C2, 0x03C2, 1, Pairs::none},          // final sigma matches sigma
    {0x0400, 0x040F, 80, Pairs::none},         // Cyrillic capitals with marks (Ё, Ї, ...)
    {0x0410, 0x042F, 32, Pairs::none},         // Cyrillic capitals
    {0x0460, 0x0481, 0, Pairs::evenCapitals},  // Cyrillic supplements
    {0x048A, 0x04BF, 0, Pairs::evenCapitals},
    {0x04D0, 0x052F, 0, Pairs::evenCapitals},
    {0x0531, 0x0556, 48, Pairs::none},         // Armenian capitals
    {0x1E00, 0x1E95, 0, Pairs::evenCapitals},  // Latin Extended Additional
    {0x1EA0, 0x1EFF, 0, Pairs::evenCapitals},
    {0xFF21, 0xFF3A, 32, Pairs::none},  // full-width Latin capitals
};

char32_t FoldInRange(char32_t cp, const FoldRange& range) {
    switch (range.pairs) {
        case Pairs::none: return static_cast<char32_t>(static_cast<int32_t>(cp) + range.delta);
        case Pairs::evenCapitals: return (cp & 1) ? cp : cp + 1;
        case Pairs::oddCapitals: return (cp & 1) ? cp + 1 : cp;
    }
    return cp;
}

// Code points at or above 0xC0 that separate words: punctuation, symbols,
// arrows and boxes, CJK punctuation, surrogates and private use, the
// full-width punctuation, specials, and the pictographs.
struct Range {
    char32_t first, last;
};
constexpr Range kSeparators[] = {
    {0x00D7, 0x00D7}, {0x00F7, 0x00F7}, {0x2000, 0x2BFF}, {0x2E00, 0x2E7F},    {0x3000, 0x303F},
    {0xD800, 0xF8FF}, {0xFE30, 0xFE4F}, {0xFEFF, 0xFEFF}, {0xFF00, 0xFF0F},    {0xFF1A, 0xFF20},
    {0xFF3B, 0xFF40}, {0xFF5B, 0xFF65}, {0xFFF0, 0xFFFF}, {0x1F000, 0x10FFFF},
};

}  // namespace

char32_t FoldCase(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    for (const FoldRange& range : kFoldRanges)
        if (cp >= range.first && cp <= range.last) return FoldInRange(cp, range);
    return cp;
}

bool IsWordCodePoint(char32_t cp) {
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
    // Of the Latin-1 punctuation, only the ordinal indicators and micro.
    if (cp < 0xC0) return cp == 0xAA || cp == 0xB5 || cp == 0xBA;
    for (const Range& range : kSeparators)
        if (cp >= range.first && cp <= range.last) return false;
    return true;
}

}  // namespace folivex::text
