#include "viewer/server/HttpServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "platform/Ascii.h"
#include "viewer/BookReader.h"
#include "viewer/server/BookSite.h"
#include "viewer/server/HttpMessage.h"
#include "viewer/server/Socket.h"

namespace folivex {

namespace {

using Clock = std::chrono::steady_clock;

// How often blocked loops look at the stop flag.
constexpr int kPollSliceMs = 200;
// Before the page has called in once, the browser may still be starting.
constexpr int kFirstHeartbeatGraceMs = 60000;
// Bodies up to this size go out in the same send as the head.
constexpr size_t kCoalesceBytes = 32768;
// Connections beyond maxConnections wait here until one closes. A short
// queue overflows under a burst, and the kernel then drops new connections
// for the client to retry seconds later; the kernel caps it at somaxconn.
constexpr int kListenBacklog = 1024;

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

std::string MakeToken() {
    std::random_device device;
    std::seed_seq seed{device(),
                       device(),
                       device(),
                       device(),
                       static_cast<unsigned>(NowMs()),
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(&device))};
    std::mt19937_64 engine(seed);
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 32; ++i) token.push_back(kHex[engine() & 15]);
    return token;
}

// Compares without stopping at the first difference.
bool SameToken(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned diff = 0;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
    return diff == 0;
}

}  // namespace

struct HttpServer::Impl {
    const BookReader& book;
    HttpServerOptions options;
    std::string token = MakeToken();
    BookSite site;

    net::Socket listener;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<bool> endedByPage{false};
    std::atomic<int> heartbeatIdleSeconds{0};
    std::atomic<int64_t> lastHeartbeatMs{0};
    std::atomic<bool> heartbeatSeen{false};
    // Every connection slot is taken and more clients wait: connections
    // then close after their current response instead of idling, so that
    // the waiting clients get their turn.
    std::atomic<bool> crowded{false};

    std::mutex mutex;
    std::condition_variable changed;
    int active = 0;

    Impl(const BookReader& b, HttpServerOptions o) : book(b), options(o), site(b, token) {
        if (options.maxConnections < 1) options.maxConnections = 1;
        if (options.maxRequestBytes < 1024) options.maxRequestBytes = 1024;
        if (options.requestTimeoutMs < 100) options.requestTimeoutMs = 100;
    }

    // What one connection has received and not yet answered.
    struct ConnectionBuffer {
        std::string bytes;
        std::vector<char> chunk = std::vector<char>(16384);
        size_t limit = 0;
        int64_t deadline = 0;
    };
    void Serve(net::SocketHandle handle);
    bool ReceiveMore(net::SocketHandle s, ConnectionBuffer& in);
    // Answers one request; false when the connection must close afterwards.
    bool Answer(net::SocketHandle s, const http::Request& request);
    bool Send(net::SocketHandle s, const SiteResponse& r, bool head, bool keepAlive);
    bool HostIsOurs(const std::string& host) const;
    void CheckHeartbeat();
};

bool HttpServer::Impl::HostIsOurs(const std::string& host) const {
    std::string suffix = ":" + std::to_string(port);
    if (host.size() <= suffix.size() ||
        host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::string_view name = std::string_view(host).substr(0, host.size() - suffix.size());
    return name == "127.0.0.1" || EqualsIgnoringAsciiCase(name, "localhost");
}

bool HttpServer::Impl::Send(net::SocketHandle s, const SiteResponse& r, bool head, bool keepAlive) {
    size_t length = r.body ? r.body->size() : 0;
    std::string out = http::ResponseHead(r.status, r.headers, length, keepAlive);
    bool withBody = !head && length > 0 && r.status != 304;
    if (withBody && length <= kCoalesceBytes) {
        out += *r.body;
        return net::SendAll(s, out.data(), out.size());
    }
    if (!net::SendAll(s, out.data(), out.size())) return false;
    return !withBody || net::SendAll(s, r.body->data(), length);
}

bool HttpServer::Impl::Answer(net::SocketHandle s, const http::Request& request) {
    bool keepAlive = request.keepAlive && !stopping && !crowded;
    const std::string* host = request.Header("host");
    if (!host) {
        Send(s, BookSite::ErrorPage(400, "The request names no host."), false, false);
        return false;
    }
    if (!HostIsOurs(*host)) {
        // Pages of other sites (DNS rebinding) must not reach the book.
        Send(s, BookSite::ErrorPage(421, "This server answers only for its own address."),
             request.method == "HEAD", false);
        return false;
    }
    if (request.target.empty() || request.target[0] != '/') {
        Send(s, BookSite::ErrorPage(400, "The address is malformed."), false, false);
        return false;
    }
    std::string_view path = request.Path();
    const bool get = request.method == "GET", head = request.method == "HEAD";
    const bool post = request.method == "POST";
    SiteResponse response;
    if (path == "/api/heartbeat" && (get || post)) {
        lastHeartbeatMs = NowMs();
        heartbeatSeen = true;
        response.status = 204;
        response.headers = {{"Cache-Control", "no-store"}};
    } else if (path == "/api/exit") {
        const std::string* given = request.Header("x-exit-token");
        if (!post) {
            response = BookSite::ErrorPage(405);
            response.headers.emplace_back("Allow", "POST");
        } else if (!given || !SameToken(*given, token)) {
            response =
                BookSite::ErrorPage(403, "The exit request does not carry this run's token.");
        } else {
            response.status = 204;
            response.headers = {{"Cache-Control", "no-store"}};
            endedByPage = true;
            stopping = true;
            keepAlive = false;
        }
    } else if (!get && !head) {
        response = BookSite::ErrorPage(405);
        response.headers.emplace_back("Allow", "GET, HEAD");
    } else {
        try {
            response = site.Handle(request);
        } catch (const std::exception&) {
            response = BookSite::ErrorPage(500, "The server could not answer this request.");
        }
    }
    return Send(s, response, head, keepAlive) && keepAlive;
}

void HttpServer::Impl::Serve(net::SocketHandle handle) {
    net::Socket socket(handle);
    ConnectionBuffer in;
    // Pipelined requests may arrive together, but never more than this
    // waits in the buffer.
    in.limit = options.maxRequestBytes * 2 + 1;
    in.deadline = NowMs() + options.requestTimeoutMs;
    bool served = false;
    while (!stopping) {
        http::Request request;
        http::ParseResult parsed = http::ParseRequest(in.bytes, options.maxRequestBytes, request);
        if (parsed.status == http::ParseStatus::complete) {
            in.bytes.erase(0, parsed.consumed);
            if (!Answer(socket.Get(), request)) return;
            served = true;
            in.deadline = NowMs() + options.requestTimeoutMs;
            continue;
        }
        if (parsed.status == http::ParseStatus::failed) {
            Send(socket.Get(), BookSite::ErrorPage(parsed.errorStatus), false, false);
            return;
        }
        if (crowded && served && in.bytes.empty()) return;  // idle between requests: make room
        if (!ReceiveMore(socket.Get(), in)) return;
    }
}

// Waits up to one poll slice for more of the request and appends it. False
// when the connection is to end: the client went away, was too slow to
// finish a request it started (408), or sent more than the buffer holds
// (431).
bool HttpServer::Impl::ReceiveMore(net::SocketHandle s, ConnectionBuffer& in) {
    const int64_t left = in.deadline - NowMs();
    if (left <= 0) {
        if (!in.bytes.empty()) Send(s, BookSite::ErrorPage(408), false, false);
        return false;
    }
    const auto wait = net::WaitReadable(s, static_cast<int>(std::min<int64_t>(left, kPollSliceMs)));
    if (wait == net::WaitResult::failed) return false;
    if (wait == net::WaitResult::timeout) return true;
    const size_t room = in.limit > in.bytes.size() ? in.limit - in.bytes.size() : 0;
    if (room == 0) {
        Send(s, BookSite::ErrorPage(431), false, false);
        return false;
    }
    const long n = net::Receive(s, in.chunk.data(), std::min(room, in.chunk.size()));
    if (n <= 0) return false;
    in.bytes.append(in.chunk.data(), static_cast<size_t>(n));
    return true;
}

void HttpServer::Impl::CheckHeartbeat() {
    int idle = heartbeatIdleSeconds;
    if (idle <= 0) return;
    int64_t allowed = int64_t{idle} * 1000;
    if (!heartbeatSeen && allowed < kFirstHeartbeatGraceMs) allowed = kFirstHeartbeatGraceMs;
    if (NowMs() - lastHeartbeatMs > allowed) {
        endedByPage = true;
        stopping = true;
    }
}

HttpServer::HttpServer(const BookReader& book, HttpServerOptions options)
    : m_impl(std::make_unique<Impl>(book, options)) {}

HttpServer::~HttpServer() {
    Stop();
    std::unique_lock lock(m_impl->mutex);
    m_impl->changed.wait(lock, [this] { return m_impl->active == 0; });
}

bool HttpServer::Start(std::string& error) {
    if (!net::Startup(error)) return false;
    m_impl->port = m_impl->options.preferredPort;
    net::SocketHandle h = net::ListenLoopback(m_impl->port, kListenBacklog, error);
    if (h == net::kNoSocket) return false;
    m_impl->listener = net::Socket(h);
    m_impl->lastHeartbeatMs = NowMs();
    m_impl->site.StartReadingTitles();
    return true;
}

uint16_t HttpServer::Port() const {
    return m_impl->port;
}

std::string HttpServer::Url() const {
    return "http://127.0.0.1:" + std::to_string(m_impl->port) + "/";
}

void HttpServer::Run() {
    Impl& m = *m_impl;
    if (!m.listener.Valid()) return;
    while (!m.stopping) {
        m.CheckHeartbeat();
        {
            // At the limit, new connections wait in the listen queue.
            std::unique_lock lock(m.mutex);
            if (!m.changed.wait_for(lock, std::chrono::milliseconds(kPollSliceMs), [&] {
                    return m.active < m.options.maxConnections || m.stopping;
                })) {
                // Full: if more clients are waiting, ask the others to make room.
                lock.unlock();
                if (net::WaitReadable(m.listener.Get(), 0) == net::WaitResult::ready)
                    m.crowded = true;
                continue;
            }
        }
        if (m.stopping) break;
        if (net::WaitReadable(m.listener.Get(), kPollSliceMs) != net::WaitResult::ready) {
            m.crowded = false;  // nobody is waiting
            continue;
        }
        {
            std::lock_guard lock(m.mutex);
            if (m.active >= m.options.maxConnections) {
                m.crowded = true;  // someone waits and every slot is taken
                continue;
            }
        }
        net::SocketHandle s = net::Accept(m.listener.Get(), m.options.requestTimeoutMs);
        if (s == net::kNoSocket) continue;
        {
            std::lock_guard lock(m.mutex);
            ++m.active;
            // Room again once a quarter of the slots are free.
            if (m.active <= m.options.maxConnections - std::max(1, m.options.maxConnections / 4))
                m.crowded = false;
        }
        try {
            std::thread([&m, s] {
                m.Serve(s);
                std::lock_guard lock(m.mutex);
                --m.active;
                m.changed.notify_all();
            }).detach();
        } catch (const std::exception&) {
            net::Close(s);  // no thread to be had: drop this connection, keep serving
            std::lock_guard lock(m.mutex);
            --m.active;
        }
    }
    m.listener.Reset();
    std::unique_lock lock(m.mutex);
    m.changed.wait(lock, [&] { return m.active == 0; });
}

void HttpServer::Stop() {
    m_impl->stopping = true;
    std::lock_guard lock(m_impl->mutex);
    m_impl->changed.notify_all();
}

void HttpServer::EnableHeartbeatExit(int idleSeconds) {
    m_impl->heartbeatIdleSeconds = idleSeconds;
    m_impl->lastHeartbeatMs = NowMs();
}

void HttpServer::SetIconFile(std::vector<uint8_t> ico) {
    m_impl->site.SetIconFile(std::move(ico));
}

const std::string& HttpServer::ExitToken() const {
    return m_impl->token;
}

bool HttpServer::EndedByPage() const {
    return m_impl->endedByPage;
}

}  // namespace folivex
