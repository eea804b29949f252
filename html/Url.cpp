#include "html/Url.h"

#include "platform/Ascii.h"

namespace folivex::html {

namespace {

int HexValue(char c) {
    if (IsAsciiDigit(c)) return c - '0';
    const char lower = ToLowerAscii(c);
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
    return -1;
}

// The scheme of reference ("https" for "https://..."): letters, then
// letters, digits, "+", "-" and "." up to a ":" that comes before any "/",
// "?" or "#". A single letter is a Windows drive, not a scheme.
std::string SchemeOf(std::string_view reference) {
    size_t i = 0;
    if (reference.empty() || !IsAsciiAlpha(reference[0])) return {};
    while (i < reference.size() && (IsAsciiAlnum(reference[i]) || reference[i] == '+' ||
                                    reference[i] == '-' || reference[i] == '.'))
        ++i;
    if (i < 2 || i >= reference.size() || reference[i] != ':') return {};
    return ToLowerAscii(reference.substr(0, i));
}

}  // namespace

bool PercentDecode(std::string_view text, std::string& out, bool plusIsSpace) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) return false;
            const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return true;
}

std::string PercentDecodedOrAsWritten(std::string_view text) {
    std::string out;
    if (text.find('%') == std::string_view::npos) return std::string(text);
    return PercentDecode(text, out) ? out : std::string(text);
}

ParsedReference ParseReference(std::string_view reference) {
    ParsedReference parsed;
    parsed.scheme = SchemeOf(reference);
    if (!parsed.scheme.empty()) return parsed;
    parsed.networkPath = reference.substr(0, 2) == "//";
    if (parsed.networkPath) return parsed;
    const size_t hash = reference.find('#');
    if (hash != std::string_view::npos)
        parsed.fragment = PercentDecodedOrAsWritten(reference.substr(hash + 1));
    std::string_view path = reference.substr(0, hash);
    path = path.substr(0, path.find('?'));
    parsed.rootRelative = !path.empty() && path[0] == '/';
    parsed.path = PercentDecodedOrAsWritten(path);
    return parsed;
}

std::optional<std::string> JoinRelative(std::string_view folder, std::string_view relative) {
    // Asked for every distinct reference of every page: the parts go
    // straight into the result, and ".." takes the last one off again.
    std::string joined;
    joined.reserve(folder.size() + relative.size() + 1);
    auto take = [&joined](std::string_view text) {
        while (!text.empty()) {
            const size_t slash = text.find('/');
            const std::string_view part = text.substr(0, slash);
            text = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
            if (part.empty() || part == ".") continue;
            if (part != "..") {
                if (!joined.empty()) joined += '/';
                joined += part;
            } else if (joined.empty()) {
                return false;
            } else {
                const size_t last = joined.rfind('/');
                joined.resize(last == std::string::npos ? 0 : last);
            }
        }
        return true;
    };
    if (!take(folder) || !take(relative)) return std::nullopt;
    return joined;
}

}  // namespace folivex::html
