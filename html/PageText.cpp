#include "html/PageText.h"

#include <initializer_list>

#include "html/CharacterReference.h"
#include "html/Tokenizer.h"
#include "platform/Ascii.h"
#include "platform/Utf8.h"

namespace folivex::html {

namespace {

// Inline tags do not separate words ("H<sub>2</sub>O" stays one word). By
// first letter, since this is asked for every tag of every page indexed.
bool IsInlineTag(std::string_view name) {
    if (name.empty() || name.size() > 6) return false;
    auto any = [name](std::initializer_list<std::string_view> names) {
        for (std::string_view n : names)
            if (name == n) return true;
        return false;
    };
    switch (name[0]) {
        case 'a': return any({"a", "abbr"});
        case 'b': return any({"b", "bdi", "bdo", "big"});
        case 'c': return any({"cite", "code"});
        case 'd': return any({"del", "dfn"});
        case 'e': return name == "em";
        case 'f': return name == "font";
        case 'i': return any({"i", "ins"});
        case 'k': return name == "kbd";
        case 'm': return name == "mark";
        case 'q': return name == "q";
        case 's': return any({"s", "samp", "small", "span", "strike", "strong", "sub", "sup"});
        case 't': return name == "tt";
        case 'u': return name == "u";
        case 'v': return name == "var";
        case 'w': return name == "wbr";
        default: return false;
    }
}

bool IsHeading(std::string_view name) {
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

// Appends text with references decoded and blanks collapsed.
class TextSink {
public:
    explicit TextSink(std::string& out) : m_out(out) {}
    void Break() {
        if (!m_out.empty() && m_out.back() != ' ') m_out.push_back(' ');
    }
    void Append(std::string_view raw) {
        size_t i = 0;
        while (i < raw.size()) {
            const char c = raw[i];
            if (IsAsciiSpace(c)) {
                Break();
                ++i;
            } else if (c == '&') {
                i += AppendReference(raw, i);
            } else {
                size_t j = i + 1;
                while (j < raw.size() && !IsAsciiSpace(raw[j]) && raw[j] != '&') ++j;
                m_out.append(raw.data() + i, j - i);
                i = j;
            }
        }
    }

private:
    // The bytes used at raw[i] ('&'): a reference, or the '&' alone.
    size_t AppendReference(std::string_view raw, size_t i) {
        size_t length = 0;
        const char32_t cp = DecodeCharacterReference(raw, i, length);
        if (cp == 0) {
            m_out.push_back('&');
            return 1;
        }
        if (cp == 0xA0 || cp == ' ')
            Break();
        else
            AppendUtf8(m_out, cp);
        return length;
    }

    std::string& m_out;
};

std::string Trimmed(std::string s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

std::string CollapsedText(std::string_view raw) {
    std::string out;
    TextSink(out).Append(raw);
    return Trimmed(std::move(out));
}

// Gathers the body's text, the title and the first heading from the tokens
// of a page. When titleOnly, the body is not gathered, and the walk stops
// once a title or heading is known.
class TextWalk {
public:
    explicit TextWalk(bool titleOnly)
        : m_titleOnly(titleOnly), m_body(titleOnly ? m_scratch : m_page.text) {}

    PageText Run(std::string_view html) {
        if (!m_titleOnly) m_page.text.reserve(html.size() / 2);
        Tokenizer tokens(html);
        Token token;
        while (tokens.Next(token) && !Done()) Take(token);
        if (m_inHeading && m_page.heading.empty()) m_page.heading = CollapsedText(m_headingRaw);
        if (!m_titleOnly) m_page.text = Trimmed(std::move(m_page.text));
        return std::move(m_page);
    }

private:
    bool Done() const { return m_titleOnly && (!m_page.title.empty() || m_headingDone); }

    void Take(const Token& token) {
        switch (token.kind) {
            case TokenKind::text: TakeText(token.raw); break;
            case TokenKind::rawText: TakeRawText(token.raw); break;
            case TokenKind::startTag: TakeTag(token.Name(), false); break;
            case TokenKind::endTag: TakeTag(token.Name(), true); break;
            case TokenKind::comment:
            case TokenKind::other: break;
        }
    }

    void TakeText(std::string_view raw) {
        if (!m_titleOnly) m_body.Append(raw);
        if (m_inHeading) m_headingRaw.append(raw);
    }

    // The content of script, style, title, textarea or noscript: of these,
    // only a title and a text area's text are text.
    void TakeRawText(std::string_view raw) {
        if (m_rawElement == "title" && m_page.title.empty()) {
            m_page.title = CollapsedText(raw);
        } else if (m_rawElement == "textarea" && !m_titleOnly) {
            m_body.Break();
            m_body.Append(raw);
        }
        m_body.Break();
    }

    void TakeTag(std::string_view name, bool closing) {
        if (IsRawTextElement(name)) {
            // Its content comes as the next token; the end tag adds nothing.
            if (!closing) m_rawElement = name;
            return;
        }
        if (IsHeading(name)) TakeHeadingTag(closing);
        if (!IsInlineTag(name)) {
            if (!m_titleOnly) m_body.Break();
            if (m_inHeading) m_headingRaw.push_back(' ');
        }
    }

    void TakeHeadingTag(bool closing) {
        if (!closing && !m_headingDone) {
            m_inHeading = true;
        } else if (closing && m_inHeading) {
            m_inHeading = false;
            m_page.heading = CollapsedText(m_headingRaw);
            m_headingRaw.clear();
            m_headingDone = !m_page.heading.empty();
        }
    }

    const bool m_titleOnly;
    PageText m_page;
    std::string m_scratch;
    TextSink m_body;
    std::string m_headingRaw;
    std::string m_rawElement;
    bool m_inHeading = false;
    bool m_headingDone = false;
};

}  // namespace

PageText ExtractPageText(std::string_view html) {
    return TextWalk(false).Run(html);
}

std::string ExtractTitle(std::string_view html) {
    PageText page = TextWalk(true).Run(html);
    return !page.title.empty() ? page.title : page.heading;
}

}  // namespace folivex::html
