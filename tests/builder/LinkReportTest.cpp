// The link report on a small book held in memory: every kind of finding,
// and the references that must not be reported.
#include <gtest/gtest.h>

#include <atomic>

#include "builder/LinkMemo.h"
#include "builder/LinkReport.h"
#include "tests/support/BuiltBook.h"

namespace folivex {
namespace {

struct File {
    const char* spelled;  // as on disk
    const char* content;  // nullptr: a picture, never read
    bool included = true;
    bool inPageSequence = true;
};

// The findings for a book of files (the first is the home page), one line
// each as the full report writes them. Asked of a report that keeps what
// the pages hold (a build's, for its memo) and of one that keeps only its
// findings (check's): both must say the same.
std::string Report(const std::vector<File>& files, bool withExternal = false) {
    std::vector<LinkReportFile> entries;
    for (const File& f : files) {
        std::string stored = f.spelled;
        for (char& c : stored) c = c == '/' ? '\\' : static_cast<char>(std::tolower(c));
        entries.push_back({stored, f.spelled, f.included, f.inPageSequence, {}});
    }
    std::string said[2];
    for (const bool onlyFindings : {false, true}) {
        LinkReport report(entries);
        if (onlyFindings) report.KeepOnlyFindings();
        for (size_t i = 0; i < files.size(); ++i) {
            if (!report.Reads(i) || files[i].content == nullptr) continue;
            const std::string_view text = files[i].content;
            report.Add(i, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
        }
        said[onlyFindings] = LinkReportText(report.Findings(withExternal));
    }
    EXPECT_EQ(said[0], said[1]) << "a report keeping only findings says otherwise";
    return said[0];
}

TEST(LinkReport, FindsEachKindWithPageLineAndTarget) {
    const std::vector<File> book = {
        {"index.html",
         "<a href=\"guide/Intro.html#start\">in</a> <a href=guide/intro.html#nowhere>in</a>\n"
         "<img src=\"pictures/gone.png\"><img src=draft.png>\n"
         "<a href=\"https://example.com/\">web</a> <a href=mailto:a@example.com>me</a>\n"
         "<a href=\"/rooted.html\">r</a> <a href=\"../outside.html\">o</a> <a href=#here>h</a>"},
        // The same targets from another folder, and from another page of
        // the same folder, lead elsewhere.
        {"guide/Intro.html",
         "<h1 id=start>Start</h1><a href=\"../INDEX.html\">home</a>"
         "<a href=\"#start\">top</a><link rel=stylesheet href=\"../style.css\">"
         "<img src=draft.png>"},
        {"guide/draft.png", nullptr},
        {"Style.css", "body { background: url(pictures/paper.png) }"},
        {"draft.png", nullptr, false},
        {"orphan.html", "<p>Nobody links here.</p>", true, false},
        {"also.html", "<p id=here>Nothing links here either.</p><a href=#here>up</a>", true, false},
    };
    EXPECT_EQ(Report(book),
              "case-only index.html:1 guide/intro.html#nowhere\n"
              "no-fragment index.html:1 guide/intro.html#nowhere\n"
              "missing index.html:2 pictures/gone.png\n"
              "excluded index.html:2 draft.png\n"
              "missing index.html:4 /rooted.html\n"
              "missing index.html:4 ../outside.html\n"
              "no-fragment index.html:4 #here\n"
              "case-only guide/intro.html:1 ../INDEX.html\n"
              "case-only guide/intro.html:1 ../style.css\n"
              "missing style.css:1 pictures/paper.png\n"
              "unreachable orphan.html\n"
              "unreachable also.html\n");
    EXPECT_NE(Report(book, true).find("external index.html:3 mailto:a@example.com\n"),
              std::string::npos);
}

// A book large enough that its findings are gathered on two threads comes
// out in the same order, fragments looked up across the runs, each into one
// of a page's many anchors.
TEST(LinkReport, ALargeBookGivesItsFindingsInPageOrder) {
    constexpr int kPages = 600;
    std::string anchors;
    for (int a = 0; a < 50; ++a) anchors += "<p id=s" + std::to_string(a) + ">";
    std::vector<std::string> contents;
    for (int i = 0; i < kPages; ++i)
        contents.push_back(anchors + "<a href=gone" + std::to_string(i) + ".png></a><a href=p" +
                           std::to_string(kPages - 1 - i) + ".html#" +
                           (i % 2 == 0 ? "s" + std::to_string(i % 50) : "nowhere") + "></a>");
    std::vector<std::string> names;
    for (int i = 0; i < kPages; ++i) names.push_back("p" + std::to_string(i) + ".html");
    std::vector<File> book;
    for (int i = 0; i < kPages; ++i) book.push_back({names[i].c_str(), contents[i].c_str()});
    std::string expected;
    for (int i = 0; i < kPages; ++i) {
        expected += "missing p" + std::to_string(i) + ".html:1 gone" + std::to_string(i) + ".png\n";
        if (i % 2 == 1)
            expected += "no-fragment p" + std::to_string(i) + ".html:1 p" +
                        std::to_string(kPages - 1 - i) + ".html#nowhere\n";
    }
    EXPECT_EQ(Report(book), expected);
}

TEST(LinkReport, QuietOnWhatWorks) {
    const std::vector<File> book = {
        {"index.html",
         "<a href=\"a%20b.html?x=1#p\">a</a><a href='sub/c.html#q'>c</a><a href=#top>t</a>"
         "<a href='sub/c.html#%71'>c</a>"
         "<!-- <a href=gone.html> --><template><img src=gone.png></template>"
         "<a href=\"javascript:history.back()\">back</a><a href=\"data:text/plain,x\">d</a>"},
        {"a b.html", "<p id=p>p</p><a href=index.html>home</a>"},
        {"sub/c.html", "<a name=q></a><a href=../sub/./c.html>self</a>", true, false},
    };
    EXPECT_EQ(Report(book), "");
}

// Where a target led in one book says nothing of another book read after
// it on the same threads.
TEST(LinkReport, EachBookResolvesAgainstItsOwnFiles) {
    const char* page = "<a href=other.html>o</a>";
    EXPECT_EQ(Report({{"index.html", page}, {"other.html", "<p>"}}), "");
    EXPECT_EQ(Report({{"index.html", page}}), "missing index.html:1 other.html\n");
}

TEST(LinkReport, SummaryCountsFirstAndListsTheFirstOfEachKind) {
    std::vector<LinkFinding> findings;
    for (int i = 1; i <= 3; ++i)
        findings.push_back(
            {LinkFinding::missing, "index.html", size_t(i), "x" + std::to_string(i) + ".png"});
    findings.push_back({LinkFinding::unreachable, "old.html", 0, ""});
    EXPECT_EQ(LinkReportSummary(findings, 2),
              "Link report: 3 missing, 1 unreachable\n"
              "missing: not in the folder\n"
              "  index.html:1: x1.png\n"
              "  index.html:2: x2.png\n"
              "  ... and 1 more\n"
              "unreachable: pages nothing links to, outside the page sequence\n"
              "  old.html\n");
    EXPECT_EQ(LinkReportSummary({}), "");
}

// The build hands the report every page it reads, on its workers, and the
// blobs it takes from the earlier book instead of reading the file: each
// way gives the same findings, with the JSON report holding them all.
TEST(LinkReport, TheBuildReadsEveryPageAlsoWhenItTakesThemFromTheEarlierBook) {
    test::TempDir dir;
    ScriptedPrompts prompts;
    CBookApp app(prompts);
    const std::vector<uint8_t> stub = test::MakeFakePe().bytes;  // the app only points at it
    app.viewerStub = stub;
    app.project.projectDir = dir / "book";
    app.project.ebookFile = dir / "book.exe";
    app.blobCacheFolder = dir / "cache";
    test::AddPage(app, "index.htm", "<a href=two.htm#nowhere>2</a>\n<a href=Draft.htm>d</a>");
    test::AddPage(app, "two.htm", "<link rel=stylesheet href=style.css><p id=here>");
    test::AddPage(app, "style.css", "p {\n background: url(\"gone.png\") }");
    test::AddPage(app, "draft.htm", "<a href=index.htm>", false);
    for (auto& page : app.project.pages) page->inPageSequence = 1;
    const std::string expected =
        "no-fragment index.htm:1 two.htm#nowhere\n"
        "excluded index.htm:2 Draft.htm\n"
        "missing style.css:2 gone.png\n";
    for (const unsigned threads : {1u, 2u, 2u}) {  // the last one from the earlier book
        app.buildThreads = threads;
        LinkReport links;
        ASSERT_EQ(BuildEBook(app, nullptr, {}, &links), 1);
        const std::vector<LinkFinding> findings = links.Findings(false);
        EXPECT_EQ(LinkReportText(findings), expected) << threads;
        const std::string json = LinkReportJson(findings);
        EXPECT_NE(json.find("\"no-fragment\": 1"), std::string::npos) << json;
        EXPECT_NE(json.find("{\"kind\": \"missing\", \"page\": \"style.css\", \"line\": 2, "
                            "\"target\": \"gone.png\"}"),
                  std::string::npos)
            << json;
    }
}

std::span<const uint8_t> BytesOf(std::string_view text) {
    return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// What the report read in a page, and what its references came to, are
// kept for the page's blob and given back only for that blob; a later
// build appends what changed; damage costs records, never a wrong one.
TEST(LinkMemo, KeepsWhatWasReadForTheBlobAppendsChangesAndForgetsWhenDamaged) {
    test::TempDir dir;
    const std::string memoPath = dir / "memo";
    const std::vector<LinkReportFile> files = {{"index.htm", "index.htm", true, true, {}},
                                               {"two.htm", "two.htm", true, true, {}},
                                               {"pic.png", "pic.png", true, false, {}}};
    const LinkReport::FoundOf none = [](const std::string&, uint32_t, uint32_t) {
        return std::optional<html::PageReferences>();
    };
    LinkReport report(files);
    report.Add(0, BytesOf("<p id=top>\n<a href=\"two.htm#x\">2</a>"));
    report.Add(1, BytesOf("<a href=index.htm id=x>1</a>"));
    report.SetBlob(0, 0xCAFE, 40);
    report.SetBlob(1, 0xBEEF, 9);
    report.Settle(none);
    LinkMemo().Save(memoPath, report);

    LinkMemo memo = LinkMemo::Load(memoPath);
    const std::optional<html::PageReferences> found = memo.Find("index.htm", 0xCAFE, 40);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->anchors.size(), 1u);
    EXPECT_EQ(found->Text(found->anchors[0]), "top");
    ASSERT_EQ(found->references.size(), 1u);
    EXPECT_EQ(found->Text(found->references[0].target), "two.htm#x");
    EXPECT_EQ(found->references[0].line, 2u);
    EXPECT_TRUE(found->references[0].navigation);
    EXPECT_FALSE(memo.Find("index.htm", 0xCAFF, 40)) << "another blob";
    EXPECT_FALSE(memo.FindVerdicts("index.htm", 0xCAFE, 41)) << "another blob";
    const auto restore = [&](LinkReport& into) {
        std::optional<PageVerdicts> verdicts = memo.FindVerdicts("index.htm", 0xCAFE, 40);
        return verdicts && into.Restore(0, std::move(*verdicts));
    };
    LinkReport otherFiles({files[0], files[1]});
    EXPECT_FALSE(restore(otherFiles)) << "made for other files";

    // The other page changes but keeps its anchors: the first page's
    // verdicts hold without what it holds being read. The memo gets the
    // changed page, and the first page's verdicts brought up to the other
    // page's blob, pointing to what the memo holds of the page already.
    LinkReport same(files);
    ASSERT_TRUE(restore(same));
    same.SetBlob(0, 0xCAFE, 40);
    same.Add(1, BytesOf("<a href=index.htm id=x>one</a>"));
    same.SetBlob(1, 0xF00D, 30);
    same.Settle([&](const std::string& stored, uint32_t, uint32_t) {
        ADD_FAILURE() << stored << " read";
        return std::optional<html::PageReferences>();
    });
    EXPECT_EQ(LinkReportText(same.Findings(false)), "");
    const std::vector<uint8_t> before = test::ReadFile(memoPath + ".links");
    const std::vector<uint8_t> foundBefore = test::ReadFile(memoPath + ".found");
    memo.Save(memoPath, same);
    const std::vector<uint8_t> bytes = test::ReadFile(memoPath + ".links");
    const std::vector<uint8_t> foundBytes = test::ReadFile(memoPath + ".found");
    EXPECT_TRUE(std::equal(before.begin(), before.end(), bytes.begin())) << "appended";
    EXPECT_TRUE(std::equal(foundBefore.begin(), foundBefore.end(), foundBytes.begin()));
    memo = LinkMemo::Load(memoPath);
    EXPECT_TRUE(memo.Find("two.htm", 0xF00D, 30));
    EXPECT_TRUE(memo.Find("index.htm", 0xCAFE, 40));
    const std::optional<PageVerdicts> renewed = memo.FindVerdicts("index.htm", 0xCAFE, 40);
    ASSERT_TRUE(renewed && renewed->lookedInto.size() == 1);
    EXPECT_EQ(renewed->lookedInto[0].blobCrc, 0xF00Du);

    // It loses the anchor: the first page's fragment is looked up again,
    // and its new verdicts are what the next build takes.
    LinkReport again(files);
    ASSERT_TRUE(restore(again));
    again.SetBlob(0, 0xCAFE, 40);
    again.Add(1, BytesOf("<a href=index.htm>1</a>"));
    again.SetBlob(1, 0xF00D, 23);
    again.Settle([&](const std::string& s, uint32_t c, uint32_t l) { return memo.Find(s, c, l); });
    EXPECT_EQ(LinkReportText(again.Findings(false)), "no-fragment index.htm:2 two.htm#x\n");
    memo.Save(memoPath, again);
    memo = LinkMemo::Load(memoPath);
    LinkReport third(files);
    ASSERT_TRUE(restore(third)) << "its new verdicts";
    third.SetBlob(0, 0xCAFE, 40);
    third.Add(1, BytesOf("<a href=index.htm>1</a>"));
    third.SetBlob(1, 0xF00D, 23);
    third.Settle(none);
    EXPECT_EQ(LinkReportText(third.Findings(false)), "no-fragment index.htm:2 two.htm#x\n");

    // Cut short, the records before the cut stay; a changed byte costs its
    // record only, or in the second file what the page holds.
    test::WriteFile(memoPath + ".found", foundBytes);
    const struct {
        size_t cut;
        bool firstKept;
    } kCuts[] = {{bytes.size() - 1, true}, {before.size() + 3, true}, {12, false}, {3, false}};
    for (const auto& c : kCuts) {
        test::WriteFile(
            memoPath + ".links",
            std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(c.cut)));
        const LinkMemo cut = LinkMemo::Load(memoPath);
        EXPECT_EQ(cut.Find("index.htm", 0xCAFE, 40).has_value(), c.firstKept) << c.cut;
        EXPECT_FALSE(cut.FindVerdicts("two.htm", 0xF00D, 30)) << c.cut;
    }
    // The first record ends where the second begins: its CRC-32 and the
    // length of its path come before the path.
    const std::string_view second = "two.htm";
    const size_t firstEnd = static_cast<size_t>(std::search(before.begin(), before.end(),
                                                            second.begin(), second.end()) -
                                                before.begin()) -
                            8;
    // Before the append each page has one record: a changed byte costs
    // that record only.
    for (size_t at = 8; at < before.size(); at += 7) {
        std::vector<uint8_t> damaged = before;
        damaged[at] ^= 0x5A;
        test::WriteFile(memoPath + ".links", damaged);
        const auto verdicts = LinkMemo::Load(memoPath).FindVerdicts("index.htm", 0xCAFE, 40);
        EXPECT_EQ(verdicts.has_value(), at >= firstEnd) << at;
        if (verdicts) {
            EXPECT_EQ(verdicts->reaches, std::vector<int32_t>{1}) << at;
        }
    }
    // After it, what a damaged memo gives is the first page's verdicts as
    // they were before or after, or nothing.
    for (size_t at = before.size(); at < bytes.size(); at += 5) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x5A;
        test::WriteFile(memoPath + ".links", damaged);
        const auto verdicts = LinkMemo::Load(memoPath).FindVerdicts("index.htm", 0xCAFE, 40);
        if (verdicts) {
            ASSERT_EQ(verdicts->lookedInto.size(), 1u) << at;
            const uint32_t blob = verdicts->lookedInto[0].blobCrc;
            EXPECT_TRUE(blob == 0xBEEF || blob == 0xF00D) << at;
        }
    }
    test::WriteFile(memoPath + ".links", bytes);
    // The first page's references and anchors come first, after 8 bytes.
    for (const size_t at : {size_t{8}, size_t{13}, size_t{23}, foundBefore.size() + 2}) {
        std::vector<uint8_t> damaged = foundBytes;
        damaged[at] ^= 0x5A;
        test::WriteFile(memoPath + ".found", damaged);
        const LinkMemo memoOfDamage = LinkMemo::Load(memoPath);
        EXPECT_EQ(memoOfDamage.Find("index.htm", 0xCAFE, 40).has_value(), at >= foundBefore.size())
            << at;
        EXPECT_TRUE(memoOfDamage.FindVerdicts("index.htm", 0xCAFE, 40)) << at;
    }
}

// A large book settles on two threads: a rebuild after one page lost an
// anchor finds the one fragment now broken, from the memo and that page.
TEST(LinkMemo, ARebuildOfALargeBookJudgesAgainOnlyWhatPointsIntoAChangedPage) {
    test::TempDir dir;
    const std::string memoPath = dir / "memo";
    constexpr size_t kPages = 600;
    std::vector<LinkReportFile> files;
    const auto name = [](size_t i) { return "p" + std::to_string(i) + ".htm"; };
    const auto page = [&](size_t i, const char* anchor) {
        return "<p id=" + std::string(anchor) + "><a href=" + name((i + 1) % kPages) + "#a>n</a>";
    };
    for (size_t i = 0; i < kPages; ++i) files.push_back({name(i), name(i), true, true, {}});
    LinkReport first(files);
    for (size_t i = 0; i < kPages; ++i) {
        first.Add(i, BytesOf(page(i, "a")));
        first.SetBlob(i, static_cast<uint32_t>(i), 100);
    }
    first.Settle([](const std::string&, uint32_t, uint32_t) {
        return std::optional<html::PageReferences>();
    });
    EXPECT_EQ(LinkReportText(first.Findings(false)), "");
    LinkMemo().Save(memoPath, first);

    LinkMemo memo = LinkMemo::Load(memoPath);
    LinkReport again(files);
    std::atomic<size_t> asked{0};
    for (size_t i = 0; i < kPages; ++i) {
        if (i == 300) {
            again.Add(i, BytesOf(page(i, "b")));
            again.SetBlob(i, 9999, 100);
            continue;
        }
        auto verdicts = memo.FindVerdicts(name(i), static_cast<uint32_t>(i), 100);
        ASSERT_TRUE(verdicts && again.Restore(i, std::move(*verdicts))) << i;
        again.SetBlob(i, static_cast<uint32_t>(i), 100);
    }
    again.Settle([&](const std::string& stored, uint32_t crc, uint32_t length) {
        ++asked;
        return memo.Find(stored, crc, length);
    });
    EXPECT_EQ(LinkReportText(again.Findings(false)), "no-fragment p299.htm:1 p300.htm#a\n");
    EXPECT_EQ(asked.load(), 2u)
        << "the page pointing into the changed page, and the page that one points into";
}

}  // namespace
}  // namespace folivex
