// HttpServer: serves one open e-book to a browser on the loopback interface.
//
// The server listens on 127.0.0.1 at a port the system picks, speaks
// HTTP/1.1 with keep-alive, and answers only GET and HEAD (plus POST to the
// exit endpoint). What it serves:
//   /                 the shell page (toolbar, page frame, search, About box)
//   /shell.js, /sw.js, /closed.html, ...   the shell's other files (gzip when
//                     the client takes it)
//   /favicon.ico      the book's icon (SetIconFile)
//   /book/<path>      a page of the book, unchanged; <path> is percent-decoded
//                     and matched without regard to case
//   /api/book         the book's title, texts, settings and pages (with their
//                     titles) as JSON
//   /api/search?q=    ranked search results over the searchable pages (JSON)
//   /api/splash       the splash bitmap, when the book has one
//   /api/heartbeat    the page calling in (default-browser mode); when it
//                     cannot, the page knows the viewer has ended
//   POST /api/exit    ends Run(); needs the per-run token of the shell page
//
// Safety: a request whose Host is not this server's own address and port is
// refused (421), paths that leave the book are refused, request heads are
// bounded in size (431) and in time (slow clients are dropped), and at most
// maxConnections connections are served at once (more wait in the listen
// queue). No request can crash the server or make it allocate more than its
// bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace folivex {

class BookReader;

struct HttpServerOptions {
    int maxConnections = 64;         // connections served at the same time
    size_t maxRequestBytes = 16384;  // request line + headers (+ body)
    int requestTimeoutMs = 10000;    // to receive one whole request; also idle keep-alive
    // The port to try first (0: any free port). A book served at the same
    // address every time keeps what its pages stored in the browser (the
    // font size); when the port is taken, any free port is used instead.
    uint16_t preferredPort = 0;
};

class HttpServer {
public:
    // The book must outlive the server.
    HttpServer(const BookReader& book, HttpServerOptions options = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds 127.0.0.1 on a free port and starts listening, and starts
    // reading the pages' titles for the shell. On failure returns false with
    // a text for a message box in error.
    bool Start(std::string& error);
    // Valid after a successful Start.
    uint16_t Port() const;
    std::string Url() const;  // "http://127.0.0.1:PORT/"

    // Serves until Stop(), an exit request from the page (with the per-run
    // token), or the heartbeat timeout. Returns after every connection is
    // closed and every worker thread has ended.
    void Run();
    // Makes Run() return soon; safe to call from any thread, before or
    // during Run().
    void Stop();

    // Default-browser mode: Run() also ends when the shell page has not
    // called in for idleSeconds (the page calls every few seconds).
    void EnableHeartbeatExit(int idleSeconds);
    // The .ico file served as the page icon; call before Run().
    void SetIconFile(std::vector<uint8_t> ico);

    // The token the shell page carries for the exit request (tests use it).
    const std::string& ExitToken() const;
    // True when Run() ended because of an exit request or the heartbeat.
    bool EndedByPage() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace folivex
