#include "html/Tokenizer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/Ascii.h"

namespace folivex::html {

namespace {

constexpr size_t npos = std::string_view::npos;

// Blanks, what ends a tag or attribute name, and what a tag's end is
// looked for among: one table lookup instead of a row of comparisons, for
// the loops every tag goes through.
enum CharClass : uint8_t { kBlank = 1, kNameEnd = 2, kTagStop = 4 };
constexpr std::array<uint8_t, 256> kCharClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (const char blank : {' ', '\t', '\n', '\r', '\f'})
        classes[static_cast<uint8_t>(blank)] = kBlank | kNameEnd;
    classes['/'] = kNameEnd;
    classes['>'] = kNameEnd | kTagStop;
    classes['"'] = kTagStop;
    classes['\''] = kTagStop;
    return classes;
}();

bool IsIn(char c, uint8_t classes) {
    return (kCharClasses[static_cast<uint8_t>(c)] & classes) != 0;
}

size_t FindByte(std::string_view text, size_t from, char c) {
    // Most searches end within a few bytes (the '<' after a tag, the quote
    // after a short value): look there before calling memchr.
    const size_t near = std::min(text.size(), from + 16);
    for (size_t i = from; i < near; ++i)
        if (text[i] == c) return i;
    if (near >= text.size()) return npos;
    const void* hit = std::memchr(text.data() + near, c, text.size() - near);
    return hit == nullptr ? npos : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

// Where "</name" starts (name compared without regard to case); npos when
// absent.
size_t FindEndTag(std::string_view page, size_t from, std::string_view name) {
    for (size_t lt = FindByte(page, from, '<'); lt != npos; lt = FindByte(page, lt + 1, '<')) {
        if (lt + 2 + name.size() <= page.size() && page[lt + 1] == '/' &&
            EqualsIgnoringAsciiCase(page.substr(lt + 2, name.size()), name))
            return lt;
    }
    return npos;
}

// Just past the '>' that ends the tag starting at lt, minding quoted
// attribute values; page.size() when the tag never ends. Only a quote right
// after '=' (and blanks) opens a value, as in a browser.
size_t TagEnd(std::string_view page, size_t lt) {
    for (size_t i = lt + 1; i < page.size(); ++i) {
        const char c = page[i];
        if (!IsIn(c, kTagStop)) continue;
        if (c == '>') return i + 1;
        size_t k = i;
        while (k > lt && IsAsciiSpace(page[k - 1])) --k;
        if (k > lt && page[k - 1] == '=') {
            i = FindByte(page, i + 1, c);
            if (i == npos) return page.size();
        }
    }
    return page.size();
}

// The '\n' bytes among n at p, eight at a time: pages are read whole for
// the few line numbers a report needs.
size_t CountNewlines(const char* p, size_t n) {
    constexpr uint64_t kOnes = 0x0101010101010101, kLow7 = 0x7F7F7F7F7F7F7F7F;
    size_t count = 0, i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, p + i, 8);
        const uint64_t x = word ^ (kOnes * '\n');  // a zero byte where a '\n' was
        const uint64_t zeros = ~(((x & kLow7) + kLow7) | x | kLow7);  // 0x80 in each
        count += static_cast<size_t>(((zeros >> 7) * kOnes) >> 56);
    }
    for (; i < n; ++i) count += p[i] == '\n' ? 1 : 0;
    return count;
}

bool EndsName(char c) {
    return IsIn(c, kNameEnd);
}

void SetToken(Token& token, TokenKind kind, std::string_view page, size_t begin, size_t end) {
    token.kind = kind;
    token.offset = begin;
    token.raw = page.substr(begin, end - begin);
    token.nameLength = 0;
}

}  // namespace

bool IsRawTextElement(std::string_view name) {
    return name == "script" || name == "style" || name == "title" || name == "textarea" ||
           name == "noscript";
}

bool Tokenizer::Next(Token& token) {
    if (m_rawEnd[0] != '\0') {
        const size_t end = FindEndTag(m_page, m_pos, m_rawEnd);
        const size_t stop = end == npos ? m_page.size() : end;
        SetToken(token, TokenKind::rawText, m_page, m_pos, stop);
        m_rawEnd[0] = '\0';
        m_pos = stop;
        return true;
    }
    if (m_pos >= m_page.size()) return false;
    const size_t lt = FindByte(m_page, m_pos, '<');
    if (lt != m_pos) {
        const size_t stop = lt == npos ? m_page.size() : lt;
        SetToken(token, TokenKind::text, m_page, m_pos, stop);
        m_pos = stop;
        return true;
    }
    return NextMarkup(lt, token);
}

bool Tokenizer::NextMarkup(size_t lt, Token& token) {
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
        m_pos = TagEnd(m_page, lt);
        SetToken(token, TokenKind::other, m_page, lt, m_pos);
        return true;
    }
    // A '<' that starts no tag is text, up to the next '<'.
    const size_t next = FindByte(m_page, lt + 1, '<');
    m_pos = next == npos ? m_page.size() : next;
    SetToken(token, TokenKind::text, m_page, lt, m_pos);
    return true;
}

void Tokenizer::ReadTag(size_t lt, bool closing, Token& token) {
    const size_t end = TagEnd(m_page, lt);
    SetToken(token, closing ? TokenKind::endTag : TokenKind::startTag, m_page, lt, end);
    size_t length = 0;
    for (size_t i = lt + (closing ? 2 : 1);
         i < end && !EndsName(m_page[i]) && length < Token::kMaxNameLength; ++i)
        token.name[length++] = ToLowerAscii(m_page[i]);
    token.name[length] = '\0';
    token.nameLength = static_cast<unsigned char>(length);
    m_pos = end;
    if (!closing && IsRawTextElement(token.Name())) std::memcpy(m_rawEnd, token.name, length + 1);
}

Attributes::Attributes(const Token& tag) : m_text(tag.raw) {
    // Past "<" and the name.
    m_pos = 1;
    while (m_pos < m_text.size() && !EndsName(m_text[m_pos])) ++m_pos;
}

bool Attributes::Next(std::string_view& name, std::string_view& value) {
    while (m_pos < m_text.size() && IsIn(m_text[m_pos], kNameEnd) && m_text[m_pos] != '>') ++m_pos;
    if (m_pos >= m_text.size() || m_text[m_pos] == '>') return false;
    const size_t nameStart = m_pos;
    ++m_pos;  // a name may start with '=' (then it is part of the name)
    while (m_pos < m_text.size() && !EndsName(m_text[m_pos]) && m_text[m_pos] != '=') ++m_pos;
    const size_t nameLength = std::min(m_pos - nameStart, sizeof m_name - 1);
    for (size_t i = 0; i < nameLength; ++i) m_name[i] = ToLowerAscii(m_text[nameStart + i]);
    m_name[nameLength] = '\0';
    name = std::string_view(m_name, nameLength);
    value = {};

    size_t k = m_pos;
    while (k < m_text.size() && IsIn(m_text[k], kBlank)) ++k;
    if (k >= m_text.size() || m_text[k] != '=') return true;
    ++k;
    while (k < m_text.size() && IsIn(m_text[k], kBlank)) ++k;
    if (k < m_text.size() && (m_text[k] == '"' || m_text[k] == '\'')) {
        const size_t close = FindByte(m_text, k + 1, m_text[k]);
        const size_t stop = close == npos ? m_text.size() : close;
        value = m_text.substr(k + 1, stop - k - 1);
        m_pos = close == npos ? m_text.size() : close + 1;
        return true;
    }
    size_t stop = k;
    while (stop < m_text.size() && !IsIn(m_text[stop], kBlank) && m_text[stop] != '>') ++stop;
    value = m_text.substr(k, stop - k);
    m_pos = stop;
    return true;
}

size_t LineCounter::LineAt(size_t offset) {
    offset = std::min(offset, m_page.size());
    if (offset < m_offset) {  // asked out of order: count from the start
        m_offset = 0;
        m_line = 1;
    }
    m_line += CountNewlines(m_page.data() + m_offset, offset - m_offset);
    m_offset = offset;
    return m_line;
}

}  // namespace folivex::html
