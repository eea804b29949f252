// folivex-view as a process: it serves a book over HTTP with --no-browser,
// and says clearly why it cannot show a file.
#include <gtest/gtest.h>

#include "tests/support/HandMadeBook.h"
#include "tests/support/HttpClient.h"
#include "tests/support/ServedViewer.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using namespace std::chrono_literals;

TEST(FolivexView, ServesTheBookGivenAsItsArgument) {
    test::TempDir dir;
    const std::string book = dir / "sample.exe";
    test::BookLayout layout;
    layout.pages = {
        {"index.htm",
         "<html><head><title>Start</title></head><body>Quokkas are happy</body></html>"},
        {"sub/more.htm", "<html><body>More pages</body></html>"}};
    test::WriteFile(book, test::MakeBook(std::vector<uint8_t>(600, 0), layout));
    const std::string urlFile = dir / "url.txt";

    test::ChildProcess viewer({FOLIVEX_VIEW_EXE, book, "--no-browser", "--url-file", urlFile});
    ASSERT_TRUE(viewer.Started());
    const auto port = test::WaitForPort(viewer, urlFile, 30s);
    ASSERT_TRUE(port.has_value()) << "no address written";

    const auto home = test::HttpGet(*port, "/");
    ASSERT_TRUE(home.has_value());
    EXPECT_EQ(home->status, 200);
    const auto page = test::HttpGet(*port, "/book/SUB/More.htm");
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("More pages"), std::string::npos);
    const auto search = test::HttpGet(*port, "/api/search?q=quokkas");
    ASSERT_TRUE(search.has_value());
    EXPECT_EQ(search->status, 200);
    EXPECT_NE(search->body.find("index.htm"), std::string::npos) << search->body;
    EXPECT_TRUE(viewer.Running());
}

TEST(FolivexView, ExplainsWhyItCannotShowAFile) {
    test::TempDir dir;
    const std::string notABook = dir / "plain.exe";
    test::WriteFile(notABook, std::vector<uint8_t>(100, 0x41));
    const std::string errors = dir / "stderr.txt";

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {{notABook, "--no-browser"}, 1, "This program holds no e-book."},
        {{dir / "missing.exe", "--no-browser"}, 1, "missing.exe"},
        {{}, 2, "usage: folivex-view BOOK"},
        {{notABook, "--bogus"}, 2, "unknown option --bogus"},
        {{notABook, "--url-file"}, 2, "--url-file needs a file name"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{FOLIVEX_VIEW_EXE};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        test::ChildProcess viewer(argv, {}, errors);
        EXPECT_EQ(viewer.Wait(30s), c.exitCode) << c.message;
        const auto text = test::ReadFile(errors);
        EXPECT_NE(std::string(text.begin(), text.end()).find(c.message), std::string::npos)
            << std::string(text.begin(), text.end());
    }
}

}  // namespace
}  // namespace folivex
