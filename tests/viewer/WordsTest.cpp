// The search's words: how text splits into words and how they fold.
#include <gtest/gtest.h>

#include "viewer/server/Words.h"

namespace folivex::text {
namespace {

std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> out;
    ForEachWord(s, [&](std::string_view w, size_t, size_t) {
        out.emplace_back(w);
        return true;
    });
    return out;
}

TEST(Words, SplitsAndFoldsLatinGreekAndCyrillic) {
    EXPECT_EQ(Words("Hello, WORLD! It's 2024."),
              (std::vector<std::string>{"hello", "world", "it", "s", "2024"}));
    EXPECT_EQ(Words("ÉCOLE Straße ŁÓDŹ"), (std::vector<std::string>{"école", "straße", "łódź"}));
    EXPECT_EQ(Words("ΟΔΥΣΣΕΥΣ Όμηρος"), (std::vector<std::string>{"οδυσσευσ", "όμηροσ"}));
    EXPECT_EQ(Words("МОСКВА Ёлка"), (std::vector<std::string>{"москва", "ёлка"}));
    EXPECT_EQ(Words("a\u2014b \u00ABc\u00BB"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(Words(std::string(200, 'x')).empty());  // too long to be a word
}

}  // namespace
}  // namespace folivex::text
