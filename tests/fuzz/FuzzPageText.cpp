// Fuzz target: what the viewer reads out of a book's pages for its search and
// its contents: the text decoding (UTF-8 or Windows-1252), the HTML text,
// title and heading extraction, character references and the query words.
//
// Never a crash or a hang; what comes out is valid UTF-8.
#include "html/CharacterReference.h"
#include "html/PageText.h"
#include "platform/Utf8.h"
#include "tests/fuzz/FuzzSupport.h"
#include "viewer/server/SearchIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace folivex;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string utf8 = ToUtf8(bytes);
    FUZZ_CHECK(IsValidUtf8(utf8));

    const html::PageText page = html::ExtractPageText(utf8);
    FUZZ_CHECK(IsValidUtf8(page.text));
    FUZZ_CHECK(IsValidUtf8(page.title));
    FUZZ_CHECK(IsValidUtf8(page.heading));
    FUZZ_CHECK(IsValidUtf8(html::ExtractTitle(utf8)));

    for (size_t pos = bytes.find('&'); pos != std::string_view::npos;
         pos = bytes.find('&', pos + 1)) {
        size_t length = 0;
        if (html::DecodeCharacterReference(bytes, pos, length) != 0)
            FUZZ_CHECK(length > 0 && length <= bytes.size() - pos);
    }
    for (const std::string& term : SearchIndex::QueryTerms(utf8)) FUZZ_CHECK(IsValidUtf8(term));

    std::string back;
    if (Utf8ToWindows1252(utf8, back)) FUZZ_CHECK(Windows1252ToUtf8(back) == utf8);
    FUZZ_CHECK(IsValidUtf8(TrimPartialUtf8(bytes)) || !IsValidUtf8(bytes));
    return 0;
}
