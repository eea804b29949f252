// HTTP/1.1 messages as the viewer's server needs them: parsing one request
// head from bytes received so far (bounded), writing response heads, and the
// small helpers for targets, queries, content types and header values.
// Requests are untrusted: parsing never reads past the bytes given and never
// allocates more than the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folivex::http {

struct Request {
    std::string method;    // as sent ("GET")
    std::string target;    // request target as sent ("/book/a%20b.htm?x=1")
    int minorVersion = 1;  // HTTP/1.minorVersion
    std::vector<std::pair<std::string, std::string>> headers;  // names lower-cased
    std::string body;
    bool keepAlive = true;

    // The value of the first header with that (lower-case) name, or nullptr.
    const std::string* Header(std::string_view name) const;
    std::string_view Path() const;   // target up to '?' or '#'
    std::string_view Query() const;  // after '?', up to '#'
};

enum class ParseStatus { incomplete, complete, failed };

struct ParseResult {
    ParseStatus status = ParseStatus::incomplete;
    size_t consumed = 0;    // complete: bytes of this request (head and body)
    int errorStatus = 400;  // failed: the status to answer with
};

// Parses the request at the start of data. A head (request line and headers)
// longer than maxBytes fails with 431, a body that would not fit in maxBytes
// with 413, chunked bodies with 501, malformed heads with 400, versions
// other than HTTP/1.x with 505.
ParseResult ParseRequest(std::string_view data, size_t maxBytes, Request& out);

// Percent-decodes text; false for a '%' not followed by two hex digits.

// The decoded value of name in a query string ("a=1&q=word"); empty when
// absent or malformed.
std::string QueryParameter(std::string_view query, std::string_view name);

// Whether an Accept-Encoding value lets us send the content coding named
// coding ("deflate", "gzip"): "coding;q=0" refuses it, "*" allows it unless
// it is refused by name.
bool AcceptsCoding(std::string_view acceptEncoding, std::string_view coding);
inline bool AcceptsDeflate(std::string_view acceptEncoding) {
    return AcceptsCoding(acceptEncoding, "deflate");
}

// Whether an If-None-Match value matches etag ("*" or a list of tags; weak
// tags compare by their opaque part).
bool EtagMatches(std::string_view ifNoneMatch, std::string_view etag);

// The media type for a file name's extension ("text/html" for ".htm").
std::string_view ContentTypeFor(std::string_view path);

std::string_view StatusText(int status);

// "HTTP/1.1 <status> <text>\r\n" followed by the given headers, Content-Length
// and Connection, and the blank line.
std::string ResponseHead(int status,
                         const std::vector<std::pair<std::string, std::string>>& headers,
                         uint64_t contentLength, bool keepAlive);

// Escapes text for HTML element content and attribute values.
std::string HtmlEscape(std::string_view text);

}  // namespace folivex::http
