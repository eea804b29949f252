#include "html/References.h"

#include <algorithm>

#include "html/CharacterReference.h"
#include "html/Tokenizer.h"
#include "platform/Ascii.h"

namespace folivex::html {

namespace {

// Which attribute of which element names something the page loads or links
// to.
struct ReferenceAttribute {
    std::string_view attribute;
    std::string_view elements;  // blank-separated, with a blank at both ends
    bool navigation;
};
constexpr ReferenceAttribute kReferenceAttributes[] = {
    {"href", " a area ", true},
    {"href", " link ", false},
    {"src", " img script iframe frame embed audio video source track input ", false},
    {"data", " object ", false},
    {"poster", " video ", false},
    {"background", " body table td th ", false},
};

bool IsReferenceAttribute(std::string_view element, std::string_view attribute, bool& navigation) {
    for (const ReferenceAttribute& r : kReferenceAttributes) {
        if (r.attribute != attribute) continue;
        const size_t at = r.elements.find(element);
        if (at != std::string_view::npos && r.elements[at - 1] == ' ' &&
            r.elements[at + element.size()] == ' ') {
            navigation = r.navigation;
            return true;
        }
    }
    return false;
}

// Every attribute that can name a reference or an anchor: the tokenizer
// keeps these and spares the names of the ones most tags carry (class,
// title, alt, ...).
constexpr std::string_view kAttributesRead[] = {"href",       "src",   "srcset", "data", "poster",
                                                "background", "style", "id",     "name"};

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsAsciiSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool StartsWithIgnoringCase(std::string_view text, size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() &&
           EqualsIgnoringAsciiCase(text.substr(at, prefix.size()), prefix);
}

void AddReference(std::vector<Reference>& out, std::string_view raw, size_t line, bool navigation) {
    std::string target = DecodeCharacterReferences(TrimBlanks(raw));
    // A blank written as a character reference is a blank too.
    if (const std::string_view trimmed = TrimBlanks(target); trimmed.size() != target.size())
        target = std::string(trimmed);
    if (!target.empty()) out.push_back(Reference{std::move(target), line, navigation});
}

// The URLs of a srcset: candidates separated by commas, each a URL and an
// optional descriptor ("a.png 2x, b.png 480w").
void AddSrcset(std::vector<Reference>& out, std::string_view value, size_t line) {
    const std::string decoded = DecodeCharacterReferences(value);
    std::string_view rest = decoded;
    while (!rest.empty()) {
        while (!rest.empty() && (IsAsciiSpace(rest.front()) || rest.front() == ','))
            rest.remove_prefix(1);
        size_t end = 0;
        while (end < rest.size() && !IsAsciiSpace(rest[end])) ++end;
        std::string_view url = rest.substr(0, end);
        while (!url.empty() && url.back() == ',') url.remove_suffix(1);
        if (!url.empty()) out.push_back(Reference{std::string(url), line, false});
        const size_t comma = rest.find(',', end);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
}

// A CSS string or url(...) body starting at css[at] (after "url(" or at a
// quote). Sets end past it; backslash escapes of one character are undone.
std::string ReadCssValue(std::string_view css, size_t at, bool inUrl, size_t& end) {
    std::string value;
    const char quote = at < css.size() && (css[at] == '"' || css[at] == '\'') ? css[at] : 0;
    size_t i = quote != 0 ? at + 1 : at;
    for (; i < css.size(); ++i) {
        const char c = css[i];
        if (quote != 0 ? c == quote : (c == ')' || c == '\n')) break;
        if (c == '\\' && i + 1 < css.size()) {
            value += css[++i];
            continue;
        }
        value += c;
    }
    end = i + 1;
    if (inUrl && quote != 0) {  // past the closing parenthesis
        const size_t close = css.find(')', end);
        end = close == std::string_view::npos ? css.size() : close + 1;
    }
    return std::string(TrimBlanks(value));
}

class PageReader {
public:
    explicit PageReader(std::string_view page) : m_page(page), m_lines(page) {}

    PageReferences Read() {
        Tokenizer tokens(m_page, AttributeNames(kAttributesRead));
        Token token;
        bool inStyle = false;  // the last start tag was <style>: its raw text comes next
        while (tokens.NextStartTag(token)) {
            if (token.kind == TokenKind::rawText) {
                if (inStyle) TakeStyleSheet(token);
            } else if (token.Name() == "template") {
                // A template's content is not part of the page until a
                // script puts it there; references inside it are not the
                // page's.
                tokens.SkipElement("template");
            } else {
                inStyle = token.Name() == "style";
                TakeTag(token);
            }
        }
        return std::move(m_found);
    }

private:
    void TakeStyleSheet(const Token& text) {
        for (Reference& r : ExtractCssReferences(text.raw, m_lines.LineAt(text.offset)))
            m_found.references.push_back(std::move(r));
    }

    void TakeTag(const Token& tag) {
        // Counted only for a tag that holds a reference: most hold none.
        size_t line = 0;
        auto lineOfTag = [&] { return line != 0 ? line : (line = m_lines.LineAt(tag.offset)); };
        Attributes attributes(tag);
        std::string_view name, value;
        while (attributes.Next(name, value)) {
            bool navigation = false;
            if (IsReferenceAttribute(tag.Name(), name, navigation)) {
                AddReference(m_found.references, value, lineOfTag(), navigation);
            } else if (name == "srcset" && (tag.Name() == "img" || tag.Name() == "source")) {
                AddSrcset(m_found.references, value, lineOfTag());
            } else if (name == "style") {
                for (Reference& r :
                     ExtractCssReferences(DecodeCharacterReferences(value), lineOfTag()))
                    m_found.references.push_back(std::move(r));
            } else if (name == "id" || (name == "name" && tag.Name() == "a")) {
                std::string anchor = DecodeCharacterReferences(value);
                // <a id="x" name="x">: one anchor.
                auto& anchors = m_found.anchors;
                if (!anchor.empty() && (anchors.empty() || anchors.back() != anchor))
                    anchors.push_back(std::move(anchor));
            }
        }
    }

    std::string_view m_page;
    LineCounter m_lines;
    PageReferences m_found;
};

}  // namespace

PageReferences ExtractPageReferences(std::string_view page) {
    return PageReader(page).Read();
}

std::vector<Reference> ExtractCssReferences(std::string_view css, size_t firstLine) {
    std::vector<Reference> found;
    size_t line = firstLine;
    bool afterImport = false;
    for (size_t i = 0; i < css.size();) {
        const char c = css[i];
        size_t end = i + 1;
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const size_t close = css.find("*/", i + 2);
            end = close == std::string_view::npos ? css.size() : close + 2;
        } else if (StartsWithIgnoringCase(css, i, "url(")) {
            size_t at = i + 4;
            while (at < css.size() && IsAsciiSpace(css[at])) ++at;
            const std::string url = ReadCssValue(css, at, true, end);
            if (!url.empty()) found.push_back(Reference{url, line, false});
            afterImport = false;
        } else if (c == '"' || c == '\'') {
            const std::string text = ReadCssValue(css, i, false, end);
            if (afterImport && !text.empty()) found.push_back(Reference{text, line, false});
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
    return found;
}

}  // namespace folivex::html
