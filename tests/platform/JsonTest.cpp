// The JSON string escaper of the viewer's endpoints and folivexc --json.
#include <gtest/gtest.h>

#include "platform/Json.h"
#include "platform/Utf8.h"

namespace folivex::json {
namespace {

TEST(Json, EscapesQuotesControlsAndTheScriptTag) {
    const std::pair<std::string, std::string> cases[] = {
        {"", R"("")"},
        {"a\"b\\c", R"("a\"b\\c")"},
        {"l1\r\nl2\t\b\f", R"("l1\r\nl2\t\b\f")"},
        {std::string("nul\0\x01\x1F\x7F", 7), R"("nul\u0000\u0001\u001F\u007F")"},
        {"</script>", R"("\u003C/script>")"},
        {"\xC2\x85 \xC2\x9F \xC2\xA0", "\"\\u0085 \\u009F \xC2\xA0\""},  // C1 controls, not NBSP
        {"caf\xC3\xA9 \xE2\x82\xAC", "\"caf\xC3\xA9 \xE2\x82\xAC\""},
    };
    for (const auto& [text, literal] : cases) EXPECT_EQ(String(text), literal) << text;
}

// Stored texts need not be UTF-8: folivexc reads them as the viewer does.
TEST(Json, StoredTextIsWindows1252UnlessItIsUtf8) {
    EXPECT_EQ(String(ToUtf8("caf\xE9 \x80 \x93"
                            "a\x94")),
              "\"caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9C"
              "a\xE2\x80\x9D\"");
    EXPECT_EQ(String(ToUtf8("\x81\xFF")), "\"\\u0081\xC3\xBF\"");
}

}  // namespace
}  // namespace folivex::json
