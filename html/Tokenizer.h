// A tolerant HTML tokenizer: splits a page into text, tags and comments the
// way a browser reads them, for the readers of page text (search, titles)
// and of references (the link report).
//
// It never fails and allocates nothing: every token is a view into the page.
// What it handles as a browser does: comments, <!DOCTYPE> and <?...?>,
// quoted attribute values holding ">", the raw text of script, style, title,
// textarea and noscript (no markup inside, up to the matching end tag), and
// a "<" that starts no tag (it is text). What it leaves out: the tree
// (implied and misnested tags), CDATA sections outside foreign content,
// and the decoding of character references (see CharacterReference.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace folivex::html {

enum class TokenKind {
    text,      // text between tags, references not decoded
    rawText,   // the whole content of a raw-text element (see above)
    startTag,  // <name attributes...> or <name .../>
    endTag,    // </name>
    comment,   // <!-- ... -->
    other,     // <!DOCTYPE ...>, <?...?>, <!...>
};

// The attribute names a reader of tags asks for (at most 32, in lower
// case): the tokenizer keeps only those attributes, and does not read the
// names of the others. The names are not copied.
class AttributeNames {
public:
    AttributeNames() = default;
    explicit AttributeNames(std::span<const std::string_view> names);
    // Whether a name ending in c may be one of them: a look at one byte
    // that spares most names being read at all.
    bool MayEnd(char c) const { return m_lastBytes[static_cast<uint8_t>(c)]; }
    // Which of the names name is, in any case; -1 when none.
    int IndexOf(std::string_view name) const;

private:
    static constexpr size_t kSlots = 64;  // at most half of them used
    std::span<const std::string_view> m_names;
    uint8_t m_slots[kSlots] = {};  // index + 1 of the name there; 0: free
    bool m_lastBytes[256] = {};    // the last bytes of the names, in either case
};

// Where an asked-for attribute's value lies in its tag's raw bytes, and
// which of the names it has.
struct AttributeSpan {
    uint32_t value = 0;
    uint32_t valueLength = 0;
    uint8_t name = 0;
};

struct Token {
    TokenKind kind = TokenKind::text;
    std::string_view raw;  // the token's bytes in the page
    size_t offset = 0;     // where raw starts in the page

    // Tags: the name, lower-cased ASCII, at most kMaxNameLength bytes (a
    // longer name is cut there, which no element we look for has).
    static constexpr size_t kMaxNameLength = 15;
    char name[kMaxNameLength + 1] = {};
    unsigned char nameLength = 0;
    std::string_view Name() const { return std::string_view(name, nameLength); }

    // Tags: the first kMaxAttributes of the attributes asked for, as the
    // tokenizer read them on its way to the tag's end, so that Attributes
    // need not read them again; the rest are read from afterAttributes (an
    // offset in raw) on.
    static constexpr size_t kMaxAttributes = 8;
    const AttributeNames* attributeNames = nullptr;
    AttributeSpan attributes[kMaxAttributes] = {};
    unsigned char attributeCount = 0;
    uint32_t afterAttributes = 0;
};

// script, style, title, textarea and noscript: their content is text up to
// their end tag, never markup (a browser with scripting on reads noscript
// so, too). name is lower case.
bool IsRawTextElement(std::string_view name);

// Where the bytes that steer a tokenizer lie in its page ('<', '=' or '>',
// and quotes), found 64 at a time: one look at a block answers every search
// that starts in it, where each search of its own read the same bytes again.
class PageMasks {
public:
    enum Kind { kTagOpen, kEqualsOrEnd, kQuote, kKinds };
    explicit PageMasks(std::string_view page) : m_page(page) {}
    // The first byte of kind at or after from; npos when there is none.
    size_t Find(size_t from, Kind kind);

private:
    void Load(size_t block);

    std::string_view m_page;
    size_t m_block = std::string_view::npos;  // where the block of m_bits starts
    uint64_t m_bits[kKinds] = {};             // bit i: byte m_block + i is of that kind
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view page, AttributeNames wanted = {})
        : m_page(page), m_wanted(wanted), m_masks(page) {}

    // The next token; false at the end of the page.
    bool Next(Token& token);
    // The next start tag, or the raw text after one (script, style, ...),
    // for readers of start tags: end tags, text and comments are stepped
    // over.
    bool NextStartTag(Token& token);
    // From now on NextStartTag also steps over the start tags that carry no
    // attribute asked for and start no raw text, but those named except
    // (lower case): a reader of attributes has nothing to do with them, and
    // most tags are such.
    void PassOverPlainStartTags(std::string_view except) {
        m_plainPassedOver = true;
        m_except = except;
    }
    // Steps over the content of the element whose start tag came last, up
    // to and with its end tag (name, lower case); elements of the same name
    // inside it are counted.
    void SkipElement(std::string_view name);

private:
    bool NextMarkup(size_t lt, Token& token);
    bool NextRawText(Token& token);
    void ReadTag(size_t lt, bool closing, Token& token);
    size_t ReadTagAttributes(size_t lt, size_t nameEnd, Token& token);
    size_t FindEndTag(size_t from, std::string_view name);

    std::string_view m_page;
    AttributeNames m_wanted;
    PageMasks m_masks;
    size_t m_pos = 0;
    // Set after the start tag of a raw-text element: its content comes next.
    char m_rawEnd[Token::kMaxNameLength + 1] = {};
    bool m_plainPassedOver = false;
    std::string_view m_except;
};

// The attributes of a tag that its tokenizer was asked for and that are
// written with a value (name=value, quoted or not), one by one; bare names
// are left out. Read while the tokenizer is alive.
class Attributes {
public:
    explicit Attributes(const Token& tag) : m_tag(tag), m_pos(tag.afterAttributes) {}
    // The next attribute; false after the last. name: which of the names
    // asked for it has (their index); value: the raw value without its
    // quotes, references not decoded; it may be empty ("").
    bool Next(size_t& name, std::string_view& value) {
        if (m_next < m_tag.attributeCount) {
            Take(m_tag.attributes[m_next++], name, value);
            return true;
        }
        // Only a tag whose spans are full may have more.
        return m_tag.attributeCount == Token::kMaxAttributes && ReadOn(name, value);
    }

private:
    void Take(const AttributeSpan& span, size_t& name, std::string_view& value) const {
        name = span.name;
        value = m_tag.raw.substr(span.value, span.valueLength);
    }
    // The attributes after the tag's spans, read from its raw bytes.
    bool ReadOn(size_t& name, std::string_view& value);

    const Token& m_tag;
    size_t m_next = 0;  // the next of the tag's attribute spans
    size_t m_pos = 0;   // in the tag's raw bytes, once the spans are used up
};

// Line numbers (from 1) of offsets that grow from call to call.
class LineCounter {
public:
    explicit LineCounter(std::string_view page) : m_page(page) {}
    size_t LineAt(size_t offset);

private:
    std::string_view m_page;
    size_t m_offset = 0;
    size_t m_line = 1;
};

}  // namespace folivex::html
