// Reading pages: the tokenizer, character references, and the readable text
// and title of a page.
#include <gtest/gtest.h>

#include "html/CharacterReference.h"
#include "html/PageText.h"
#include "html/References.h"
#include "html/Tokenizer.h"
#include "html/Url.h"
#include "platform/Utf8.h"

namespace folivex::html {
namespace {

// Each token as kind:text, tags by name: the tokenizer's reading of a page;
// with startTagsOnly, as NextStartTag gives it.
std::string Tokens(std::string_view page, bool startTagsOnly = false) {
    std::string out;
    Tokenizer tokens(page);
    Token t;
    while (startTagsOnly ? tokens.NextStartTag(t) : tokens.Next(t)) {
        static constexpr const char* kKinds[] = {"T", "R", "<", "</", "!--", "!"};
        out += kKinds[static_cast<int>(t.kind)];
        const bool tag = t.kind == TokenKind::startTag || t.kind == TokenKind::endTag;
        out += ":" + std::string(tag ? t.Name() : t.raw) + "|";
    }
    return out;
}

TEST(Tokenizer, ReadsPagesAsABrowserDoes) {
    const struct {
        const char* page;
        const char* tokens;
    } kCases[] = {
        {"a<B class=x>b</b>", "T:a|<:b|T:b|</:b|"},
        {"<p title='1 > 0'>x", "<:p|T:x|"},  // '>' inside quotes
        {"<p a=b'c>x", "<:p|T:x|"},          // a quote inside a value
        {"<script>if (a<b) x='</p>'</script>y", "<:script|R:if (a<b) x='</p>'|</:script|T:y|"},
        {"<TITLE>A &amp; <b>B</TITLE>", "<:title|R:A &amp; <b>B|</:title|"},
        {"<style>unclosed", "<:style|R:unclosed|"},
        {"<!-- <a href=x> -->z", "!--:<!-- <a href=x> -->|T:z|"},
        {"<!DOCTYPE html><?xml x?>", "!:<!DOCTYPE html>|!:<?xml x?>|"},
        {"1 < 2 <3 </ x>", "T:1 |T:< 2 |T:<3 |T:</ x>|"},                  // '<' starting no tag
        {"<a =\">\">x<!x \">\">y", "<:a|T:\">x|!:<!x \">|T:\">y|"},        // no value opened there
        {"<my-element-with-a-long-name>", "<:my-element-with|"},           // names cut at 15
        {"</b title='>'><i></i x></i", "</:b|<:i|</:i|</:i|"},             // end tags, with values
        {"<A\vb\x01C x=1>control bytes", "<:a\vb\x01c|T:control bytes|"},  // no blanks: in the name
        {"<a", "<:a|"},
        {"<", "T:<|"},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(Tokens(c.page), c.tokens) << c.page;
        std::string startTags;  // the same but start tags and raw text
        for (std::string_view rest = c.tokens; !rest.empty();) {
            const std::string_view token = rest.substr(0, rest.find('|') + 1);
            if (token.starts_with("<:") || token.starts_with("R:")) startTags += token;
            rest.remove_prefix(token.size());
        }
        EXPECT_EQ(Tokens(c.page, true), startTags) << c.page;
    }
    // Across the 64-byte blocks the tokenizer looks at a page in: a value
    // holding '>' and the other quote, a long run of text, an end tag.
    const std::string text(58, 'x'), longText(130, 'y');
    EXPECT_EQ(Tokens(text + "<p title=\"it's > 1\" id='a\"b'>z" + longText + "</b\n><i>"),
              "T:" + text + "|<:p|T:z" + longText + "|</:b|<:i|");
}

TEST(Tokenizer, ReadsAttributesAndLines) {
    // Only the attributes asked for, and only with a value: "class" is not
    // asked for, "hidden" and "=y" (after '/', a '=' starts a name) are bare.
    constexpr std::string_view kAsked[] = {"src", "alt", "hidden", "data-x", "=y", "k"};
    Tokenizer tokens(
        "<IMG class=c SRC = \"a b.png\" alt='x' hidden data-x=1 /=y k = =v>\n<p>\n\n<b>",
        AttributeNames(kAsked));
    Token t;
    ASSERT_TRUE(tokens.Next(t));
    Attributes attributes(t);
    size_t name = 0;
    std::string_view value;
    std::string seen;
    while (attributes.Next(name, value))
        seen += std::string(kAsked[name]) + "=" + std::string(value) + ";";
    EXPECT_EQ(seen, "src=a b.png;alt=x;data-x=1;k==v;");
    // More attributes than the tokenizer keeps for Attributes: the rest are
    // read on demand.
    constexpr std::string_view kLetters[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    Tokenizer many("<p a=1 b=2 c=3 d=4 e=5 f=6 g=7 h=8 I='9>' j>z", AttributeNames(kLetters));
    ASSERT_TRUE(many.Next(t));
    Attributes all(t);
    seen.clear();
    while (all.Next(name, value))
        seen += std::string(kLetters[name]) + "=" + std::string(value) + ";";
    EXPECT_EQ(seen, "a=1;b=2;c=3;d=4;e=5;f=6;g=7;h=8;i=9>;");
    ASSERT_TRUE(many.Next(t));
    EXPECT_EQ(t.raw, "z");
    LineCounter lines("a\nb\n\nc");
    EXPECT_EQ(lines.LineAt(0), 1u);
    EXPECT_EQ(lines.LineAt(2), 2u);
    EXPECT_EQ(lines.LineAt(5), 4u);
    EXPECT_EQ(lines.LineAt(1), 1u);  // asked out of order
    // Lines counted across the eight-byte words the counter reads at once.
    const std::string page = "0123456\n\n9abcdef012345678\n" + std::string(40, 'x') + "\n\n";
    LineCounter longLines(page);
    EXPECT_EQ(longLines.LineAt(8), 2u);
    EXPECT_EQ(longLines.LineAt(page.size() - 1), 5u);
    EXPECT_EQ(longLines.LineAt(page.size()), 6u);
    // And across the sixteen-byte blocks, over more than 255 of them (where
    // the per-block counts are summed).
    std::string lineEvery7;
    for (size_t i = 0; i < 20000; ++i) lineEvery7 += i % 7 == 6 ? '\n' : 'x';
    LineCounter manyLines(lineEvery7);
    EXPECT_EQ(manyLines.LineAt(4095), 1u + 4095 / 7);
    EXPECT_EQ(manyLines.LineAt(19999), 1u + 19999 / 7);
    // Asked in steps shorter and longer than a block: the bytes a step's
    // last block shares with the one before are counted once.
    for (const size_t step : {1, 3, 17, 40}) {
        LineCounter stepped(lineEvery7);
        for (size_t at = 0; at < 400; at += step)
            ASSERT_EQ(stepped.LineAt(at), 1u + at / 7) << "step " << step << ", offset " << at;
    }
    const auto decoded = [](std::string_view text) {
        std::string out = "<";  // appended to what is there
        AppendDecodedCharacterReferences(out, text);
        return out.substr(1);
    };
    EXPECT_EQ(decoded("a&amp;b&#233;&bogus;&lt"), "a&b\xC3\xA9&bogus;<");
    EXPECT_EQ(decoded("&&amp;&#38;&amp&"), "&&&&&");
}

// What a page refers to, as "line:target" (navigation marked "a:"), and
// what it offers as anchors.
std::string Refs(std::string_view page) {
    const PageReferences found = ExtractPageReferences(page);
    std::string out;
    for (const Reference& r : found.references)
        out += std::to_string(r.line) + ":" + (r.navigation ? "a:" : "") +
               std::string(found.Text(r.target)) + "|";
    for (const TextSpan anchor : found.anchors) out += "#" + std::string(found.Text(anchor)) + "|";
    return out;
}

TEST(References, ReadsEveryKindOfReferenceAndNoFalseOnes) {
    const struct {
        const char* page;
        const char* found;
    } kCases[] = {
        {"<a href=\"b.htm#x\">b</a>\n<a name=top id='t&amp;1'>", "1:a:b.htm#x|#top|#t&1|"},
        {"<img src=\" p.png \" srcset=\"q.png 2x, r.png 480w,s.png\">",
         "1:p.png|1:q.png|1:r.png|1:s.png|"},
        {"<link rel=stylesheet href=s.css><script src=j.js></script><iframe src=f.htm>"
         "<frame src=g.htm>",
         "1:s.css|1:j.js|1:f.htm|1:g.htm|"},
        {"<object data=o.svg></object><video poster=v.jpg src=v.mp4><body background=bg.gif>",
         "1:o.svg|1:v.jpg|1:v.mp4|1:bg.gif|"},
        {"<p style=\"background: url('u.png')\">\n<style>\n@import \"i.css\"; "
         "b{x:url(w.png)}</style>",
         "1:u.png|3:i.css|3:w.png|"},
        // Not references: in a comment, a template, a script or a text.
        {"<!-- <a href=c.htm> --><template><img src=t.png></template>"
         "<script>x='<a href=s.htm>'</script><p>href=p.htm</p><img alt=src.png>",
         ""},
        {"<a href=''></a><a href>x</a><div id=''>", ""},
        {"<template><template></template><img src=t.png></template><img src=u.png>", "1:u.png|"},
        // One anchor for a tag that names it twice; blanks written as
        // references are trimmed as blanks are.
        {"<a id=l1 name=l1></a><a href=\" &#32;c.htm&#9;\">", "1:a:c.htm|#l1|"},
    };
    for (const auto& c : kCases) EXPECT_EQ(Refs(c.page), c.found) << c.page;
    // A value that runs into the page's next 64-byte block.
    EXPECT_EQ(Refs(std::string(60, ' ') + "<a href=\"it's>x.htm\" id='a\"b'>"),
              "1:a:it's>x.htm|#a\"b|");
    const auto css = ExtractCssReferences(
        "/* url(c.png) */\na { b: url( \"a b.png\" ) }\n"
        "@import url(x.css); @import 'y.css' screen;");
    ASSERT_EQ(css.references.size(), 3u);
    EXPECT_EQ(css.Text(css.references[0].target), "a b.png");
    EXPECT_EQ(css.references[0].line, 2u);
    EXPECT_EQ(css.Text(css.references[2].target), "y.css");
}

TEST(Url, ParsesAndJoinsReferencesWithinTheBook) {
    const struct {
        const char* reference;
        const char* scheme;
        const char* path;
        const char* fragment;
    } kCases[] = {
        {"https://example.com/a", "https", "", ""},
        {"MAILTO:me@example.com", "mailto", "", ""},
        {"javascript:void(0)", "javascript", "", ""},
        {"c:/not/a/scheme.htm", "", "c:/not/a/scheme.htm", ""},
        {"a%20b.htm?q=1#Part%202", "", "a b.htm", "Part 2"},
        {"#only", "", "", "only"},
        {"bad%zz.htm", "", "bad%zz.htm", ""},
    };
    for (const auto& c : kCases) {
        const ParsedReference p = ParseReference(c.reference);
        EXPECT_EQ(p.scheme, c.scheme) << c.reference;
        EXPECT_EQ(p.path, c.path) << c.reference;
        EXPECT_EQ(p.fragment, c.fragment) << c.reference;
    }
    EXPECT_TRUE(ParseReference("//cdn.example.com/x.js").networkPath);
    EXPECT_TRUE(ParseReference("/root.htm").rootRelative);
    EXPECT_EQ(JoinRelative("a/b", "../c/./d.png"), "a/c/d.png");
    EXPECT_EQ(JoinRelative("", "x.htm"), "x.htm");
    EXPECT_EQ(JoinRelative("a", "../../x.htm"), std::nullopt);
    EXPECT_EQ(JoinRelative("a/b", "c/../../../x.htm"), "x.htm");
    std::string out;
    EXPECT_FALSE(PercentDecode("%4", out));
    EXPECT_FALSE(PercentDecode("%", out));
    EXPECT_TRUE(PercentDecode("a%2Fb+c", out, true));
    EXPECT_EQ(out, "a/b c");
}

TEST(PageText, KeepsTextAndDropsMarkupScriptsStylesAndComments) {
    PageText p = ExtractPageText(
        "<html><head><title> The  Title </title><style>p{color:red}</style>"
        "<script>var hidden = '<p>no</p>';</script></head><body><!-- a <b>comment</b> -->"
        "<p class=\"x>y\">One<br>two</p><P>H<sub>2</sub>O &amp; caf&eacute; &#233;t&#xE9; &#150; "
        "&nbsp;x"
        "<noscript>fallback</noscript> a < b</body>");
    EXPECT_EQ(p.title, "The Title");
    EXPECT_EQ(p.text, "One two H2O & café été \u2013 x a < b");
}

TEST(PageText, TitleFallsBackToTheFirstHeading) {
    EXPECT_EQ(ExtractTitle("<title>T</title><h1>H</h1>"), "T");
    EXPECT_EQ(ExtractTitle("<title>  </title><body><h2>Sub <i>heading</i></h2><h1>Later</h1>"),
              "Sub heading");
    EXPECT_EQ(ExtractTitle("<p>no title here</p>"), "");
    EXPECT_EQ(ExtractTitle("<title>cut off"), "cut off");
    PageText p = ExtractPageText("<h3>Unclosed heading");
    EXPECT_EQ(p.heading, "Unclosed heading");
}

TEST(PageText, SurvivesBrokenMarkup) {
    for (std::string_view html : {"<", "<a", "<a href=\"", "<!--", "<script>", "&", "&#", "&#x;",
                                  "</", "<title>", "&#99999999999;", "<h1><h1><h1>"}) {
        PageText p = ExtractPageText(html);
        EXPECT_TRUE(IsValidUtf8(p.text)) << html;
    }
}

}  // namespace
}  // namespace folivex::html
