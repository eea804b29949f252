#include "viewer/server/HttpMessage.h"

#include <algorithm>
#include <cstring>

#include "html/Url.h"
#include "platform/Ascii.h"

namespace folivex::http {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// RFC 9110 token characters, for methods and header names.
bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("!#$%&'*+-.^_`|~", c) != nullptr && c != '\0';
}

ParseResult Fail(int status) {
    ParseResult r;
    r.status = ParseStatus::failed;
    r.errorStatus = status;
    return r;
}

}  // namespace

const std::string* Request::Header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (n == name) return &v;
    return nullptr;
}

std::string_view Request::Path() const {
    std::string_view t = target;
    return t.substr(0, t.find_first_of("?#"));
}

std::string_view Request::Query() const {
    std::string_view t = target;
    size_t q = t.find('?');
    if (q == std::string_view::npos) return {};
    t.remove_prefix(q + 1);
    return t.substr(0, t.find('#'));
}

namespace {

// Each step answers 0 when the part is well formed, else the status to
// answer with.

// "GET /path HTTP/1.1": a token method, a target without blanks or
// controls, and HTTP/1.0 or 1.1 (another HTTP version gets 505).
int ParseRequestLine(std::string_view line, Request& out) {
    const size_t sp1 = line.find(' ');
    const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos) return 400;
    const std::string_view method = line.substr(0, sp1);
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    if (method.empty() || !std::all_of(method.begin(), method.end(), IsTokenChar)) return 400;
    if (target.empty()) return 400;
    for (char c : target)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return 400;
    if (version.size() != 8 || version.substr(0, 7) != "HTTP/1.")
        return version.substr(0, 5) == "HTTP/" ? 505 : 400;
    if (version[7] != '0' && version[7] != '1') return 505;
    out.method = method;
    out.target = target;
    out.minorVersion = version[7] - '0';
    return 0;
}

// "Name: value" lines, each ending in CRLF; names are kept lower-cased.
int ParseHeaderLines(std::string_view lines, Request& out) {
    while (!lines.empty()) {
        const size_t end = lines.find("\r\n");
        const std::string_view line = lines.substr(0, end);
        lines.remove_prefix(end + 2);
        const size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos) return 400;
        const std::string_view name = line.substr(0, colon);
        if (!std::all_of(name.begin(), name.end(), IsTokenChar)) return 400;
        const std::string_view value = Trim(line.substr(colon + 1));
        for (char c : value)
            if (c == '\0' || c == '\r' || c == '\n') return 400;
        out.headers.emplace_back(ToLowerAscii(name), std::string(value));
    }
    return 0;
}

// The body's length: Content-Length in decimal, at most what room remains
// under the request limit (413 beyond it); chunked bodies are not taken.
int ParseBodyLength(const Request& request, size_t room, size_t& length) {
    length = 0;
    if (request.Header("transfer-encoding")) return 501;
    const std::string* value = request.Header("content-length");
    if (!value) return 0;
    if (value->empty()) return 400;
    if (value->size() > 12) return 413;
    for (char c : *value) {
        if (!IsAsciiDigit(c)) return 400;
        length = length * 10 + static_cast<size_t>(c - '0');
    }
    return length > room ? 413 : 0;
}

// Whether the Connection header lists word (ASCII case ignored).
bool ConnectionHas(const Request& request, std::string_view word) {
    const std::string* connection = request.Header("connection");
    if (!connection) return false;
    std::string_view list = *connection;
    for (;;) {
        const size_t comma = list.find(',');
        if (EqualsIgnoringAsciiCase(Trim(list.substr(0, comma)), word)) return true;
        if (comma == std::string_view::npos) return false;
        list.remove_prefix(comma + 1);
    }
}

}  // namespace

ParseResult ParseRequest(std::string_view data, size_t maxBytes, Request& out) {
    // Browsers may send a stray CRLF between requests; skip it.
    size_t lead = 0;
    while (lead < data.size() && lead < 4 && (data[lead] == '\r' || data[lead] == '\n')) ++lead;
    const std::string_view rest = data.substr(lead);
    const size_t headEnd = rest.find("\r\n\r\n");
    if (headEnd == std::string_view::npos)
        return rest.size() > maxBytes ? Fail(431) : ParseResult{};
    if (headEnd + 4 > maxBytes) return Fail(431);

    out = Request{};
    const std::string_view head = rest.substr(0, headEnd + 2);
    const size_t lineEnd = head.find("\r\n");
    size_t bodyLength = 0;
    if (const int status = ParseRequestLine(head.substr(0, lineEnd), out)) return Fail(status);
    if (const int status = ParseHeaderLines(head.substr(lineEnd + 2), out)) return Fail(status);
    if (const int status = ParseBodyLength(out, maxBytes - (headEnd + 4), bodyLength))
        return Fail(status);

    const size_t total = lead + headEnd + 4 + bodyLength;
    if (data.size() < total) return {};
    out.body = std::string(data.substr(lead + headEnd + 4, bodyLength));
    out.keepAlive =
        out.minorVersion == 1 ? !ConnectionHas(out, "close") : ConnectionHas(out, "keep-alive");

    ParseResult r;
    r.status = ParseStatus::complete;
    r.consumed = total;
    return r;
}

std::string QueryParameter(std::string_view query, std::string_view name) {
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view pair = query.substr(0, amp);
        size_t eq = pair.find('=');
        std::string key;
        if (html::PercentDecode(pair.substr(0, eq), key, true) && key == name) {
            std::string value;
            if (eq != std::string_view::npos &&
                html::PercentDecode(pair.substr(eq + 1), value, true))
                return value;
            return {};
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

bool AcceptsCoding(std::string_view acceptEncoding, std::string_view wanted) {
    int named = -1, star = -1;
    while (!acceptEncoding.empty()) {
        size_t comma = acceptEncoding.find(',');
        std::string_view item = Trim(acceptEncoding.substr(0, comma));
        size_t semi = item.find(';');
        std::string_view coding = Trim(item.substr(0, semi));
        bool zero = false;
        if (semi != std::string_view::npos) {
            std::string_view params = Trim(item.substr(semi + 1));
            if (params.size() >= 2 && ToLowerAscii(params[0]) == 'q' && params[1] == '=') {
                std::string_view q = Trim(params.substr(2));
                zero = !q.empty() && q[0] == '0' &&
                       q.find_first_of("123456789") == std::string_view::npos;
            }
        }
        if (EqualsIgnoringAsciiCase(coding, wanted))
            named = zero ? 0 : 1;
        else if (coding == "*")
            star = zero ? 0 : 1;
        if (comma == std::string_view::npos) break;
        acceptEncoding.remove_prefix(comma + 1);
    }
    if (named >= 0) return named == 1;
    return star == 1;
}

bool EtagMatches(std::string_view ifNoneMatch, std::string_view etag) {
    auto opaque = [](std::string_view t) {
        t = Trim(t);
        if (t.size() >= 2 && t[0] == 'W' && t[1] == '/') t.remove_prefix(2);
        return t;
    };
    std::string_view mine = opaque(etag);
    while (!ifNoneMatch.empty()) {
        size_t comma = ifNoneMatch.find(',');
        std::string_view item = opaque(ifNoneMatch.substr(0, comma));
        if (item == "*" || (!item.empty() && item == mine)) return true;
        if (comma == std::string_view::npos) break;
        ifNoneMatch.remove_prefix(comma + 1);
    }
    return false;
}

std::string_view ContentTypeFor(std::string_view path) {
    static const std::pair<std::string_view, std::string_view> kTypes[] = {
        {"htm", "text/html"},
        {"html", "text/html"},
        {"xhtml", "application/xhtml+xml"},
        {"css", "text/css"},
        {"js", "text/javascript"},
        {"mjs", "text/javascript"},
        {"json", "application/json"},
        {"txt", "text/plain"},
        {"xml", "text/xml"},
        {"csv", "text/csv"},
        {"png", "image/png"},
        {"jpg", "image/jpeg"},
        {"jpeg", "image/jpeg"},
        {"jpe", "image/jpeg"},
        {"gif", "image/gif"},
        {"bmp", "image/bmp"},
        {"ico", "image/x-icon"},
        {"svg", "image/svg+xml"},
        {"webp", "image/webp"},
        {"avif", "image/avif"},
        {"tif", "image/tiff"},
        {"tiff", "image/tiff"},
        {"pdf", "application/pdf"},
        {"zip", "application/zip"},
        {"woff", "font/woff"},
        {"woff2", "font/woff2"},
        {"ttf", "font/ttf"},
        {"otf", "font/otf"},
        {"eot", "application/vnd.ms-fontobject"},
        {"mp3", "audio/mpeg"},
        {"wav", "audio/wav"},
        {"ogg", "audio/ogg"},
        {"oga", "audio/ogg"},
        {"mid", "audio/midi"},
        {"midi", "audio/midi"},
        {"mp4", "video/mp4"},
        {"webm", "video/webm"},
        {"ogv", "video/ogg"},
        {"avi", "video/x-msvideo"},
        {"swf", "application/x-shockwave-flash"},
        {"wasm", "application/wasm"},
    };
    size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos) {
        std::string_view ext = name.substr(dot + 1);
        for (const auto& [e, type] : kTypes)
            if (EqualsIgnoringAsciiCase(ext, e)) return type;
    }
    return "application/octet-stream";
}

std::string_view StatusText(int status) {
    switch (status) {
        case 200: return "OK";
        case 204: return "No Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 408: return "Request Timeout";
        case 413: return "Content Too Large";
        case 414: return "URI Too Long";
        case 421: return "Misdirected Request";
        case 431: return "Request Header Fields Too Large";
        case 500: return "Internal Server Error";
        case 501: return "Not Implemented";
        case 503: return "Service Unavailable";
        case 505: return "HTTP Version Not Supported";
        default: return "Unknown";
    }
}

std::string ResponseHead(int status,
                         const std::vector<std::pair<std::string, std::string>>& headers,
                         uint64_t contentLength, bool keepAlive) {
    std::string head;
    head.reserve(256);
    head += "HTTP/1.1 ";
    head += std::to_string(status);
    head += ' ';
    head += StatusText(status);
    head += "\r\n";
    for (const auto& [name, value] : headers) {
        head += name;
        head += ": ";
        head += value;
        head += "\r\n";
    }
    if (status != 304 && status != 204) {
        head += "Content-Length: ";
        head += std::to_string(contentLength);
        head += "\r\n";
    }
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return head;
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace folivex::http
