#include "html/References.h"

#include <algorithm>
#include <iterator>
#include <limits>

#include "html/CharacterReference.h"
#include "html/Tokenizer.h"
#include "platform/Ascii.h"

namespace folivex::html {

namespace {

// Every attribute that can name a reference or an anchor: the tokenizer
// keeps these and spares the names of the ones most tags carry (class,
// title, alt, ...).
enum Attribute : uint8_t { kHref, kSrc, kSrcset, kData, kPoster, kBackground, kStyle, kId, kName };
constexpr std::string_view kAttributesRead[] = {"href",       "src",   "srcset", "data", "poster",
                                                "background", "style", "id",     "name"};
static_assert(std::size(kAttributesRead) == kName + 1);

// Which attribute of which element names something the page loads or links
// to.
struct ReferenceAttribute {
    Attribute attribute;
    std::string_view element;
    bool navigation = false;
};
constexpr ReferenceAttribute kReferenceAttributes[] = {
    {kHref, "a", true},     {kHref, "area", true}, {kHref, "link"},     {kSrc, "img"},
    {kSrc, "script"},       {kSrc, "iframe"},      {kSrc, "frame"},     {kSrc, "embed"},
    {kSrc, "audio"},        {kSrc, "video"},       {kSrc, "source"},    {kSrc, "track"},
    {kSrc, "input"},        {kData, "object"},     {kPoster, "video"},  {kBackground, "body"},
    {kBackground, "table"}, {kBackground, "td"},   {kBackground, "th"},
};

bool IsReferenceAttribute(std::string_view element, size_t attribute, bool& navigation) {
    for (const ReferenceAttribute& r : kReferenceAttributes) {
        if (r.attribute == attribute && r.element == element) {
            navigation = r.navigation;
            return true;
        }
    }
    return false;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsAsciiSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool StartsWithIgnoringCase(std::string_view text, size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() &&
           EqualsIgnoringAsciiCase(text.substr(at, prefix.size()), prefix);
}

TextSpan SpanOf(size_t at, size_t length) {
    return {static_cast<uint32_t>(at), static_cast<uint32_t>(length)};
}

// What was appended to text from `start` on, blanks trimmed in place.
TextSpan TrimKept(std::string& text, size_t start) {
    size_t end = text.size();
    while (end > start && IsAsciiSpace(text[end - 1])) --end;
    size_t begin = start;
    while (begin < end && IsAsciiSpace(text[begin])) ++begin;
    text.erase(start, begin - start);
    text.resize(start + (end - begin));
    return SpanOf(start, end - begin);
}

void AddReference(PageReferences& found, std::string_view raw, size_t line, bool navigation) {
    const size_t start = found.text.size();
    AppendDecodedCharacterReferences(found.text, TrimBlanks(raw));
    // A blank written as a character reference is a blank too.
    const TextSpan target = TrimKept(found.text, start);
    if (target.length > 0)
        found.references.push_back(Reference{target, static_cast<uint32_t>(line), navigation});
}

void AddAnchor(PageReferences& found, std::string_view raw) {
    const size_t start = found.text.size();
    AppendDecodedCharacterReferences(found.text, raw);
    const TextSpan anchor = SpanOf(start, found.text.size() - start);
    // <a id="x" name="x">: one anchor. Most anchors differ from the one
    // before in their last byte (l00041, l00042): looked at first.
    auto& anchors = found.anchors;
    const std::string_view text = found.Text(anchor);
    const auto sameAsLast = [&] {
        const std::string_view last = found.Text(anchors.back());
        return last.size() == text.size() && last.back() == text.back() && last == text;
    };
    if (anchor.length == 0 || (!anchors.empty() && sameAsLast()))
        found.text.resize(start);
    else
        anchors.push_back(anchor);
}

// The URLs of a srcset, its character references decoded: candidates
// separated by commas, each a URL and an optional descriptor ("a.png 2x,
// b.png 480w").
void AddSrcset(PageReferences& found, std::string_view decoded, size_t line) {
    std::string_view rest = decoded;
    while (!rest.empty()) {
        while (!rest.empty() && (IsAsciiSpace(rest.front()) || rest.front() == ','))
            rest.remove_prefix(1);
        size_t end = 0;
        while (end < rest.size() && !IsAsciiSpace(rest[end])) ++end;
        std::string_view url = rest.substr(0, end);
        while (!url.empty() && url.back() == ',') url.remove_suffix(1);
        if (!url.empty())
            found.references.push_back(
                Reference{found.Keep(url), static_cast<uint32_t>(line), false});
        const size_t comma = rest.find(',', end);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
}

// A CSS string or url(...) body starting at css[at] (after "url(" or at a
// quote), appended to out with backslash escapes of one character undone.
// Sets end past it.
void ReadCssValue(std::string_view css, size_t at, bool inUrl, size_t& end, std::string& out) {
    const char quote = at < css.size() && (css[at] == '"' || css[at] == '\'') ? css[at] : 0;
    size_t i = quote != 0 ? at + 1 : at;
    for (; i < css.size(); ++i) {
        const char c = css[i];
        if (quote != 0 ? c == quote : (c == ')' || c == '\n')) break;
        if (c == '\\' && i + 1 < css.size()) {
            out += css[++i];
            continue;
        }
        out += c;
    }
    end = i + 1;
    if (inUrl && quote != 0) {  // past the closing parenthesis
        const size_t close = css.find(')', end);
        end = close == std::string_view::npos ? css.size() : close + 1;
    }
}

// Adds the references of a style sheet that starts on line firstLine.
void AddCssReferences(PageReferences& found, std::string_view css, size_t firstLine) {
    size_t line = firstLine;
    bool afterImport = false;
    // A value read at i: kept when it names something.
    const auto readValue = [&](size_t at, bool inUrl, size_t& end, bool names) {
        const size_t start = found.text.size();
        ReadCssValue(css, at, inUrl, end, found.text);
        const TextSpan value = TrimKept(found.text, start);
        if (names && value.length > 0)
            found.references.push_back(Reference{value, static_cast<uint32_t>(line), false});
        else
            found.text.resize(start);
    };
    for (size_t i = 0; i < css.size();) {
        const char c = css[i];
        size_t end = i + 1;
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const size_t close = css.find("*/", i + 2);
            end = close == std::string_view::npos ? css.size() : close + 2;
        } else if (StartsWithIgnoringCase(css, i, "url(")) {
            size_t at = i + 4;
            while (at < css.size() && IsAsciiSpace(css[at])) ++at;
            readValue(at, true, end, true);
            afterImport = false;
        } else if (c == '"' || c == '\'') {
            readValue(i, false, end, afterImport);
            afterImport = false;
        } else if (StartsWithIgnoringCase(css, i, "@import")) {
            afterImport = true;
            end = i + 7;
        } else if (c == ';') {
            afterImport = false;
        }
        end = std::min(end, css.size());
        line +=
            static_cast<size_t>(std::count(css.begin() + static_cast<std::ptrdiff_t>(i),
                                           css.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
        i = end;
    }
}

// A page's references are gathered in buffers kept for the next page, and
// handed back in allocations of their exact size (or lent until the reader
// is done with them): grown by doubling, the text and lists of every page
// would leave up to half of what the link report keeps of a book unused,
// and each page would grow them anew.
ObjectPool<PageReferences>::Loan LendEmptyBuffers() {
    static ObjectPool<PageReferences> buffers;
    auto found = buffers.Lend();
    // What one very large page made them grow to is not kept.
    constexpr size_t kKeptBytes = 1 << 20;
    if (found->text.capacity() + found->references.capacity() * sizeof(Reference) +
            found->anchors.capacity() * sizeof(TextSpan) >
        kKeptBytes)
        *found = PageReferences();
    found->text.clear();
    found->references.clear();
    found->anchors.clear();
    return found;
}

class PageReader {
public:
    PageReader(std::string_view page, PageReferences& found)
        : m_page(page), m_lines(page), m_found(found) {}

    void Read() {
        constexpr std::string_view kTemplate = "template";
        Tokenizer tokens(m_page, AttributeNames(kAttributesRead));
        tokens.PassOverPlainStartTags(kTemplate);
        Token token;
        bool inStyle = false;  // the last start tag was <style>: its raw text comes next
        while (tokens.NextStartTag(token)) {
            if (token.kind == TokenKind::rawText) {
                if (inStyle) TakeStyleSheet(token);
            } else if (token.Name() == kTemplate) {
                // A template's content is not part of the page until a
                // script puts it there; references inside it are not the
                // page's.
                tokens.SkipElement(kTemplate);
            } else {
                inStyle = token.Name() == "style";
                // One that starts raw text may carry no attribute asked for.
                if (token.attributeCount > 0) TakeTag(token);
            }
        }
    }

private:
    void TakeStyleSheet(const Token& text) {
        AddCssReferences(m_found, text.raw, m_lines.LineAt(text.offset));
    }

    // value with its character references decoded, in a string kept from
    // value to value.
    std::string_view Decoded(std::string_view value) {
        m_decoded.clear();
        AppendDecodedCharacterReferences(m_decoded, value);
        return m_decoded;
    }

    void TakeTag(const Token& tag) {
        // Counted only for a tag that holds a reference: most hold none.
        size_t line = 0;
        auto lineOfTag = [&] { return line != 0 ? line : (line = m_lines.LineAt(tag.offset)); };
        Attributes attributes(tag);
        const std::string_view element = tag.Name();
        size_t attribute = 0;
        std::string_view value;
        while (attributes.Next(attribute, value)) {
            bool navigation = false;
            if (attribute == kSrcset) {
                if (element == "img" || element == "source")
                    AddSrcset(m_found, Decoded(value), lineOfTag());
            } else if (attribute == kStyle) {
                AddCssReferences(m_found, Decoded(value), lineOfTag());
            } else if (attribute == kId || (attribute == kName && element == "a")) {
                AddAnchor(m_found, value);
            } else if (IsReferenceAttribute(element, attribute, navigation)) {
                AddReference(m_found, value, lineOfTag(), navigation);
            }
        }
    }

    std::string_view m_page;
    LineCounter m_lines;
    PageReferences& m_found;
    std::string m_decoded;
};

// What TextSpan can point into.
std::string_view UpTo4GiB(std::string_view text) {
    return text.substr(0, std::numeric_limits<uint32_t>::max());
}

}  // namespace

PageReferences ExtractPageReferences(std::string_view page) {
    return *LendPageReferences(page);
}

LentReferences LendPageReferences(std::string_view page) {
    auto found = LendEmptyBuffers();
    PageReader(UpTo4GiB(page), *found).Read();
    return found;
}

TextSpan PageReferences::Keep(std::string_view s) {
    const TextSpan span = SpanOf(text.size(), s.size());
    text.append(s);
    return span;
}

PageReferences ExtractCssReferences(std::string_view css, size_t firstLine) {
    return *LendCssReferences(css, firstLine);
}

LentReferences LendCssReferences(std::string_view css, size_t firstLine) {
    auto found = LendEmptyBuffers();
    AddCssReferences(*found, UpTo4GiB(css), firstLine);
    return found;
}

}  // namespace folivex::html
