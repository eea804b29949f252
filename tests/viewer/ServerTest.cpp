// The viewer's HTTP server, in-process, on books made by the builder: every
// page byte for byte in both codings, lookups, conditional requests, and the
// requests it must refuse while it keeps serving everyone else.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <random>

#include "tests/support/BuiltBook.h"
#include "tests/support/RunningServer.h"
#include "viewer/server/HttpMessage.h"

namespace folivex::test {
namespace {

std::string Inflate(const std::string& stream, size_t length) {
    std::string out(length, '\0');
    uLongf outLength = static_cast<uLongf>(length);
    int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &outLength,
                        reinterpret_cast<const Bytef*>(stream.data()),
                        static_cast<uLong>(stream.size()));
    if (rc != Z_OK || outLength != length) return "<inflate failed>";
    return out;
}

std::string UrlPath(const std::string& path) {
    std::string out;
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_') {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

class ServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir;
        const std::string src = *dir / "book";
        WriteText(src + "/index.htm",
                  "<html><head><title>Home Page</title></head><body><h1>Welcome</h1>"
                  "<p>alpha bravo <a href=\"Chapter%201.htm\">one</a></p></body></html>");
        WriteText(src + "/Chapter 1.htm", "<html><body><h2>Chapter One</h2>charlie</body></html>");
        WriteText(src + "/sub/Deep.HTM", "<html><body>deep page delta</body></html>");
        WriteText(src + "/style.css", "body { color: #333 }");
        WriteText(src + "/notes.txt", "plain notes");
        std::string big = "<html><body>";
        std::mt19937 random(7);
        while (big.size() < 300000) big += "word" + std::to_string(random() % 100000) + " ";
        WriteText(src + "/big.htm", big + "</body></html>");
        std::vector<uint8_t> png(5000);
        for (auto& b : png) b = static_cast<uint8_t>(random());
        WriteFile(src + "/img/logo.png", png);
        book = BuildBook(src, *dir / "book.exe", [](CBookApp& app) {
                   app.project.title = "Server Test Book";
               }).release();
        ASSERT_NE(book, nullptr);
    }
    static void TearDownTestSuite() {
        delete book;
        delete dir;
    }

    static TempDir* dir;
    static BookReader* book;
};
TempDir* ServerTest::dir = nullptr;
BookReader* ServerTest::book = nullptr;

TEST_F(ServerTest, ServesEveryPageByteForByteInBothCodings) {
    RunningServer server(*book);
    ASSERT_TRUE(server.Started());
    ASSERT_EQ(book->Pages().size(), 7u);
    Client c(server.Port());  // one keep-alive connection for all of them
    for (const PageDirEntry& page : book->Pages()) {
        std::vector<uint8_t> data = book->PageData(page);
        std::string expected(data.begin(), data.end());
        std::string target = "/book/" + UrlPath(page.path);

        c.Send(Request(server.Port(), target));
        Response plain = c.Read();
        EXPECT_EQ(plain.status, 200) << page.path;
        EXPECT_EQ(plain.Header("content-type"), http::ContentTypeFor(page.path)) << page.path;
        EXPECT_FALSE(plain.Has("content-encoding")) << page.path;
        EXPECT_EQ(plain.body, expected) << page.path;

        c.Send(Request(server.Port(), target, "Accept-Encoding: gzip, deflate, br\r\n"));
        Response packed = c.Read();
        EXPECT_EQ(packed.status, 200) << page.path;
        EXPECT_EQ(packed.Header("content-encoding"), "deflate") << page.path;
        EXPECT_EQ(Inflate(packed.body, expected.size()), expected) << page.path;
        EXPECT_EQ(packed.Header("vary"), "Accept-Encoding");
    }
}

TEST_F(ServerTest, FindsPagesWithoutRegardToCaseAndDecodesPercentEscapes) {
    RunningServer server(*book);
    EXPECT_EQ(Fetch(server.Port(), "/book/SUB/deep.HTM").status, 200);
    EXPECT_EQ(Fetch(server.Port(), "/book/Sub/Deep.htm?x=1#top").status, 200);
    Response spaced = Fetch(server.Port(), "/book/chapter%201.htm");
    EXPECT_EQ(spaced.status, 200);
    EXPECT_NE(spaced.body.find("charlie"), std::string::npos);
    EXPECT_EQ(Fetch(server.Port(), "/book/%69ndex.htm").status, 200);
}

TEST_F(ServerTest, AnswersMissingPagesWithItsOwnNotFoundPageAndKeepsTheConnection) {
    RunningServer server(*book);
    Client c(server.Port());
    c.Send(Request(server.Port(), "/book/missing.htm"));
    Response missing = c.Read();
    EXPECT_EQ(missing.status, 404);
    EXPECT_NE(missing.body.find("missing.htm"), std::string::npos);
    EXPECT_NE(missing.Header("content-type").find("text/html"), std::string::npos);
    EXPECT_FALSE(missing.closed);
    c.Send(Request(server.Port(), "/book/index.htm"));
    EXPECT_EQ(c.Read().status, 200);
    EXPECT_EQ(Fetch(server.Port(), "/book/").status, 404);
    EXPECT_EQ(Fetch(server.Port(), "/nothing-here").status, 404);
}

TEST_F(ServerTest, HeadSendsTheHeadersOfGetWithoutTheBody) {
    RunningServer server(*book);
    Client c(server.Port());
    c.Send(Request(server.Port(), "/book/big.htm", {}, "HEAD"));
    Response head = c.Read(true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.Header("content-length"),
              std::to_string(book->PageData(*book->FindPage("big.htm")).size()));
    // Had a body followed, the next response would be read from inside it.
    c.Send(Request(server.Port(), "/book/notes.txt"));
    Response next = c.Read();
    EXPECT_EQ(next.status, 200);
    EXPECT_EQ(next.body, "plain notes");
}

TEST_F(ServerTest, AnswersAMatchingEtagWithNotModified) {
    RunningServer server(*book);
    Response first = Fetch(server.Port(), "/book/index.htm");
    std::string etag = first.Header("etag");
    ASSERT_FALSE(etag.empty());
    EXPECT_FALSE(first.Header("cache-control").empty());
    Client c(server.Port());
    c.Send(Request(server.Port(), "/book/index.htm", "If-None-Match: \"other\", " + etag + "\r\n"));
    Response again = c.Read();
    EXPECT_EQ(again.status, 304);
    EXPECT_TRUE(again.body.empty());
    // The same page in the other coding is the same content.
    c.Send(Request(server.Port(), "/book/index.htm",
                   "Accept-Encoding: deflate\r\nIf-None-Match: " + etag + "\r\n"));
    EXPECT_EQ(c.Read().status, 304);
    c.Send(Request(server.Port(), "/book/style.css", "If-None-Match: " + etag + "\r\n"));
    EXPECT_EQ(c.Read().status, 200);
}

TEST_F(ServerTest, RefusesPathsThatLeaveTheBookAndKeepsServing) {
    RunningServer server(*book);
    const char* bad[] = {
        "/book/../book.exe",      "/book/sub/../../x",
        "/book/%2e%2e/book.exe",  "/book/sub%2fdeep.htm",
        "/book/sub%2Fdeep.htm",   "/book/sub%5cdeep.htm",
        "/book/sub\\deep.htm",    "/book/index.htm%00",
        "/book/index.htm%00.png", "/book/%zz",
        "/book/./index.htm",      "/book/index.htm%",
    };
    for (const char* target : bad) {
        Response r = Fetch(server.Port(), target);
        EXPECT_GE(r.status, 400) << target;
        EXPECT_LT(r.status, 500) << target;
        EXPECT_EQ(r.body.find("alpha"), std::string::npos) << target;
        EXPECT_EQ(Fetch(server.Port(), "/book/index.htm").status, 200) << "after " << target;
    }
    // Not an origin-form target at all.
    Client c(server.Port());
    c.Send("GET http://127.0.0.1:" + std::to_string(server.Port()) +
           "/book/index.htm HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
           "\r\n\r\n");
    EXPECT_EQ(c.Read().status, 400);
}

TEST_F(ServerTest, AnswersOnlyForItsOwnHost) {
    RunningServer server(*book);
    const std::string port = std::to_string(server.Port());
    auto withHost = [&](const std::string& host) {
        Client c(server.Port());
        c.Send("GET /book/index.htm HTTP/1.1\r\n" + host + "\r\n");
        return c.Read();
    };
    const std::pair<std::string, int> cases[] = {
        {"Host: 127.0.0.1:" + port + "\r\n", 200},
        {"Host: localhost:" + port + "\r\n", 200},
        {"Host: LocalHost:" + port + "\r\n", 200},
        {"Host: evil.example:" + port + "\r\n", 421},
        {"Host: 127.0.0.1\r\n", 421},
        {"Host: 127.0.0.1:1" + port + "\r\n", 421},
        {"Host: x127.0.0.1:" + port + "\r\n", 421},
        {"", 400},
    };
    for (const auto& [host, status] : cases) EXPECT_EQ(withHost(host).status, status) << host;
    EXPECT_EQ(Fetch(server.Port(), "/book/index.htm").status, 200);
}

// The parser's refusals (HttpMessageTest) reach the client, and the server
// closes the connection after them, also for a head that never ends.
TEST_F(ServerTest, RefusesOversizedRequestsAndKeepsServing) {
    HttpServerOptions options;
    options.maxRequestBytes = 4096;
    RunningServer server(*book, options);
    {
        Client c(server.Port());
        c.Send(Request(server.Port(), "/book/index.htm",
                       "X-Filler: " + std::string(8000, 'a') + "\r\n"));
        EXPECT_EQ(c.Read().status, 431);
        EXPECT_TRUE(c.ClosedByServer(2000));
    }
    {
        Client c(server.Port());
        c.Send("GET / HTTP/1.1\r\n");
        for (int i = 0; i < 100 && c.Send("X-A: " + std::string(100, 'b') + "\r\n"); ++i) {
        }
        EXPECT_EQ(c.Read().status, 431);
    }
    EXPECT_EQ(Fetch(server.Port(), "/book/index.htm").status, 200);
}

// A client that starts a request and stalls gets 408 and is closed; an idle
// connection is closed without a word. The timeout is far above what a
// loaded machine takes to start serving a connection, which would leave no
// request begun to answer.
TEST_F(ServerTest, DropsSlowClientsWithoutHoldingUpOthers) {
    HttpServerOptions options;
    options.requestTimeoutMs = 1000;
    RunningServer server(*book, options);
    Client slow(server.Port());
    slow.Send("GET /book/index.htm HTTP/1.1\r\nHost: 127.0.0.1:");
    EXPECT_EQ(Fetch(server.Port(), "/book/index.htm").status, 200);  // meanwhile
    EXPECT_EQ(slow.Read(false, 5000).status, 408);
    EXPECT_TRUE(slow.ClosedByServer(5000));
    Client idle(server.Port());
    EXPECT_TRUE(idle.ClosedByServer(5000));
}

TEST_F(ServerTest, BoundsConcurrentConnectionsAndServesThemAll) {
    HttpServerOptions options;
    options.maxConnections = 4;
    options.requestTimeoutMs = 800;
    RunningServer server(*book, options);
    {
        // More idle connections than the bound: later clients wait, then get served.
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < 12; ++i) idle.push_back(std::make_unique<Client>(server.Port()));
        Response r = Fetch(server.Port(), "/book/index.htm");
        EXPECT_EQ(r.status, 200);
    }
    // Many busy clients on few slots: every request is answered. The short
    // timeout above would cut off clients that a loaded machine schedules
    // late, so these get the usual one.
    options.requestTimeoutMs = HttpServerOptions{}.requestTimeoutMs;
    RunningServer busy(*book, options);
    std::atomic<int> ok{0};
    std::vector<std::thread> clients;
    // A keep-alive connection idle between two requests may be closed to
    // make room for a waiting client; like a browser, the client then sends
    // its request again on a new connection.
    for (int i = 0; i < 40; ++i) {
        clients.emplace_back([&] {
            auto c = std::make_unique<Client>(busy.Port());
            for (int k = 0; k < 5; ++k) {
                for (int attempt = 0; attempt < 2; ++attempt) {
                    c->Send(Request(busy.Port(), "/book/big.htm", "Accept-Encoding: deflate\r\n"));
                    if (c->Read(false, 10000).status == 200) {
                        ++ok;
                        break;
                    }
                    c = std::make_unique<Client>(busy.Port());
                }
            }
        });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(ok, 200);
}

TEST_F(ServerTest, IdleKeepAliveConnectionsMakeRoomForWaitingClients) {
    HttpServerOptions options;
    options.maxConnections = 4;  // idle connections would otherwise hold these for 10 s
    RunningServer server(*book, options);
    std::vector<std::unique_ptr<Client>> holders;
    for (int i = 0; i < 4; ++i) {
        holders.push_back(std::make_unique<Client>(server.Port()));
        holders.back()->Send(Request(server.Port(), "/book/notes.txt"));
        EXPECT_EQ(holders.back()->Read().status, 200);
    }
    // Held for the usual request timeout, the slots would outlast the
    // client's wait.
    static_assert(HttpServerOptions{}.requestTimeoutMs > 5000);
    EXPECT_EQ(Fetch(server.Port(), "/book/index.htm").status, 200);
}

TEST_F(ServerTest, AnswersPipelinedRequestsInOrder) {
    RunningServer server(*book);
    Client c(server.Port());
    c.Send(Request(server.Port(), "/book/notes.txt") + Request(server.Port(), "/book/style.css") +
           Request(server.Port(), "/book/notes.txt", "Connection: close\r\n"));
    EXPECT_EQ(c.Read().body, "plain notes");
    EXPECT_EQ(c.Read().body, "body { color: #333 }");
    Response last = c.Read();
    EXPECT_EQ(last.body, "plain notes");
    EXPECT_TRUE(last.closed);
    EXPECT_TRUE(c.ClosedByServer(2000));
}

TEST_F(ServerTest, ExitNeedsThisRunsToken) {
    RunningServer server(*book);
    const std::string& token = server.Server().ExitToken();
    EXPECT_EQ(token.size(), 32u);
    EXPECT_EQ(Fetch(server.Port(), "/api/exit", {}, "POST").status, 403);
    EXPECT_EQ(
        Fetch(server.Port(), "/api/exit", "X-Exit-Token: " + std::string(32, '0') + "\r\n", "POST")
            .status,
        403);
    EXPECT_EQ(Fetch(server.Port(), "/api/exit", "X-Exit-Token: " + token + "\r\n").status, 405);
    EXPECT_EQ(Fetch(server.Port(), "/book/index.htm", {}, "PUT").status, 405);
    EXPECT_FALSE(server.WaitEnded(100));
    EXPECT_EQ(Fetch(server.Port(), "/book/index.htm").status, 200);

    // The shell page carries the token; its exit request ends the run.
    EXPECT_NE(Fetch(server.Port(), "/").body.find(token), std::string::npos);
    EXPECT_EQ(Fetch(server.Port(), "/api/exit", "X-Exit-Token: " + token + "\r\n", "POST").status,
              204);
    EXPECT_TRUE(server.WaitEnded(3000));
    EXPECT_TRUE(server.Server().EndedByPage());
}

TEST_F(ServerTest, EndsWhenThePageStopsCallingIn) {
    RunningServer server(*book);
    server.Server().EnableHeartbeatExit(1);
    EXPECT_EQ(Fetch(server.Port(), "/api/heartbeat", {}, "POST").status, 204);
    EXPECT_FALSE(server.WaitEnded(500));
    EXPECT_TRUE(server.WaitEnded(4000));
    EXPECT_TRUE(server.Server().EndedByPage());
}

// Stop does not wait for the connections' request timeout, set here far
// beyond any delay a loaded machine adds.
TEST_F(ServerTest, StopEndsRunWithOpenConnections) {
    HttpServerOptions options;
    options.requestTimeoutMs = 120000;
    auto server = std::make_unique<RunningServer>(*book, options);
    Client idle(server->Port());
    Client busy(server->Port());
    busy.Send("GET / HTTP/1.1\r\n");
    EXPECT_EQ(Fetch(server->Port(), "/book/index.htm").status, 200);  // both are being served now
    auto start = std::chrono::steady_clock::now();
    server.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_TRUE(idle.ClosedByServer(1000));
}

TEST_F(ServerTest, ServesTheShellPageWithTheBookTitleAndIcon) {
    RunningServer server(*book);
    Response shell = Fetch(server.Port(), "/");
    EXPECT_EQ(shell.status, 200);
    EXPECT_NE(shell.body.find("<title>Server Test Book</title>"), std::string::npos);
    EXPECT_EQ(shell.Header("cache-control"), "no-store");
    EXPECT_EQ(Fetch(server.Port(), "/shell.css").status, 200);
    EXPECT_EQ(Fetch(server.Port(), "/favicon.ico").status, 404);
    EXPECT_EQ(Fetch(server.Port(), "/api/splash").status, 404);

    RunningServer withIcon(*book);
    withIcon.Server().SetIconFile({0, 0, 1, 0, 1, 0});
    Response icon = Fetch(withIcon.Port(), "/favicon.ico");
    EXPECT_EQ(icon.status, 200);
    EXPECT_EQ(icon.body, std::string("\0\0\1\0\1\0", 6));
    EXPECT_EQ(icon.Header("content-type"), "image/x-icon");
}

TEST_F(ServerTest, DescribesTheBookAsJson) {
    RunningServer server(*book);
    Response r = Fetch(server.Port(), "/api/book");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("content-type"), "application/json; charset=utf-8");
    EXPECT_NE(r.body.find("\"title\":\"Server Test Book\""), std::string::npos);
    EXPECT_NE(r.body.find("\"showToolbar\":true"), std::string::npos);
    // Every page with its title, for the contents: the <title>, else the
    // first heading, else the path.
    for (const char* page :
         {"{\"path\":\"index.htm\",\"title\":\"Home Page\",\"seq\":true,\"search\":true}",
          "{\"path\":\"chapter 1.htm\",\"title\":\"Chapter One\",\"seq\":true,\"search\":true}",
          "{\"path\":\"img/logo.png\",\"title\":\"img/logo.png\",\"seq\":false,\"search\":false}"})
        EXPECT_NE(r.body.find(page), std::string::npos) << page;

    // No words, no search: the shell lists the contents from /api/book.
    Response none = Fetch(server.Port(), "/api/search?q=+");
    EXPECT_NE(none.body.find("\"total\":0,\"results\":[]"), std::string::npos) << none.body;
    EXPECT_EQ(Fetch(server.Port(), "/api/contents").status, 404);

    Response found = Fetch(server.Port(), "/api/search?q=Charlie");
    EXPECT_NE(found.body.find("\"total\":1"), std::string::npos);
    EXPECT_NE(found.body.find("\"path\":\"chapter 1.htm\""), std::string::npos);
    EXPECT_NE(found.body.find("\"charlie\""), std::string::npos);
}

std::string StorageKey(const BookReader& b) {
    RunningServer server(b);
    const std::string json = Fetch(server.Port(), "/api/book").body;
    const std::string key = "\"storageKey\":\"";
    size_t at = json.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    return json.substr(at, json.find('"', at) - at);
}

TEST_F(ServerTest, KeysWhatTheShellRemembersByTheBookFile) {
    // The reader's place must survive a rebuild with other pages (a page
    // gone is noticed by the shell), and two book files must never share it.
    const std::string other = *dir / "other";
    WriteText(other + "/only.htm", "<html><body>one page</body></html>");
    auto first = BuildBook(*dir / "book", *dir / "keyed.exe");
    auto elsewhere = BuildBook(*dir / "book", *dir / "keyed-too.exe");
    ASSERT_TRUE(first && elsewhere);
    const std::string key = StorageKey(*first);
    EXPECT_EQ(key.size(), 16u);
    EXPECT_NE(StorageKey(*elsewhere), key);
    first.reset();
    auto rebuilt = BuildBook(other, *dir / "keyed.exe");
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(StorageKey(*rebuilt), key);
}

// The body of a gzip response.
std::string Gunzip(const std::string& gz) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return "<gunzip failed>";
    std::string out(1 << 20, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gz.data()));
    z.avail_in = static_cast<uInt>(gz.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : "<gunzip failed>";
}

TEST_F(ServerTest, ServesTheShellsFilesInGzipOrPlain) {
    RunningServer server(*book);
    const std::pair<const char*, const char*> files[] = {
        {"/shell.css", "text/css; charset=utf-8"},
        {"/shell.js", "text/javascript; charset=utf-8"},
        {"/print.js", "text/javascript; charset=utf-8"},
        {"/sw.js", "text/javascript; charset=utf-8"},
        {"/closed.html", "text/html; charset=utf-8"}};
    for (const auto& [path, type] : files) {
        SCOPED_TRACE(path);
        Response plain = Fetch(server.Port(), path);
        Response packed = Fetch(server.Port(), path, "Accept-Encoding: gzip, deflate\r\n");
        EXPECT_EQ(plain.status, 200);
        EXPECT_EQ(plain.Header("content-type"), type);
        EXPECT_FALSE(plain.Has("content-encoding"));
        EXPECT_EQ(packed.Header("content-encoding"), "gzip");
        EXPECT_GT(plain.body.size(), 500u);
        EXPECT_EQ(Gunzip(packed.body), plain.body);
        // Each coding has its own tag; either tells the client its copy is current.
        EXPECT_NE(plain.Header("etag"), packed.Header("etag"));
        for (const Response* r : {&plain, &packed})
            EXPECT_EQ(
                Fetch(server.Port(), path, "If-None-Match: " + r->Header("etag") + "\r\n").status,
                304);
    }
    // The shell page is only ever served filled in, under either name.
    Response named = Fetch(server.Port(), "/index.html", "Accept-Encoding: gzip\r\n");
    EXPECT_NE(named.body.find("<title>Server Test Book</title>"), std::string::npos);
    EXPECT_EQ(named.body.find("{{"), std::string::npos);
    EXPECT_EQ(Fetch(server.Port(), "/shell").status, 404);
    EXPECT_EQ(Fetch(server.Port(), "/ShellAssets.cpp").status, 404);
}

TEST_F(ServerTest, ComesBackAtItsPreferredPortAndFallsBackWhenItIsTaken) {
    // A book reopened at the same address keeps what its pages stored in
    // the browser; a port held by someone else must not stop the book.
    uint16_t port = 0;
    {
        RunningServer probe(*book);  // a port that is free right now
        ASSERT_TRUE(probe.Started());
        port = probe.Port();
    }
    HttpServerOptions options;
    options.preferredPort = port;
    RunningServer first(*book, options);
    ASSERT_TRUE(first.Started());
    EXPECT_EQ(first.Port(), port);

    RunningServer second(*book, options);
    ASSERT_TRUE(second.Started());
    EXPECT_NE(second.Port(), port);
    EXPECT_EQ(Fetch(second.Port(), "/book/index.htm").status, 200);
}

}  // namespace
}  // namespace folivex::test
