// The viewer under load: folivex-view serving the sample book while wrk
// drives hundreds of connections at it and fifty slow clients each trickle a
// request head one byte a second. Every well-formed request is answered with
// success, the slow clients are dropped with 408 once the time to receive a
// request has passed, the server's memory stays bounded, and it answers
// normally afterwards.
//
// The server serves at most 64 connections at once; more wait in the listen
// queue until one closes. So the run with hundreds of connections asks each
// connection to close after its answer (a queued connection gets its turn
// within wrk's timeout), and the keep-alive run uses fewer connections than
// the cap. Skipped when wrk is not installed.
#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>

#include "tests/support/BuiltBook.h"
#include "tests/support/HttpClient.h"
#include "tests/support/ServedViewer.h"
#include "tests/support/TempDir.h"

namespace folivex {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kSlowClients = 50;
constexpr auto kRequestTimeout = 10s;  // HttpServerOptions::requestTimeoutMs
constexpr long kMaxPeakRssKb = 256 * 1024;

struct WrkResult {
    std::string output;
    long requests = 0;
    double perSecond = 0;
    long non2xx = 0;
    long socketErrors = 0;
};

long Number(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? std::stol(m[1]) : 0;
}

WrkResult RunWrk(const std::vector<std::string>& args) {
    std::string command = test::ShellQuote(FOLIVEX_WRK);
    for (const auto& a : args) command += " " + test::ShellQuote(a);
    WrkResult r;
    test::RunCommand(command + " 2>&1", r.output);
    r.requests = Number(r.output, R"((\d+) requests in)");
    std::smatch m;
    if (std::regex_search(r.output, m, std::regex(R"(Requests/sec:\s*([0-9.]+))")))
        r.perSecond = std::stod(m[1]);
    r.non2xx = Number(r.output, R"(Non-2xx or 3xx responses: (\d+))");
    if (std::regex_search(
            r.output, m,
            std::regex(R"(Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+))")))
        r.socketErrors = std::stol(m[1]) + std::stol(m[2]) + std::stol(m[3]) + std::stol(m[4]);
    return r;
}

// VmHWM (peak) or VmRSS of a process, in kilobytes.
long MemoryKb(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
}

// The sample book, every page in the search.
std::string BuildSampleBook(const test::TempDir& dir) {
    const std::string path = dir / "sample.exe";
    EXPECT_TRUE(test::BuildBook(FOLIVEX_SAMPLE_BOOK, path, [](CBookApp& app) {
        for (auto& page : app.project.pages) page->inSearch = page->inPageSequence;
        app.blobCacheFolder = std::string();  // no cache of compressed pages in the home folder
    }));
    return path;
}

// folivex-view serving book, and the port it serves on (nothing when it
// wrote no address).
struct ServedBook {
    ServedBook(const std::string& book, const std::string& urlFile)
        : viewer({FOLIVEX_VIEW_EXE, book, "--no-browser", "--url-file", urlFile}),
          port(test::WaitForPort(viewer, urlFile, 15s)) {}
    test::ChildProcess viewer;
    std::optional<uint16_t> port;
};

struct SlowClientsResult {
    int connected = 0;
    int answered408 = 0;    // the server sent 408 and closed
    int droppedInTime = 0;  // closed by the server within the time limit (and a second)
    double longestSeconds = 0;
};

// kSlowClients connections, each sending a request head one byte a second
// (it would take the head over a minute), until the server closes them or
// time runs out.
SlowClientsResult RunSlowClients(uint16_t port, std::chrono::seconds limit) {
    const std::string head =
        "GET /book/index.html HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
        "\r\nUser-Agent: a-very-slow-client\r\nAccept: */*\r\n\r\n";
    struct Client {
        int fd = -1;
        size_t sent = 0;
        Clock::time_point start;
        std::string reply;
        bool closed = false;
    };
    std::vector<Client> clients(kSlowClients);
    SlowClientsResult result;
    for (auto& c : clients) {
        c.fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(c.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) ++result.connected;
        c.start = Clock::now();
    }
    const auto end = Clock::now() + limit;
    auto nextByte = Clock::now();
    while (Clock::now() < end) {
        if (Clock::now() >= nextByte) {
            for (auto& c : clients)
                if (!c.closed && c.sent < head.size() &&
                    send(c.fd, &head[c.sent], 1, MSG_NOSIGNAL) == 1)
                    ++c.sent;
            nextByte += 1s;
        }
        std::vector<pollfd> fds;
        for (auto& c : clients)
            if (!c.closed) fds.push_back({c.fd, POLLIN, 0});
        if (fds.empty()) break;
        poll(fds.data(), fds.size(), 100);
        for (auto& c : clients) {
            if (c.closed) continue;
            char buffer[4096];
            const ssize_t n = recv(c.fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) c.reply.append(buffer, static_cast<size_t>(n));
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                c.closed = true;
                const double seconds =
                    std::chrono::duration<double>(Clock::now() - c.start).count();
                result.longestSeconds = std::max(result.longestSeconds, seconds);
                if (seconds <= std::chrono::duration<double>(kRequestTimeout).count() + 1.5)
                    ++result.droppedInTime;
                if (c.reply.rfind("HTTP/1.1 408", 0) == 0) ++result.answered408;
            }
        }
    }
    for (auto& c : clients) close(c.fd);
    return result;
}

std::string WriteScript(const test::TempDir& dir) {
    // The shell, a page, the book's data, a search and an asset, in turn.
    const std::string path = dir / "paths.lua";
    std::ofstream(path)
        << "local paths = {\"/\", \"/book/index.html\", \"/api/book\", "
           "\"/api/search?q=wizard\", \"/shell.js\", \"/book/pictures/cover.jpg\"}\n"
           "local i = 0\n"
           "request = function()\n"
           "  i = i % #paths + 1\n"
           "  return wrk.format(nil, paths[i])\n"
           "end\n";
    return path;
}

TEST(Load, ManyConnectionsAndSlowClientsGetAnswersWithinBoundedMemory) {
    if (std::string(FOLIVEX_WRK).empty() || access(FOLIVEX_WRK, X_OK) != 0)
        GTEST_SKIP() << "wrk is not installed";
    test::TempDir dir;
    const std::string book = BuildSampleBook(dir);
    const std::string urlFile = dir / "url.txt";
    ServedBook served(book, urlFile);
    test::ChildProcess& viewer = served.viewer;
    const auto port = served.port;
    ASSERT_TRUE(port.has_value()) << "the viewer wrote no address";
    const std::string url = "http://127.0.0.1:" + std::to_string(*port);
    const auto search = test::HttpGet(*port, "/api/search?q=wizard");  // builds the index
    ASSERT_TRUE(search && search->status == 200);
    const std::string script = WriteScript(dir);

    // Hundreds of connections, each closed after its answer, while fifty
    // slow clients hold connections open.
    SlowClientsResult slow;
    std::thread slowThread([&] { slow = RunSlowClients(*port, kRequestTimeout + 3s); });
    std::this_thread::sleep_for(500ms);
    const WrkResult many = RunWrk({"-t2", "-c400", "-d10s", "--timeout", "5s", "-H",
                                   "Connection: close", "-s", script, url + "/"});
    slowThread.join();
    const long rssAfterMany = MemoryKb(viewer.Pid(), "VmRSS");

    // Keep-alive connections, fewer than the cap.
    const WrkResult kept = RunWrk({"-t2", "-c48", "-d5s", "-s", script, url + "/"});
    const long rssAfterKept = MemoryKb(viewer.Pid(), "VmRSS");
    const long peakRss = MemoryKb(viewer.Pid(), "VmHWM");

    std::printf(
        "400 connections, closing: %ld requests, %.0f requests/s, %ld non-2xx, %ld socket errors\n",
        many.requests, many.perSecond, many.non2xx, many.socketErrors);
    std::printf(
        "48 connections, keep-alive: %ld requests, %.0f requests/s, %ld non-2xx, %ld socket "
        "errors\n",
        kept.requests, kept.perSecond, kept.non2xx, kept.socketErrors);
    std::printf("slow clients: %d connected, %d answered 408, %d dropped in time, longest %.1f s\n",
                slow.connected, slow.answered408, slow.droppedInTime, slow.longestSeconds);
    std::printf("server RSS: %ld kB after the first run, %ld kB after the second, peak %ld kB\n",
                rssAfterMany, rssAfterKept, peakRss);

    EXPECT_GT(many.requests, 1000) << many.output;
    EXPECT_EQ(many.non2xx, 0) << many.output;
    EXPECT_EQ(many.socketErrors, 0) << many.output;
    EXPECT_GT(kept.requests, 1000) << kept.output;
    EXPECT_EQ(kept.non2xx, 0) << kept.output;
    EXPECT_EQ(kept.socketErrors, 0) << kept.output;

    EXPECT_EQ(slow.connected, kSlowClients);
    EXPECT_EQ(slow.droppedInTime, kSlowClients);
    EXPECT_EQ(slow.answered408, kSlowClients);

    EXPECT_GT(peakRss, 0);
    EXPECT_LT(peakRss, kMaxPeakRssKb);

    ASSERT_TRUE(viewer.Running());
    for (const char* target : {"/", "/book/index.html", "/api/book", "/api/search?q=viewer"}) {
        const auto reply = test::HttpGet(*port, target);
        ASSERT_TRUE(reply.has_value()) << target;
        EXPECT_EQ(reply->status, 200) << target;
    }
}

// The server's limits, one by one, on the real process: a connection over
// the cap waits until another closes; a request head over 16 KiB is refused
// with 431.
TEST(Load, ConnectionsOverTheCapWaitAndLargeHeadsAreRefused) {
    test::TempDir dir;
    const std::string book = BuildSampleBook(dir);
    const std::string urlFile = dir / "url.txt";
    ServedBook served(book, urlFile);
    const auto port = served.port;
    ASSERT_TRUE(port.has_value());
    const std::string request =
        "GET /api/book HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(*port) + "\r\n\r\n";

    // 64 connections (the cap) that send nothing yet.
    std::vector<std::unique_ptr<test::Client>> held;
    for (int i = 0; i < 64; ++i) {
        held.push_back(std::make_unique<test::Client>(*port));
        ASSERT_TRUE(held.back()->Connected());
    }
    std::this_thread::sleep_for(300ms);  // all accepted
    test::Client waiting(*port);
    ASSERT_TRUE(waiting.Connected());  // the kernel queues it
    ASSERT_TRUE(waiting.Send(request));
    EXPECT_EQ(waiting.Read(false, 1500).status, 0) << "served beyond the cap";
    // One held connection asks and closes: the waiting one gets its turn.
    ASSERT_TRUE(held.front()->Send(request));
    EXPECT_EQ(held.front()->Read(false, 2000).status, 200);
    held.front().reset();
    EXPECT_EQ(waiting.Read(false, 2000).status, 200);
    held.clear();

    test::Client large(*port);
    ASSERT_TRUE(large.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(*port) +
                           "\r\nX-Filler: " + std::string(17000, 'a') + "\r\n\r\n"));
    EXPECT_EQ(large.Read(false, 3000).status, 431);
}

}  // namespace
}  // namespace folivex
