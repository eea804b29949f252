// The Windows programs for real, under wine64: an e-book made by folivexc
// on the x86-64 stub serves its own archive over HTTP, also from a path
// outside ASCII; folivexc.exe makes the same bytes as folivexc; folivex.exe
// opens its wizard on a virtual display and keeps its settings in the
// registry; and the Windows tests (tests/windows) pass. (The i686 programs
// cannot run here: this kernel starts no 32-bit programs.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <thread>

#include "tests/support/HttpClient.h"
#include "tests/support/ServedViewer.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kWine64 = "/usr/lib/wine/wine64";

// The environment of every Windows program here: the build's prefix, and a
// UTF-8 locale, in which wine takes the Unix names and arguments.
const std::vector<std::string> kWineEnvironment = {std::string("WINEPREFIX=") + FOLIVEX_WINEPREFIX,
                                                   "WINEDEBUG=-all", "LC_ALL=C.UTF-8"};

// Ends the wineserver of the tests' prefix and waits for it: the next
// Windows program starts a new one, with a new desktop on the display it is
// given (a wineserver keeps the desktop, and its display, of the program
// that started it).
void EndWineServer() {
    std::string ignored;
    test::RunCommand("WINEPREFIX=" + test::ShellQuote(FOLIVEX_WINEPREFIX) +
                         " /usr/lib/wine/wineserver -k >/dev/null 2>&1; WINEPREFIX=" +
                         test::ShellQuote(FOLIVEX_WINEPREFIX) +
                         " /usr/lib/wine/wineserver -w >/dev/null 2>&1",
                     ignored);
}

// A virtual X display (Xvfb) on which wine draws the windows of the
// programs it runs while this object lives; Name() is empty when Xvfb is not
// installed. The wine tests take turns (RESOURCE_LOCK in CMakeLists.txt), so
// no other test's program shares the wineserver meanwhile.
class WineDisplay {
public:
    WineDisplay() {
        if (!fs::exists("/usr/bin/Xvfb")) return;
        // A display number that no other server holds.
        int number = 100 + static_cast<int>(getpid() % 400);
        while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
               fs::exists("/tmp/.X" + std::to_string(number) + "-lock"))
            ++number;
        const std::string name = ":" + std::to_string(number);
        m_server = std::make_unique<test::ChildProcess>(std::vector<std::string>{
            "/usr/bin/Xvfb", name, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) {
            if (std::chrono::steady_clock::now() > deadline || !m_server->Running()) return;
            std::this_thread::sleep_for(50ms);
        }
        EndWineServer();
        m_name = name;
    }
    ~WineDisplay() {
        if (!m_name.empty()) EndWineServer();
    }
    WineDisplay(const WineDisplay&) = delete;
    WineDisplay& operator=(const WineDisplay&) = delete;
    const std::string& Name() const { return m_name; }

private:
    std::unique_ptr<test::ChildProcess> m_server;
    std::string m_name;
};

struct WineRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a Windows program to its end, with its windows on display when one
// is given. Its output goes to files, so that no pipe of the test is left
// to the wineserver, which outlives the program. One that runs for minutes
// has hung (every one here ends within seconds): it is stopped well before
// the test's own time runs out, so that what it wrote names where.
WineRun RunUnderWine(const std::vector<std::string>& args, const test::TempDir& dir,
                     const std::string& display = "") {
    constexpr int kHungAfterSeconds = 240;
    const std::string out = dir / "wine-stdout.txt", err = dir / "wine-stderr.txt";
    std::string command = "timeout -k 10 " + std::to_string(kHungAfterSeconds) + " env";
    for (const std::string& e : kWineEnvironment) command += " " + test::ShellQuote(e);
    if (!display.empty()) command += " DISPLAY=" + test::ShellQuote(display);
    command += std::string(" ") + kWine64;
    for (const std::string& a : args) command += " " + test::ShellQuote(a);
    command += " </dev/null >" + test::ShellQuote(out) + " 2>" + test::ShellQuote(err);
    WineRun run;
    std::string ignored;
    run.exitCode = test::RunCommand(command, ignored);
    const auto outBytes = test::ReadFile(out), errBytes = test::ReadFile(err);
    run.out.assign(outBytes.begin(), outBytes.end());
    run.err.assign(errBytes.begin(), errBytes.end());
    constexpr int kTimedOut = 124;  // timeout's exit code
    if (run.exitCode == kTimedOut)
        run.err += "\n(stopped after " + std::to_string(kHungAfterSeconds) + " s: it hung)\n";
    return run;
}

// Text written by a Windows program in text mode, with its line ends as
// Linux writes them.
std::string WithLinuxLineEnds(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

// Runs the Linux folivexc; its exit code and stdout.
int RunFolivexc(const std::vector<std::string>& args, std::string& out) {
    std::string command = test::ShellQuote(FOLIVEX_FOLIVEXC);
    for (const std::string& a : args) command += " " + test::ShellQuote(a);
    return test::RunCommand(command + " 2>/dev/null", out);
}

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
                              kWineEnvironment);
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

TEST(WineSmoke, TheWindowsPlatformTestsPass) {
    if (!fs::exists(kWine64)) GTEST_SKIP() << "wine64 is not installed";
    test::TempDir dir;
    // The wizard's tests need a display for their windows; without Xvfb
    // they are skipped.
    const WineDisplay display;
    const WineRun run = RunUnderWine({FOLIVEX_WINDOWS_TESTS}, dir, display.Name());
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("[  PASSED  ]"), std::string::npos) << run.out;
    if (!display.Name().empty()) {
        EXPECT_EQ(run.out.find("no display for windows"), std::string::npos) << run.out;
    }
}

// Runs xdotool on display; its exit code and output.
int XdoTool(const std::string& display, const std::string& args, std::string& out) {
    return test::RunCommand(
        "DISPLAY=" + test::ShellQuote(display) + " xdotool " + args + " 2>/dev/null", out);
}

// folivex.exe as the author starts it: the wizard opens on the Content
// page, Escape leaves it open, the close box (Alt+F4) ends the program, and
// the nine remembered values are then in the registry under its name.
TEST(WineSmoke, TheWizardOpensAndKeepsItsSettingsInTheRegistry) {
    if (!fs::exists(kWine64)) GTEST_SKIP() << "wine64 is not installed";
    std::string ignored;
    if (test::RunCommand("command -v xdotool >/dev/null", ignored) != 0)
        GTEST_SKIP() << "xdotool is not installed";
    const WineDisplay display;
    if (display.Name().empty()) GTEST_SKIP() << "Xvfb is not installed";
    test::TempDir dir;
    const std::string key = "HKCU\\Software\\Tessaroke\\folivex";
    RunUnderWine({"reg", "delete", key, "/f"}, dir, display.Name());

    std::vector<std::string> command = {"/usr/bin/env", "DISPLAY=" + display.Name()};
    command.insert(command.end(), kWineEnvironment.begin(), kWineEnvironment.end());
    command.insert(command.end(), {kWine64, FOLIVEX_FOLIVEX_WIN64});
    test::ChildProcess wizard(command);
    ASSERT_TRUE(wizard.Started());
    std::string window;
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (window.empty() && wizard.Running() && std::chrono::steady_clock::now() < deadline) {
        if (XdoTool(display.Name(), "search --name '^Content$'", window) != 0) window.clear();
        std::this_thread::sleep_for(200ms);
    }
    ASSERT_FALSE(window.empty()) << "no window titled Content (exit code " << wizard.ExitCode()
                                 << ")";
    window = window.substr(0, window.find('\n'));
    std::string out;
    XdoTool(display.Name(), "windowfocus --sync " + window + " key Escape", out);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(wizard.Running()) << "Escape closed the wizard";
    XdoTool(display.Name(), "key alt+F4", out);
    EXPECT_EQ(wizard.Wait(30s), 0);

    const WineRun stored = RunUnderWine({"reg", "query", key + "\\Options"}, dir, display.Name());
    for (const char* name : {"LastProject", "LastProjectFile", "LastIcon", "LastSplash",
                             "LastEBook", "LastAuthor", "LastCopyright", "LastUrl", "LastEMail"}) {
        EXPECT_NE(stored.out.find(std::string(name) + "    REG_SZ"), std::string::npos)
            << name << " in\n"
            << stored.out;
    }
    EXPECT_NE(stored.out.find("*Your Name*"), std::string::npos) << stored.out;
}

// folivexc.exe does what folivexc does: the same book to the byte, the same
// description of it, the same refusal of wrong usage.
TEST(WineSmoke, FolivexcExeMakesTheSameBookAsFolivexc) {
    if (!fs::exists(kWine64)) GTEST_SKIP() << "wine64 is not installed";
    test::TempDir dir;
    // A title outside ASCII and a folder of real pages; no blob cache, whose
    // folder differs between the two.
    const std::string title = "Caf\xC3\xA9 \xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0";
    const std::string linuxBook = dir / "linux.exe", windowsBook = dir / "windows.exe";
    std::string out;
    ASSERT_EQ(
        RunFolivexc({"make", FOLIVEX_SAMPLE_BOOK, "-o", linuxBook, "--title", title, "--no-cache"},
                    out),
        0);
    const WineRun made =
        RunUnderWine({FOLIVEX_FOLIVEXC_WIN64, "make", WinePath(FOLIVEX_SAMPLE_BOOK), "-o",
                      WinePath(windowsBook), "--title", title, "--no-cache"},
                     dir);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.out, "Home page: index.html\r\nE-Book " + WinePath(windowsBook) +
                            " created successfully.\r\n");
    EXPECT_EQ(test::ReadFile(windowsBook), test::ReadFile(linuxBook));

    std::string linuxInfo;
    ASSERT_EQ(RunFolivexc({"info", linuxBook, "--json"}, linuxInfo), 0);
    const WineRun info =
        RunUnderWine({FOLIVEX_FOLIVEXC_WIN64, "info", WinePath(linuxBook), "--json"}, dir);
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(WithLinuxLineEnds(info.out), linuxInfo);

    const WineRun wrong = RunUnderWine({FOLIVEX_FOLIVEXC_WIN64, "make"}, dir);
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(WithLinuxLineEnds(wrong.err).rfind("folivexc: make needs a folder\nusage:\n", 0), 0u)
        << wrong.err;
}

// A book stored where the path holds other letters than ASCII opens itself,
// and its pages are found without regard to case by the same rules as on
// Linux. folivexc.exe makes it from a folder of such names.
TEST(WineSmoke, ABookUnderANonAsciiPathServesPagesInAnyCase) {
    if (!fs::exists(kWine64)) GTEST_SKIP() << "wine64 is not installed";
    test::TempDir dir;
    const std::string folder = dir / "Zo\xC3\xAB";  // Zoë
    const std::string cafe = "caf\xC3\xA9.html", book = "\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0";
    test::WriteText(folder + "/site/" + cafe, "<html><body>caf\xC3\xA9 page</body></html>");
    test::WriteText(folder + "/site/" + book + ".html", "<html><body>book page</body></html>");
    test::WriteText(folder + "/site/index.html", "<html><body>home</body></html>");
    const std::string bookFile = folder + "/" + book + ".exe";  // книга.exe

    const WineRun made =
        RunUnderWine({FOLIVEX_FOLIVEXC_WIN64, "make", WinePath(folder + "/site"), "-o",
                      WinePath(bookFile), "--stub", WinePath(FOLIVEX_TEST_STUB_X64), "--no-cache"},
                     dir);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    std::string out;
    ASSERT_EQ(RunFolivexc({"make", folder + "/site", "-o", dir / "linux.exe", "--stub",
                           FOLIVEX_TEST_STUB_X64, "--no-cache"},
                          out),
              0);
    ASSERT_EQ(test::ReadFile(bookFile), test::ReadFile(dir / "linux.exe")) << "what wine printed:\n"
                                                                           << made.out << made.err;

    const std::string urlFile = dir / "url.txt";
    test::ChildProcess viewer({kWine64, bookFile, "--no-browser", "--url-file", WinePath(urlFile)},
                              kWineEnvironment);
    const auto port = test::WaitForPort(viewer, urlFile, 300s);
    ASSERT_TRUE(port.has_value()) << "the book did not open (exit code " << viewer.ExitCode()
                                  << ")";
    struct Asked {
        const char* target;
        int status;
    };
    const Asked asked[] = {
        {"/book/caf%C3%A9.html", 200},
        {"/book/Caf%C3%A9.html", 200},
        {"/book/CAF%C3%89.HTML", 200},  // É lowers to é, not by the ANSI code page
        {"/book/%D0%9A%D0%9D%D0%98%D0%93%D0%90.HTML", 200},  // КНИГА
        {"/book/cafe.html", 404},
    };
    for (const Asked& a : asked) {
        const auto reply = test::HttpGet(*port, a.target, 30000);
        ASSERT_TRUE(reply.has_value()) << a.target;
        EXPECT_EQ(reply->status, a.status) << a.target;
    }
    const auto page = test::HttpGet(*port, "/book/CAF%C3%89.HTML", 30000);
    ASSERT_TRUE(page.has_value());
    EXPECT_NE(page->body.find("caf\xC3\xA9 page"), std::string::npos) << page->body;
    viewer.Stop();
}

}  // namespace
}  // namespace folivex
