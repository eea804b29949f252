// What a page or a style sheet refers to, and what it offers to be referred
// to: the raw material of the link report.
//
// Read from the tokens of the page (Tokenizer.h), never by pattern matching:
// a reference inside a comment, a script, or a <template> is not one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ObjectPool.h"

namespace folivex::html {

// Where a text lies in the PageReferences that holds it. 32 bits do: what
// is kept of a page is never longer than the page (decoding only shortens),
// and no more than a page's first 4 GiB are read.
struct TextSpan {
    uint32_t at = 0;
    uint32_t length = 0;
};

struct Reference {
    TextSpan target;    // as written, character references decoded, blanks trimmed
    uint32_t line = 0;  // from 1, in the page or sheet it was read from
    // A link a reader follows (<a>, <area>); otherwise a resource the page
    // loads (pictures, style sheets, scripts, frames, objects).
    bool navigation = false;
};

// A page's targets and anchors lie one after another in one string: a
// large page holds thousands, and a string of its own for each cost more
// than reading the page.
struct PageReferences {
    std::string text;
    std::vector<Reference> references;
    // The fragments the page answers: every id and every <a name>.
    std::vector<TextSpan> anchors;

    std::string_view Text(TextSpan span) const {
        return std::string_view(text).substr(span.at, span.length);
    }
    // Appends s to text; where it went.
    TextSpan Keep(std::string_view s);
};

// page: UTF-8 (see ToUtf8). References: href of a, area and link; src of img,
// script, iframe, frame, embed, audio, video, source, track and input; each
// candidate of srcset; data of object; poster of video; background of body,
// table and cells; url(...) and @import in <style> elements and style
// attributes. A <base href> is not applied (a book's pages have none);
// references it would change are read as written.
PageReferences ExtractPageReferences(std::string_view page);

// The references of a style sheet: url(...) and @import "...", outside
// comments. firstLine: the line the sheet starts on in its file.
PageReferences ExtractCssReferences(std::string_view css, size_t firstLine = 1);

// The same, in buffers lent until the loan ends and then kept for the next
// page: for a reader that keeps little of each page, the copy of exactly the
// page's size that the two above make would be work thrown away.
using LentReferences = ObjectPool<PageReferences>::Loan;
LentReferences LendPageReferences(std::string_view page);
LentReferences LendCssReferences(std::string_view css, size_t firstLine = 1);

}  // namespace folivex::html
