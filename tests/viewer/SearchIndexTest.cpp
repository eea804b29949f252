// The search over a built book: which pages it covers, how words match,
// how results rank, and that it holds up under concurrent first queries.
#include <gtest/gtest.h>

#include "tests/support/BuiltBook.h"
#include "tests/support/RunningServer.h"
#include "viewer/server/SearchIndex.h"

namespace folivex::test {
namespace {

class SearchIndexTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        const std::string src = *dir / "book";
        WriteText(src + "/a.htm",
                  "<title>Apples</title><body>apple orchard. An orchard of pears and apple trees."
                  "<script>var zebra = 1;</script><style>.quokka{}</style></body>");
        WriteText(src + "/b.htm",
                  "<title>Orchards</title><body>orchard orchard orchard near the river"
                  " &eacute;t&eacute; ÉCOLE москва</body>");
        WriteText(src + "/c.htm", "<body><h1>Secret chapter</h1>hidden unicorn</body>");
        WriteText(src + "/d.htm",
                  "<title>Latin</title><body>caf\xE9 cr\xE8me \x93quoted\x94</body>");
        std::string longText = "<title>Long</title><body>";
        for (int i = 0; i < 200; ++i) longText += "filler text number " + std::to_string(i) + " ";
        longText += "needle in the haystack";
        for (int i = 0; i < 200; ++i) longText += " more filler";
        WriteText(src + "/e.htm", longText + "</body>");
        WriteText(src + "/notes.txt", "unicorn notes");
        book = BuildBook(src, *dir / "book.exe", [](CBookApp& app) {
                   FindEntry(app, "c.htm")->inSearch = 0;  // not searchable
               }).release();
        ASSERT_NE(book, nullptr);
    }
    static void TearDownTestSuite() {
        delete book;
        delete dir;
    }

    static std::vector<std::string> Paths(const SearchIndex::Results& r) {
        std::vector<std::string> out;
        for (const auto& h : r.hits) out.push_back(book->Pages()[h.page].path);
        return out;
    }

    static TempDir* dir;
    static BookReader* book;
};
TempDir* SearchIndexTest::dir = nullptr;
BookReader* SearchIndexTest::book = nullptr;

TEST_F(SearchIndexTest, CoversOnlySearchablePages) {
    SearchIndex index(*book);
    EXPECT_EQ(index.IndexedPageCount(), 4u);  // a, b, d, e; not c, not notes.txt
    EXPECT_EQ(index.Search("unicorn", 10).total, 0u);
    EXPECT_EQ(index.Search("secret", 10).total, 0u);
    EXPECT_EQ(index.Search("zebra", 10).total, 0u);   // script
    EXPECT_EQ(index.Search("quokka", 10).total, 0u);  // style
}

TEST_F(SearchIndexTest, MatchesWholeWordsWithoutRegardToCase) {
    SearchIndex index(*book);
    EXPECT_EQ(Paths(index.Search("APPLE", 10)), std::vector<std::string>{"a.htm"});
    EXPECT_EQ(index.Search("appl", 10).total, 0u);
    EXPECT_EQ(Paths(index.Search("Été école МОСКВА", 10)), std::vector<std::string>{"b.htm"});
    // A Windows-1252 page reads as such.
    EXPECT_EQ(Paths(index.Search("CAFÉ crème", 10)), std::vector<std::string>{"d.htm"});
    EXPECT_EQ(Paths(index.Search("\u201cquoted\u201d", 10)), std::vector<std::string>{"d.htm"});
    // Every word must occur.
    EXPECT_EQ(index.Search("apple river", 10).total, 0u);
    EXPECT_EQ(index.Search("...", 10).total, 0u);
}

TEST_F(SearchIndexTest, RanksTitlesAndFrequentWordsFirst) {
    SearchIndex index(*book);
    SearchIndex::Results r = index.Search("orchard", 10);
    EXPECT_EQ(r.total, 2u);
    EXPECT_EQ(Paths(r), (std::vector<std::string>{"b.htm", "a.htm"}));
    EXPECT_EQ(r.hits[0].title, "Orchards");
    EXPECT_GT(r.hits[0].score, r.hits[1].score);
    EXPECT_EQ(index.Search("orchard", 1).hits.size(), 1u);
    EXPECT_EQ(index.Search("orchard", 1).total, 2u);
}

TEST_F(SearchIndexTest, ShowsASnippetAroundTheFirstHit) {
    SearchIndex index(*book);
    SearchIndex::Results r = index.Search("Needle", 10);
    ASSERT_EQ(r.hits.size(), 1u);
    const auto& s = r.hits[0].snippet;
    ASSERT_GE(s.size(), 3u);
    EXPECT_EQ(s[1], "needle");
    EXPECT_EQ(s[0].rfind("\u2026 ", 0), 0u);  // starts inside the text
    EXPECT_NE(s[2].find("haystack"), std::string::npos);
    size_t length = 0;
    for (const auto& part : s) length += part.size();
    EXPECT_LT(length, 300u);

    SearchIndex::Results apple = index.Search("apple", 10);
    ASSERT_EQ(apple.hits.size(), 1u);
    EXPECT_EQ(apple.hits[0].snippet,
              (std::vector<std::string>{"", "apple", " orchard. An orchard of pears and ", "apple",
                                        " trees."}));
}

TEST_F(SearchIndexTest, BuildsOnceUnderConcurrentFirstQueries) {
    SearchIndex index(*book, 2);
    std::vector<std::thread> threads;
    std::atomic<int> right{0};
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            if (index.Search("orchard", 10).total == 2) ++right;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(right, 8);
}

// The viewer builds the index ahead of the first query, at low priority;
// a query that comes meanwhile waits for the whole index.
TEST_F(SearchIndexTest, QueriesDuringABuildAheadGetTheWholeIndex) {
    const SearchIndex reference(*book, 1);
    for (int round = 0; round < 20; ++round) {
        SearchIndex index(*book, 2);
        std::thread ahead([&] { index.EnsureBuilt(true); });
        const auto found = index.Search("orchard apple", 10);
        ahead.join();
        EXPECT_EQ(Paths(found), Paths(reference.Search("orchard apple", 10))) << round;
        EXPECT_EQ(index.WordCount(), reference.WordCount()) << round;
    }
}

// A viewer closing while the index is built does not wait for all of it.
TEST_F(SearchIndexTest, AStoppedBuildEndsWithoutIndexingTheRest) {
    SearchIndex index(*book, 2);
    index.StopBuilding();
    index.EnsureBuilt(true);
    EXPECT_EQ(index.Search("orchard", 10).total, 0u);
}

TEST(SearchQuery, FoldsAndDeduplicatesQueryWords) {
    EXPECT_EQ(SearchIndex::QueryTerms("Apple apple APPLE, pear"),
              (std::vector<std::string>{"apple", "pear"}));
    EXPECT_EQ(SearchIndex::QueryTerms("caf\xE9").front(), "café");  // 8-bit query text
    std::string many;
    for (int i = 0; i < 40; ++i) many += "w" + std::to_string(i) + " ";
    EXPECT_EQ(SearchIndex::QueryTerms(many).size(), 16u);
}

}  // namespace
}  // namespace folivex::test
