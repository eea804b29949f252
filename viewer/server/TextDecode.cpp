#include "viewer/server/TextDecode.h"

#include <cstring>

namespace folivex::text {

namespace {

// Named references of ISO 8859-1, U+00A0 to U+00FF in order.
constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct NamedReference {
    const char* name;
    char32_t cp;
};
constexpr NamedReference kOtherNames[] = {
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},       {"quot", '"'},
    {"apos", '\''},     {"OElig", 0x152},   {"oelig", 0x153},  {"Scaron", 0x160},
    {"scaron", 0x161},  {"Yuml", 0x178},    {"fnof", 0x192},   {"circ", 0x2C6},
    {"tilde", 0x2DC},   {"ensp", 0x2002},   {"emsp", 0x2003},  {"thinsp", 0x2009},
    {"zwnj", 0x200C},   {"zwj", 0x200D},    {"lrm", 0x200E},   {"rlm", 0x200F},
    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018}, {"rsquo", 0x2019},
    {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"bdquo", 0x201E},
    {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},  {"hellip", 0x2026},
    {"permil", 0x2030}, {"prime", 0x2032},  {"Prime", 0x2033}, {"lsaquo", 0x2039},
    {"rsaquo", 0x203A}, {"oline", 0x203E},  {"euro", 0x20AC},  {"trade", 0x2122},
    {"larr", 0x2190},   {"uarr", 0x2191},   {"rarr", 0x2192},  {"darr", 0x2193},
    {"harr", 0x2194},   {"minus", 0x2212},  {"infin", 0x221E}, {"ne", 0x2260},
    {"le", 0x2264},     {"ge", 0x2265},     {"hearts", 0x2665}};

// References browsers accept without the closing ';' (the common legacy ones).
bool MayOmitSemicolon(std::string_view name) {
    return name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "nbsp" ||
           name == "copy" || name == "reg";
}

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

std::string_view TrimPartialUtf8(std::string_view bytes) {
    // Look back over at most three continuation bytes for a lead byte.
    size_t n = bytes.size();
    for (size_t back = 1; back <= 4 && back <= n; ++back) {
        auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80) continue;  // continuation: keep looking
        if (c < 0x80) return bytes;
        size_t need = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        return need > back ? bytes.substr(0, n - back) : bytes;
    }
    return bytes;
}

char32_t FoldCase(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp < 0xC0) return cp;
    if (cp <= 0xDE) return cp == 0xD7 ? cp : cp + 32;
    if (cp < 0x100) return cp;
    if (cp < 0x180) {
        if (cp == 0x130) return 'i';
        if (cp == 0x178) return 0xFF;
        if ((cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) return (cp & 1) ? cp : cp + 1;
        if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E))
            return (cp & 1) ? cp + 1 : cp;
        return cp;
    }
    if (cp >= 0x386 && cp <= 0x3AB) {
        if (cp == 0x386) return 0x3AC;
        if (cp >= 0x388 && cp <= 0x38A) return cp + 37;
        if (cp == 0x38C) return 0x3CC;
        if (cp == 0x38E || cp == 0x38F) return cp + 63;
        if (cp >= 0x391 && cp != 0x3A2) return cp + 32;
        return cp;
    }
    if (cp == 0x3C2) return 0x3C3;  // final sigma matches sigma
    if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
    if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
    if ((cp >= 0x460 && cp <= 0x481) || (cp >= 0x48A && cp <= 0x4BF) ||
        (cp >= 0x4D0 && cp <= 0x52F))
        return (cp & 1) ? cp : cp + 1;
    if (cp >= 0x531 && cp <= 0x556) return cp + 48;
    if ((cp >= 0x1E00 && cp <= 0x1E95) || (cp >= 0x1EA0 && cp <= 0x1EFF))
        return (cp & 1) ? cp : cp + 1;
    if (cp >= 0xFF21 && cp <= 0xFF3A) return cp + 32;
    return cp;
}

bool IsWordCodePoint(char32_t cp) {
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
    if (cp < 0xC0) return cp == 0xAA || cp == 0xB5 || cp == 0xBA;
    if (cp == 0xD7 || cp == 0xF7) return false;
    if (cp >= 0x2000 && cp <= 0x2BFF) return false;  // punctuation, symbols, arrows, boxes
    if (cp >= 0x2E00 && cp <= 0x2E7F) return false;
    if (cp >= 0x3000 && cp <= 0x303F) return false;  // CJK punctuation
    if (cp >= 0xD800 && cp <= 0xF8FF) return false;  // surrogates, private use
    if (cp >= 0xFE30 && cp <= 0xFE4F) return false;
    if (cp >= 0xFF00 && cp <= 0xFF0F) return false;
    if (cp >= 0xFF1A && cp <= 0xFF20) return false;
    if (cp >= 0xFF3B && cp <= 0xFF40) return false;
    if (cp >= 0xFF5B && cp <= 0xFF65) return false;
    if (cp >= 0xFFF0 && cp <= 0xFFFF) return false;
    if (cp == 0xFEFF) return false;
    if (cp >= 0x1F000) return false;  // emoji and other pictographs
    return true;
}

char32_t DecodeCharacterReference(std::string_view text, size_t pos, size_t& length) {
    size_t i = pos + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
        if (hex) ++i;
        size_t start = i;
        uint32_t value = 0;
        while (i < text.size() && i - start < 8) {
            char c = text[i];
            int d = (c >= '0' && c <= '9')        ? c - '0'
                    : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : -1;
            if (d < 0) break;
            value = value * (hex ? 16u : 10u) + static_cast<uint32_t>(d);
            ++i;
        }
        if (i == start) return 0;
        if (i < text.size() && text[i] == ';') ++i;
        length = i - pos;
        if (value >= 0x80 && value < 0xA0)
            return Windows1252CodePoint(static_cast<unsigned char>(value));
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
        return value;
    }
    size_t start = i;
    while (i < text.size() && i - start < 10 && IsAsciiAlnum(text[i])) ++i;
    std::string_view name = text.substr(start, i - start);
    if (name.empty()) return 0;
    bool semicolon = i < text.size() && text[i] == ';';
    if (!semicolon && !MayOmitSemicolon(name)) return 0;
    char32_t cp = 0;
    for (size_t k = 0; k < 96 && !cp; ++k)
        if (name == kLatin1Names[k]) cp = static_cast<char32_t>(0xA0 + k);
    for (const auto& ref : kOtherNames)
        if (!cp && name == ref.name) cp = ref.cp;
    if (!cp) return 0;
    length = i - pos + (semicolon ? 1 : 0);
    return cp;
}

}  // namespace folivex::text
