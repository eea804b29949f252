// The parts of a URL that reading a book needs: percent-decoding, and
// resolving a reference relative to the page it stands in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace folivex::html {

// Percent-decodes text into out; false for a '%' not followed by two hex
// digits (out is then unspecified). plusIsSpace: "+" stands for a blank, as
// in a query string.
bool PercentDecode(std::string_view text, std::string& out, bool plusIsSpace = false);

// Percent-decoded, or as written when it holds a stray '%'.
std::string PercentDecodedOrAsWritten(std::string_view text);

// A reference as the link report sees it: its scheme when it names one
// ("https", "mailto"; lower case), else the path it points to within the
// book and its fragment.
struct ParsedReference {
    std::string scheme;         // empty for a reference within the book
    bool networkPath = false;   // "//host/...": another site
    bool rootRelative = false;  // "/path": the server's root, not the book's
    std::string path;           // percent-decoded, before '?' and '#'
    std::string fragment;       // percent-decoded, after '#'
};
ParsedReference ParseReference(std::string_view reference);

// folder ("a/b", no trailing "/", may be empty) joined with a relative path
// ("../c.png"), with "." and ".." resolved; nothing when ".." climbs out of
// the root.
std::optional<std::string> JoinRelative(std::string_view folder, std::string_view relative);

}  // namespace folivex::html
