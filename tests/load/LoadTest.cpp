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

#include "builder/BuildEBook.h"
#include "platform/ScriptedPrompts.h"
#include "project/BookApp.h"
#include "project/FolderScan.h"
#include "tests/stub/ServedViewer.h"
#include "tests/support/FakePe.h"
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
    std::string command = FOLIVEX_WRK;
    for (const auto& a : args) command += " '" + a + "'";
    command += " 2>&1";
    WrkResult r;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
        pclose(pipe);
    }
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

// The sample book, built on the small stand-in stub.
std::string BuildSampleBook(const test::TempDir& dir) {
    static const std::vector<uint8_t> stub = test::MakeFakePe().bytes;
    ScriptedPrompts prompts;
    CBookApp app(prompts);
    ScanProjectFolder(app, FOLIVEX_SAMPLE_BOOK);
    for (auto& page : app.project.pages) page->inSearch = page->inPageSequence;
    app.viewerStub = stub;
    app.project.ebookFile = dir / "sample.exe";
    app.blobCacheFolder = std::string();  // no cache of compressed pages in the home folder
    EXPECT_EQ(BuildEBook(app), 1);
    return app.project.ebookFile;
}

// folivex-view as a child whose pid we know.
class Viewer {
public:
    Viewer(const std::string& book, const std::string& urlFile) {
        std::vector<std::string> argv = {FOLIVEX_VIEW_EXE, book, "--no-browser", "--url-file",
                                         urlFile};
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        if (posix_spawn(&m_pid, raw[0], nullptr, nullptr, raw.data(), environ) != 0) m_pid = -1;
    }
    ~Viewer() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        for (int i = 0; i < 50 && waitpid(m_pid, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(100ms);
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;
    pid_t Pid() const { return m_pid; }
    bool Running() const { return m_pid > 0 && kill(m_pid, 0) == 0; }

private:
    pid_t m_pid = -1;
};

std::optional<uint16_t> WaitForPort(const std::string& urlFile) {
    for (int i = 0; i < 300; ++i) {
        std::ifstream in(urlFile);
        std::string url;
        if (in && std::getline(in, url) && url.rfind("http://127.0.0.1:", 0) == 0)
            return static_cast<uint16_t>(std::stoi(url.substr(17)));
        std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
}

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
    Viewer viewer(book, urlFile);
    ASSERT_GT(viewer.Pid(), 0);
    const auto port = WaitForPort(urlFile);
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

// A connection to the viewer that sends what it is given and reads what
// comes back within a time.
class RawConnection {
public:
    explicit RawConnection(uint16_t port) : m_fd(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawConnection() { close(m_fd); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool Connected() const { return m_connected; }
    bool Send(const std::string& data) {
        return send(m_fd, data.data(), data.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(data.size());
    }
    // What arrives within the time (until the peer closes, or time is up).
    std::string Receive(std::chrono::milliseconds within) {
        std::string got;
        const auto end = Clock::now() + within;
        while (Clock::now() < end) {
            pollfd p{m_fd, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (poll(&p, 1, static_cast<int>(std::max<long>(left, 1))) <= 0) continue;
            char buffer[4096];
            const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            got.append(buffer, static_cast<size_t>(n));
            if (got.find("\r\n\r\n") != std::string::npos) break;
        }
        return got;
    }

private:
    int m_fd;
    bool m_connected = false;
};

// The server's limits, one by one, on the real process: a connection over
// the cap waits until another closes; a request head over 16 KiB is refused
// with 431.
TEST(Load, ConnectionsOverTheCapWaitAndLargeHeadsAreRefused) {
    test::TempDir dir;
    const std::string book = BuildSampleBook(dir);
    const std::string urlFile = dir / "url.txt";
    Viewer viewer(book, urlFile);
    const auto port = WaitForPort(urlFile);
    ASSERT_TRUE(port.has_value());
    const std::string request =
        "GET /api/book HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(*port) + "\r\n\r\n";

    // 64 connections (the cap) that send nothing yet.
    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < 64; ++i) {
        held.push_back(std::make_unique<RawConnection>(*port));
        ASSERT_TRUE(held.back()->Connected());
    }
    std::this_thread::sleep_for(300ms);  // all accepted
    RawConnection waiting(*port);
    ASSERT_TRUE(waiting.Connected());  // the kernel queues it
    ASSERT_TRUE(waiting.Send(request));
    EXPECT_EQ(waiting.Receive(1500ms), "") << "served beyond the cap";
    // One held connection asks and closes: the waiting one gets its turn.
    ASSERT_TRUE(held.front()->Send(request));
    EXPECT_EQ(held.front()->Receive(2s).rfind("HTTP/1.1 200", 0), 0u);
    held.front().reset();
    EXPECT_EQ(waiting.Receive(2s).rfind("HTTP/1.1 200", 0), 0u);
    held.clear();

    RawConnection large(*port);
    ASSERT_TRUE(large.Send("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(*port) +
                           "\r\nX-Filler: " + std::string(17000, 'a') + "\r\n\r\n"));
    EXPECT_EQ(large.Receive(3s).rfind("HTTP/1.1 431", 0), 0u);
}

}  // namespace
}  // namespace folivex
