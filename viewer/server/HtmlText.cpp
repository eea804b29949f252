#include "viewer/server/HtmlText.h"

#include <cctype>
#include <cstring>

#include "viewer/server/TextDecode.h"

namespace folivex::text {

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Inline tags do not separate words ("H<sub>2</sub>O" stays one word).
bool IsInlineTag(std::string_view name) {
    static constexpr std::string_view kInline[] = {
        "a",    "abbr",   "b",      "bdi", "bdo", "big",  "cite", "code", "del",  "dfn",
        "em",   "font",   "i",      "ins", "kbd", "mark", "q",    "s",    "samp", "small",
        "span", "strike", "strong", "sub", "sup", "tt",   "u",    "var",  "wbr"};
    for (std::string_view t : kInline)
        if (name == t) return true;
    return false;
}

// Finds "</name" without regard to case from pos; npos when absent.
size_t FindClosingTag(std::string_view html, size_t pos, std::string_view name) {
    while (pos < html.size()) {
        const void* hit = std::memchr(html.data() + pos, '<', html.size() - pos);
        if (!hit) return std::string_view::npos;
        size_t lt = static_cast<size_t>(static_cast<const char*>(hit) - html.data());
        if (lt + 1 + name.size() < html.size() && html[lt + 1] == '/') {
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i)
                same = LowerAscii(html[lt + 2 + i]) == name[i];
            if (same) return lt;
        }
        pos = lt + 1;
    }
    return std::string_view::npos;
}

// Index just past the '>' that ends the tag starting at pos, minding quoted
// attribute values; html.size() when the tag never ends.
size_t SkipTag(std::string_view html, size_t pos) {
    char quote = 0;
    for (size_t i = pos + 1; i < html.size(); ++i) {
        char c = html[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            // Only a quote right after '=' (and blanks) opens a value.
            size_t k = i;
            while (k > pos && IsSpace(html[k - 1])) --k;
            if (k > pos && html[k - 1] == '=') quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
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
            char c = raw[i];
            if (IsSpace(c)) {
                Break();
                ++i;
            } else if (c == '&') {
                size_t len = 0;
                char32_t cp = DecodeCharacterReference(raw, i, len);
                if (cp) {
                    if (cp == 0xA0 || cp == ' ')
                        Break();
                    else
                        AppendUtf8(m_out, cp);
                    i += len;
                } else {
                    m_out.push_back('&');
                    ++i;
                }
            } else {
                size_t j = i + 1;
                while (j < raw.size() && !IsSpace(raw[j]) && raw[j] != '&') ++j;
                m_out.append(raw.data() + i, j - i);
                i = j;
            }
        }
    }

private:
    std::string& m_out;
};

std::string Trimmed(std::string s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

// Walks the page. When titleOnly, stops once a title or heading is known.
PageText Walk(std::string_view html, bool titleOnly) {
    PageText page;
    page.text.reserve(titleOnly ? 0 : html.size() / 2);
    std::string scratch;
    TextSink body(titleOnly ? scratch : page.text);
    std::string headingRaw;
    bool inHeading = false, headingDone = false;
    size_t pos = 0;
    while (pos < html.size()) {
        const void* hit = std::memchr(html.data() + pos, '<', html.size() - pos);
        size_t lt =
            hit ? static_cast<size_t>(static_cast<const char*>(hit) - html.data()) : html.size();
        if (lt > pos) {
            std::string_view chunk = html.substr(pos, lt - pos);
            if (!titleOnly) body.Append(chunk);
            if (inHeading) headingRaw.append(chunk);
        }
        if (lt >= html.size()) break;
        pos = lt;
        if (html.compare(pos, 4, "<!--") == 0) {
            size_t end = html.find("-->", pos + 4);
            pos = end == std::string_view::npos ? html.size() : end + 3;
            continue;
        }
        bool closing = pos + 1 < html.size() && html[pos + 1] == '/';
        size_t nameStart = pos + (closing ? 2 : 1);
        if (nameStart >= html.size()) break;
        char first = html[nameStart];
        bool isTag = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
        if (!isTag && !closing && (first == '!' || first == '?')) {
            pos = SkipTag(html, pos);
            continue;
        }
        if (!isTag) {
            if (!titleOnly) body.Append("<");
            if (inHeading) headingRaw.push_back('<');
            ++pos;
            continue;
        }
        char name[12];
        size_t nameLen = 0;
        size_t k = nameStart;
        while (k < html.size() && nameLen < sizeof name &&
               (std::isalnum(static_cast<unsigned char>(html[k])) != 0))
            name[nameLen++] = LowerAscii(html[k++]);
        std::string_view tag(name, nameLen);
        pos = SkipTag(html, pos);

        if (!closing && (tag == "script" || tag == "style" || tag == "title" || tag == "textarea" ||
                         tag == "noscript")) {
            size_t end = FindClosingTag(html, pos, tag);
            size_t stop = end == std::string_view::npos ? html.size() : end;
            if (tag == "title" && page.title.empty()) {
                TextSink titleSink(page.title);
                titleSink.Append(html.substr(pos, stop - pos));
                page.title = Trimmed(std::move(page.title));
                if (titleOnly && !page.title.empty()) return page;
            } else if (tag == "textarea" && !titleOnly) {
                body.Break();
                body.Append(html.substr(pos, stop - pos));
            }
            pos = end == std::string_view::npos ? html.size() : SkipTag(html, end);
            body.Break();
            continue;
        }
        bool isHeading = nameLen == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6';
        if (isHeading && !closing && !headingDone) {
            inHeading = true;
        } else if (isHeading && closing && inHeading) {
            inHeading = false;
            TextSink headingSink(page.heading);
            headingSink.Append(headingRaw);
            page.heading = Trimmed(std::move(page.heading));
            headingRaw.clear();
            headingDone = !page.heading.empty();
            if (titleOnly && headingDone) return page;
        }
        if (!IsInlineTag(tag)) {
            if (!titleOnly) body.Break();
            if (inHeading) headingRaw.push_back(' ');
        }
    }
    if (inHeading && page.heading.empty()) {
        TextSink headingSink(page.heading);
        headingSink.Append(headingRaw);
        page.heading = Trimmed(std::move(page.heading));
    }
    if (!titleOnly) page.text = Trimmed(std::move(page.text));
    return page;
}

}  // namespace

PageText ExtractPageText(std::string_view html) {
    return Walk(html, false);
}

std::string ExtractTitle(std::string_view html) {
    PageText page = Walk(html, true);
    return !page.title.empty() ? page.title : page.heading;
}

}  // namespace folivex::text
