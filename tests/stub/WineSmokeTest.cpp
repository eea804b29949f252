// The Windows viewer for real: an e-book made by folivexc on the x86-64
// test stub runs under wine64, serves its own archive, and answers over
// HTTP. (The shipped i686 stub cannot run here: this kernel starts no 32-bit
// programs.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tests/support/HttpClient.h"
#include "tests/support/ServedViewer.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kWine64 = "/usr/lib/wine/wine64";

// wine maps drive Z: to the root of the Linux file system.
std::string WinePath(const std::string& path) {
    std::string out = "Z:" + path;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

// A word from the sample book's home page, to search for: the first word of
// seven letters or more in its text.
std::string WordFromSampleBook(std::string& pageName) {
    for (const auto& entry : fs::directory_iterator(FOLIVEX_SAMPLE_BOOK)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".htm" && ext != ".html") continue;
        const auto bytes = test::ReadFile(entry.path().string());
        std::string text(bytes.begin(), bytes.end());
        // Drop the markup.
        std::string plain;
        bool inTag = false;
        for (char c : text) {
            if (c == '<') inTag = true;
            if (!inTag) plain += c;
            if (c == '>') inTag = false;
        }
        std::string word;
        for (char c : plain + " ") {
            if (std::isalpha(static_cast<unsigned char>(c))) {
                word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            } else {
                if (word.size() >= 7) {
                    pageName = entry.path().filename().string();
                    return word;
                }
                word.clear();
            }
        }
    }
    return {};
}

TEST(WineSmoke, WindowsViewerServesItsOwnBook) {
    if (!fs::exists(kWine64)) GTEST_SKIP() << "wine64 is not installed";
    ASSERT_TRUE(fs::exists(FOLIVEX_TEST_STUB_X64));
    std::string pageName;
    const std::string word = WordFromSampleBook(pageName);
    ASSERT_FALSE(word.empty()) << "the sample book has no page with words";

    test::TempDir dir;
    const std::string book = dir / "sample-book.exe";
    test::ChildProcess make({FOLIVEX_FOLIVEXC, "make", FOLIVEX_SAMPLE_BOOK, "-o", book, "--stub",
                             FOLIVEX_TEST_STUB_X64, "--title", "Wine Smoke"});
    ASSERT_EQ(make.Wait(120s), 0) << "folivexc make failed";

    const std::string urlFile = dir / "url.txt";
    fs::create_directories(FOLIVEX_WINEPREFIX);
    test::ChildProcess viewer({kWine64, book, "--no-browser", "--url-file", WinePath(urlFile)},
                              {std::string("WINEPREFIX=") + FOLIVEX_WINEPREFIX, "WINEDEBUG=-all"});
    ASSERT_TRUE(viewer.Started());
    // The first run in a build folder also makes the wine prefix (~40 s).
    const auto port = test::WaitForPort(viewer, urlFile, 300s);
    ASSERT_TRUE(port.has_value()) << "the viewer wrote no address (exit code " << viewer.ExitCode()
                                  << ")";

    const auto home = test::HttpGet(*port, "/", 30000);
    ASSERT_TRUE(home.has_value());
    EXPECT_EQ(home->status, 200);
    const auto page = test::HttpGet(*port, "/book/" + pageName, 30000);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->status, 200);
    const auto search = test::HttpGet(*port, "/api/search?q=" + word, 30000);
    ASSERT_TRUE(search.has_value());
    EXPECT_EQ(search->status, 200);
    std::string lowerName = pageName;
    std::transform(lowerName.begin(), lowerName.end(), lowerName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_NE(search->body.find(lowerName), std::string::npos) << word << ": " << search->body;
    // The page icon comes from the PE32+ resources of the book's own stub.
    const auto icon = test::HttpGet(*port, "/favicon.ico", 30000);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->status, 200);
    EXPECT_EQ(icon->body.size(), test::ReadFile(FOLIVEX_VIEWER_ICO).size());
    EXPECT_TRUE(viewer.Running());
    viewer.Stop();
}

}  // namespace
}  // namespace folivex
