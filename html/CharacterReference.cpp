#include "html/CharacterReference.h"

#include <cstdint>

#include "platform/Ascii.h"
#include "platform/Utf8.h"

namespace folivex::html {

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

// A numeric reference after "&#": decimal, or hexadecimal after "x". At
// most eight digits are read, which is more than any code point needs.
char32_t DecodeNumericReference(std::string_view text, size_t pos, size_t& length) {
    size_t i = pos + 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    const size_t start = i;
    uint32_t value = 0;
    for (; i < text.size() && i - start < 8; ++i) {
        const char c = ToLowerAscii(text[i]);
        int digit = -1;
        if (IsAsciiDigit(c))
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0) break;
        value = value * (hex ? 16u : 10u) + static_cast<uint32_t>(digit);
    }
    if (i == start) return 0;
    if (i < text.size() && text[i] == ';') ++i;
    length = i - pos;
    if (value >= 0x80 && value < 0xA0)
        return Windows1252CodePoint(static_cast<unsigned char>(value));
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
    return value;
}

char32_t NamedCodePoint(std::string_view name) {
    for (size_t k = 0; k < 96; ++k)
        if (name == kLatin1Names[k]) return static_cast<char32_t>(0xA0 + k);
    for (const auto& ref : kOtherNames)
        if (name == ref.name) return ref.cp;
    return 0;
}

// A named reference; names are at most ten characters.
char32_t DecodeNamedReference(std::string_view text, size_t pos, size_t& length) {
    const size_t start = pos + 1;
    size_t i = start;
    while (i < text.size() && i - start < 10 && IsAsciiAlnum(text[i])) ++i;
    const std::string_view name = text.substr(start, i - start);
    if (name.empty()) return 0;
    const bool semicolon = i < text.size() && text[i] == ';';
    if (!semicolon && !MayOmitSemicolon(name)) return 0;
    const char32_t cp = NamedCodePoint(name);
    if (cp != 0) length = i - pos + (semicolon ? 1 : 0);
    return cp;
}

}  // namespace

char32_t DecodeCharacterReference(std::string_view text, size_t pos, size_t& length) {
    if (pos + 1 < text.size() && text[pos + 1] == '#')
        return DecodeNumericReference(text, pos, length);
    return DecodeNamedReference(text, pos, length);
}

void AppendDecodedCharacterReferences(std::string& out, std::string_view text) {
    size_t copied = 0;  // text before this is in out
    for (size_t amp = text.find('&'); amp != std::string_view::npos;
         amp = text.find('&', amp + 1)) {
        size_t length = 0;
        const char32_t cp = DecodeCharacterReference(text, amp, length);
        if (cp == 0) continue;
        out.append(text.substr(copied, amp - copied));
        AppendUtf8(out, cp);
        copied = amp + length;
        amp = copied - 1;
    }
    out.append(text.substr(copied));
}

}  // namespace folivex::html
