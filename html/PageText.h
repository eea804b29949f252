// The readable text of an HTML page, for the search and for page titles:
// tags, comments, scripts and styles removed, character references decoded,
// runs of white space collapsed to one blank.
#pragma once

#include <string>
#include <string_view>

namespace folivex::html {

struct PageText {
    std::string text;     // the body's text (the <title> is not part of it)
    std::string title;    // the <title>, trimmed; may be empty
    std::string heading;  // the first <h1>..<h6>, trimmed; may be empty
};

// html must be UTF-8 (see ToUtf8 in platform/Utf8.h). Never fails; unclosed constructs end at
// the end of the input.
PageText ExtractPageText(std::string_view html);

// Only the title: <title>, else the first heading; empty when neither holds
// text. Stops reading at the first heading, so a prefix of a page suffices
// when it holds one.
std::string ExtractTitle(std::string_view html);

}  // namespace folivex::html
