#include "html/Tokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Ascii.h"

namespace folivex::html {

// The steps of reading a tag are forced inline (gnu::always_inline): a tag
// is then read by one function, where calls between the steps had cost
// about a quarter of the time of reading a page for its links.

namespace {

constexpr size_t npos = std::string_view::npos;

// Blanks and what ends a tag or attribute name: one table lookup instead
// of a row of comparisons, for the loops every tag goes through.
enum CharClass : uint8_t { kBlank = 1, kNameEnd = 2 };
constexpr std::array<uint8_t, 256> kCharClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (const char blank : {' ', '\t', '\n', '\r', '\f'})
        classes[static_cast<uint8_t>(blank)] = kBlank | kNameEnd;
    classes['/'] = kNameEnd;
    classes['>'] = kNameEnd;
    return classes;
}();

bool IsIn(char c, uint8_t classes) {
    return (kCharClasses[static_cast<uint8_t>(c)] & classes) != 0;
}

// The first c at or after from (at most text.size()); npos when none is.
[[gnu::always_inline]] inline size_t FindByte(std::string_view text, size_t from, char c) {
    // Most searches end within a few bytes (the '<' after a tag, the quote
    // after a short value): look there before calling memchr.
    size_t near = from;
#if defined(__SSE2__)
    if (text.size() - from >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + from));
        const auto hits =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
        if (hits != 0) return from + static_cast<size_t>(__builtin_ctz(hits));
        near = from + 16;
    }
#endif
    if (near >= text.size()) return npos;
    const void* hit = std::memchr(text.data() + near, c, text.size() - near);
    return hit == nullptr ? npos : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

// The first '=' or '>' at or after from (at most text.size());
// text.size() when there is none.
// Inside a tag only these two matter until a value opens: names and the
// blanks between them are stepped over sixteen bytes at a time.
[[gnu::always_inline]] inline size_t FindEqualsOrEnd(std::string_view text, size_t from) {
    size_t i = from;
#if defined(__SSE2__)
    const __m128i equals = _mm_set1_epi8('='), end = _mm_set1_epi8('>');
    while (text.size() - i >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        const auto hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, equals), _mm_cmpeq_epi8(bytes, end))));
        if (hits != 0) return i + static_cast<size_t>(__builtin_ctz(hits));
        i += 16;
    }
#endif
    for (; i < text.size(); ++i)
        if (text[i] == '=' || text[i] == '>') return i;
    return text.size();
}

bool IsBlank(char c) {
    return IsIn(c, kBlank);
}

#if !defined(__SSE2__)
bool IsOfKind(char c, PageMasks::Kind kind) {
    switch (kind) {
        case PageMasks::kTagOpen: return c == '<';
        case PageMasks::kEqualsOrEnd: return c == '=' || c == '>';
        default: return c == '"' || c == '\'';
    }
}
#endif

}  // namespace

[[gnu::always_inline]] inline size_t PageMasks::Find(size_t from, Kind kind) {
    if (from >= m_page.size()) return npos;
#if defined(__SSE2__)
    size_t block = from & ~size_t{63};
    if (block != m_block) Load(block);
    uint64_t bits = m_bits[kind] & (~uint64_t{0} << (from & 63));
    while (bits == 0) {
        block += 64;
        if (block >= m_page.size()) return npos;
        Load(block);
        bits = m_bits[kind];
    }
    return block + static_cast<size_t>(std::countr_zero(bits));
#else
    // Without SSE2 a block costs more than the searches it spares.
    if (kind == kTagOpen) return FindByte(m_page, from, '<');
    for (size_t i = from; i < m_page.size(); ++i)
        if (IsOfKind(m_page[i], kind)) return i;
    return npos;
#endif
}

void PageMasks::Load(size_t block) {
    m_block = block;
#if defined(__SSE2__)
    // The last block of a page is read from a copy, padded with bytes of
    // no kind.
    const char* bytes = m_page.data() + block;
    alignas(16) char last[64];
    if (m_page.size() - block < sizeof last) {
        std::memset(last, 0, sizeof last);
        std::memcpy(last, bytes, m_page.size() - block);
        bytes = last;
    }
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 32));
    const __m128i b3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 48));
    // The 64 bits of one kind, each sixteen bytes looked at in a line of
    // their own: as a loop, a quarter more instructions.
    const auto bitsOf = [&](auto isOfKind) {
        const auto lanes = [&](__m128i b, int shift) {
            return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(isOfKind(b))))
                   << shift;
        };
        return lanes(b0, 0) | lanes(b1, 16) | lanes(b2, 32) | lanes(b3, 48);
    };
    const auto is = [](__m128i b, char c) { return _mm_cmpeq_epi8(b, _mm_set1_epi8(c)); };
    m_bits[kTagOpen] = bitsOf([&](__m128i b) { return is(b, '<'); });
    m_bits[kEqualsOrEnd] = bitsOf([&](__m128i b) { return _mm_or_si128(is(b, '='), is(b, '>')); });
    m_bits[kQuote] = bitsOf([&](__m128i b) { return _mm_or_si128(is(b, '"'), is(b, '\'')); });
#endif
}

namespace {

// The searches of reading a tag's attributes: in the tag's own bytes
// (Attributes::ReadOn), or in its page's masks, for text that starts at
// base in the page and runs to the page's end (the tokenizer).
struct TagBytesFinder {
    size_t EqualsOrEnd(std::string_view text, size_t from) const {
        return FindEqualsOrEnd(text, from);
    }
    size_t Quote(std::string_view text, size_t from, char quote) const {
        return FindByte(text, from, quote);
    }
};

struct PageMasksFinder {
    PageMasks& masks;
    size_t base;
    size_t EqualsOrEnd(std::string_view text, size_t from) const {
        const size_t at = masks.Find(base + from, PageMasks::kEqualsOrEnd);
        return at == npos ? text.size() : at - base;
    }
    // Both quotes are marked: the other one inside a value is stepped over.
    size_t Quote(std::string_view text, size_t from, char quote) const {
        size_t at = masks.Find(base + from, PageMasks::kQuote);
        while (at != npos && text[at - base] != quote) at = masks.Find(at + 1, PageMasks::kQuote);
        return at == npos ? npos : at - base;
    }
};

bool EndsName(char c) {
    return IsIn(c, kNameEnd);
}

// The name that ends at nameEnd: the run of name bytes before it, not
// before from.
[[gnu::always_inline]] inline std::string_view NameBefore(std::string_view text, size_t from,
                                                          size_t nameEnd) {
    size_t start = nameEnd;
    while (start > from && !EndsName(text[start - 1])) --start;
    return text.substr(start, nameEnd - start);
}

// The value after the '=' at text[at]: quoted (a quote right after the '='
// and blanks opens it, and a '>' inside does not end the tag) or up to a
// blank or '>'. pos moves past it.
template <class Finder>
[[gnu::always_inline]] inline void ReadValue(std::string_view text, size_t at, size_t& pos,
                                             AttributeSpan& span, const Finder& find) {
    size_t k = at + 1;
    while (k < text.size() && IsBlank(text[k])) ++k;
    if (k < text.size() && (text[k] == '"' || text[k] == '\'')) {
        const size_t close = find.Quote(text, k + 1, text[k]);
        const size_t stop = close == npos ? text.size() : close;
        span.value = static_cast<uint32_t>(k + 1);
        span.valueLength = static_cast<uint32_t>(stop - k - 1);
        pos = close == npos ? text.size() : close + 1;
        return;
    }
    size_t stop = k;
    while (stop < text.size() && !IsBlank(text[stop]) && text[stop] != '>') ++stop;
    span.value = static_cast<uint32_t>(k);
    span.valueLength = static_cast<uint32_t>(stop - k);
    pos = stop;
}

// Reads on from text[pos] to the next attribute that is among wanted and
// written with a value, as a browser reads attributes: a '=' after a name
// opens the value; a '=' with no name before it starts one. pos moves past
// the value. False at the tag's '>' (pos there) or the end of text. Only the
// '='s and '>'s of a tag are looked at until a value opens: names and
// blanks are stepped over sixteen bytes at a time.
template <class Finder>
[[gnu::always_inline]] inline bool ReadAttribute(std::string_view text, size_t& pos,
                                                 const AttributeNames& wanted, AttributeSpan& span,
                                                 const Finder& find) {
    size_t at = find.EqualsOrEnd(text, pos);
    while (at < text.size() && text[at] != '>') {
        size_t nameEnd = at;
        while (nameEnd > pos && IsBlank(text[nameEnd - 1])) --nameEnd;
        if (nameEnd == pos || text[nameEnd - 1] == '/') {
            at = find.EqualsOrEnd(text, at + 1);
            continue;
        }
        const int name =
            wanted.MayEnd(text[nameEnd - 1]) ? wanted.IndexOf(NameBefore(text, pos, nameEnd)) : -1;
        ReadValue(text, at, pos, span, find);
        if (name >= 0) {
            span.name = static_cast<uint8_t>(name);
            return true;
        }
        at = find.EqualsOrEnd(text, pos);
    }
    pos = at;
    return false;
}

// Reads a tag name that ends within the sixteen bytes from text[from]:
// lower-cased into name (sixteen bytes), and returns where it ends; npos
// when it may not (then it is read byte by byte). Tag names are short, and
// a loop over their bytes mostly mispredicts where it ends.
[[gnu::always_inline]] inline size_t ReadTagName(std::string_view text, size_t from, char* name) {
#if defined(__SSE2__)
    if (text.size() - from < 16) return npos;
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + from));
    const auto is = [&bytes](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    // Every blank is a byte up to ' ': those, '/' and '>' are where the
    // name may end, and the first of them is looked at once more, for the
    // control bytes that are not blanks.
    const __m128i upToSpace = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(' ')), bytes);
    const __m128i ends = _mm_or_si128(upToSpace, _mm_or_si128(is('/'), is('>')));
    const auto hits = static_cast<unsigned>(_mm_movemask_epi8(ends));
    if (hits == 0) return npos;
    const size_t end = from + static_cast<size_t>(__builtin_ctz(hits));
    if (!EndsName(text[end])) return npos;
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
    const __m128i lower = _mm_add_epi8(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(name), lower);
    return end;
#else
    (void)text, (void)from, (void)name;
    return npos;
#endif
}

// The '\n' bytes of text[from, to), sixteen (or eight) at a time: pages
// are read whole for the few line numbers a report needs.
size_t CountNewlines(std::string_view text, size_t from, size_t to) {
    const char* p = text.data();
    size_t count = 0, i = from;
#if defined(__SSE2__)
    if (text.size() >= 16) {
        // Sixteen at a time: each byte of counts goes up by one per '\n' in
        // its lane, and is summed before it can overflow.
        const __m128i newline = _mm_set1_epi8('\n');
        const __m128i zero = _mm_setzero_si128();
        while (to - i >= 16) {
            __m128i counts = zero;
            const size_t end = i + std::min<size_t>(255, (to - i) / 16) * 16;
            for (; i < end; i += 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
                counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(bytes, newline));
            }
            const __m128i sums = _mm_sad_epu8(counts, zero);
            count += static_cast<size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
        }
        // The rest in one look at the sixteen bytes around it, the lanes
        // outside it left out: most calls count a few hundred bytes, and
        // loops over their last few mispredict where they end.
        const size_t start = to >= 16 ? to - 16 : 0;
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + start));
        const auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, newline)));
        const unsigned lanes = ((1u << (to - start)) - 1) & ~((1u << (i - start)) - 1);
        return count + static_cast<size_t>(std::popcount(hits & lanes));
    }
#endif
    constexpr uint64_t kOnes = 0x0101010101010101, kLow7 = 0x7F7F7F7F7F7F7F7F;
    for (; i + 8 <= to; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, p + i, 8);
        const uint64_t x = word ^ (kOnes * '\n');  // a zero byte where a '\n' was
        const uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);  // 0x80 in each
        count += static_cast<size_t>(((zeros >> 7) * kOnes) >> 56);
    }
    for (; i < to; ++i) count += p[i] == '\n' ? 1 : 0;
    return count;
}

void SetToken(Token& token, TokenKind kind, std::string_view page, size_t begin, size_t end) {
    token.attributeNames = nullptr;
    token.kind = kind;
    token.offset = begin;
    token.raw = page.substr(begin, end - begin);
    token.nameLength = 0;
    token.attributeCount = 0;
    token.afterAttributes = 0;
}

}  // namespace

bool IsRawTextElement(std::string_view name) {
    // Asked of every start tag: by length first.
    switch (name.size()) {
        case 5: return name == "style" || name == "title";
        case 6: return name == "script";
        case 8: return name == "textarea" || name == "noscript";
        default: return false;
    }
}

// Where "</name" starts (name compared without regard to case); npos when
// absent.
size_t Tokenizer::FindEndTag(size_t from, std::string_view name) {
    for (size_t lt = m_masks.Find(from, PageMasks::kTagOpen); lt != npos;
         lt = m_masks.Find(lt + 1, PageMasks::kTagOpen)) {
        if (lt + 2 + name.size() <= m_page.size() && m_page[lt + 1] == '/' &&
            EqualsIgnoringAsciiCase(m_page.substr(lt + 2, name.size()), name))
            return lt;
    }
    return npos;
}

bool Tokenizer::NextRawText(Token& token) {
    const size_t end = FindEndTag(m_pos, m_rawEnd);
    const size_t stop = end == npos ? m_page.size() : end;
    SetToken(token, TokenKind::rawText, m_page, m_pos, stop);
    m_rawEnd[0] = '\0';
    m_pos = stop;
    return true;
}

bool Tokenizer::NextStartTag(Token& token) {
    if (m_rawEnd[0] != '\0') return NextRawText(token);
    while (m_pos < m_page.size()) {
        const size_t lt = m_masks.Find(m_pos, PageMasks::kTagOpen);
        if (lt == npos) break;
        // Of an end tag only its end matters here, and a '>' before any '='
        // is it: only a '=' opens a value that may hold one.
        if (m_page.size() - lt > 2 && m_page[lt + 1] == '/' && IsAsciiAlpha(m_page[lt + 2])) {
            const size_t end = m_masks.Find(lt + 3, PageMasks::kEqualsOrEnd);
            if (end != npos && m_page[end] == '>') {
                m_pos = end + 1;
                continue;
            }
        }
        if (!NextMarkup(lt, token) || token.kind != TokenKind::startTag) continue;
        if (!m_plainPassedOver || token.attributeCount > 0 || m_rawEnd[0] != '\0' ||
            token.Name() == m_except)
            return true;
    }
    m_pos = m_page.size();
    return false;
}

void Tokenizer::SkipElement(std::string_view name) {
    Token token;
    for (int depth = 1; depth > 0 && Next(token);) {
        if ((token.kind == TokenKind::startTag || token.kind == TokenKind::endTag) &&
            token.Name() == name)
            depth += token.kind == TokenKind::startTag ? 1 : -1;
    }
}

bool Tokenizer::Next(Token& token) {
    if (m_rawEnd[0] != '\0') return NextRawText(token);
    if (m_pos >= m_page.size()) return false;
    const size_t lt = m_masks.Find(m_pos, PageMasks::kTagOpen);
    if (lt != m_pos) {
        const size_t stop = lt == npos ? m_page.size() : lt;
        SetToken(token, TokenKind::text, m_page, m_pos, stop);
        m_pos = stop;
        return true;
    }
    return NextMarkup(lt, token);
}

[[gnu::always_inline]] inline bool Tokenizer::NextMarkup(size_t lt, Token& token) {
    if (m_page.size() - lt >= 4 && m_page[lt + 1] == '!' && m_page[lt + 2] == '-' &&
        m_page[lt + 3] == '-') {
        const size_t end = m_page.find("-->", lt + 4);
        m_pos = end == npos ? m_page.size() : end + 3;
        SetToken(token, TokenKind::comment, m_page, lt, m_pos);
        return true;
    }
    const bool closing = lt + 1 < m_page.size() && m_page[lt + 1] == '/';
    const size_t nameStart = lt + (closing ? 2 : 1);
    const char first = nameStart < m_page.size() ? m_page[nameStart] : '\0';
    if (IsAsciiAlpha(first)) {
        ReadTag(lt, closing, token);
        return true;
    }
    if (!closing && (first == '!' || first == '?')) {
        // As in a browser, the first '>' ends <!DOCTYPE ...> and <?...?>.
        const size_t gt = FindByte(m_page, lt, '>');
        m_pos = gt == npos ? m_page.size() : gt + 1;
        SetToken(token, TokenKind::other, m_page, lt, m_pos);
        return true;
    }
    // A '<' that starts no tag is text, up to the next '<'.
    const size_t next = m_masks.Find(lt + 1, PageMasks::kTagOpen);
    m_pos = next == npos ? m_page.size() : next;
    SetToken(token, TokenKind::text, m_page, lt, m_pos);
    return true;
}

[[gnu::always_inline]] inline void Tokenizer::ReadTag(size_t lt, bool closing, Token& token) {
    static_assert(sizeof token.name == 16, "ReadTagName writes sixteen bytes");
    const size_t nameStart = lt + (closing ? 2 : 1);
    size_t nameEnd = ReadTagName(m_page, nameStart, token.name);
    if (nameEnd == npos) {
        nameEnd = nameStart;
        for (size_t length = 0; nameEnd < m_page.size() && !EndsName(m_page[nameEnd]); ++nameEnd)
            if (length < Token::kMaxNameLength)
                token.name[length++] = ToLowerAscii(m_page[nameEnd]);
    }
    const size_t length = std::min(nameEnd - nameStart, Token::kMaxNameLength);
    const size_t end = ReadTagAttributes(lt, nameEnd, token);
    token.kind = closing ? TokenKind::endTag : TokenKind::startTag;
    token.offset = lt;
    token.raw = m_page.substr(lt, end - lt);
    token.name[length] = '\0';
    token.nameLength = static_cast<unsigned char>(length);
    token.attributeNames = &m_wanted;
    m_pos = end;
    if (!closing && IsRawTextElement(token.Name())) std::memcpy(m_rawEnd, token.name, length + 1);
}

// Reads the attributes of the tag at lt into token (the first few; where
// the rest start) and returns where the tag ends: past its '>', or the end
// of the page when it has none. An end tag's attributes are read the same
// way, as a browser does, and then ignored.
[[gnu::always_inline]] inline size_t Tokenizer::ReadTagAttributes(size_t lt, size_t nameEnd,
                                                                  Token& token) {
    const std::string_view text = m_page.substr(lt);
    size_t pos = nameEnd - lt;
    unsigned char count = 0;
    AttributeSpan span;
    token.afterAttributes = 0;
    const PageMasksFinder find{m_masks, lt};
    while (ReadAttribute(text, pos, m_wanted, span, find)) {
        if (count == Token::kMaxAttributes) continue;
        token.attributes[count++] = span;
        if (count == Token::kMaxAttributes) token.afterAttributes = static_cast<uint32_t>(pos);
    }
    token.attributeCount = count;
    if (count < Token::kMaxAttributes) token.afterAttributes = static_cast<uint32_t>(pos);
    return pos < text.size() ? lt + pos + 1 : m_page.size();
}

namespace {

// A slot in AttributeNames' table: a name's length and first and last
// bytes, as lower case.
size_t SlotOf(std::string_view name, size_t slots) {
    const auto lower = [](char c) { return static_cast<size_t>(static_cast<uint8_t>(c) | 0x20); };
    return (name.size() * 31 + lower(name.front()) * 7 + lower(name.back())) % slots;
}

// Whether name is lower (a name asked for, in lower case) in any case:
// only name needs lowering.
bool IsNameInAnyCase(std::string_view name, std::string_view lower) {
    if (name.size() != lower.size()) return false;
    size_t i = 0;
    while (i < name.size() && ToLowerAscii(name[i]) == lower[i]) ++i;
    return i == name.size();
}

}  // namespace

AttributeNames::AttributeNames(std::span<const std::string_view> names) : m_names(names) {
    // Open addressing, each name in the first free slot from its own on.
    for (size_t i = 0; i < names.size() && i < kSlots / 2; ++i) {
        if (names[i].empty()) continue;
        size_t slot = SlotOf(names[i], kSlots);
        while (m_slots[slot] != 0) slot = (slot + 1) % kSlots;
        m_slots[slot] = static_cast<uint8_t>(i + 1);
        const auto last = static_cast<uint8_t>(names[i].back());
        m_lastBytes[last] = true;
        if (IsAsciiAlpha(static_cast<char>(last))) m_lastBytes[last & ~0x20u] = true;
    }
}

int AttributeNames::IndexOf(std::string_view name) const {
    // Most names are none of them: their slot is empty.
    if (name.empty()) return -1;
    for (size_t slot = SlotOf(name, kSlots); m_slots[slot] != 0; slot = (slot + 1) % kSlots) {
        const size_t index = m_slots[slot] - 1u;
        if (IsNameInAnyCase(name, m_names[index])) return static_cast<int>(index);
    }
    return -1;
}

bool Attributes::ReadOn(size_t& name, std::string_view& value) {
    // Only a tag's spans fill up, and a tag has its tokenizer's names.
    AttributeSpan span;
    if (!ReadAttribute(m_tag.raw, m_pos, *m_tag.attributeNames, span, TagBytesFinder{}))
        return false;
    Take(span, name, value);
    return true;
}

size_t LineCounter::LineAt(size_t offset) {
    offset = std::min(offset, m_page.size());
    if (offset < m_offset) {  // asked out of order: count from the start
        m_offset = 0;
        m_line = 1;
    }
    m_line += CountNewlines(m_page, m_offset, offset);
    m_offset = offset;
    return m_line;
}

}  // namespace folivex::html
