// The viewer's server in-process for the tests: an HttpServer running on a
// thread of its own, and the book's site answering one request directly.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/support/HttpClient.h"
#include "viewer/BookReader.h"
#include "viewer/server/BookSite.h"
#include "viewer/server/HttpServer.h"

namespace folivex::test {

// An HttpServer serving on a thread of its own for the test's duration.
class RunningServer {
public:
    explicit RunningServer(const BookReader& book, HttpServerOptions options = {})
        : m_server(book, options) {
        std::string error;
        m_started = m_server.Start(error);
        if (m_started)
            m_thread = std::thread([this] {
                m_server.Run();
                m_ended = true;
            });
    }
    ~RunningServer() {
        m_server.Stop();
        if (m_thread.joinable()) m_thread.join();
    }
    bool Started() const { return m_started; }
    HttpServer& Server() { return m_server; }
    uint16_t Port() const { return m_server.Port(); }
    // Waits until Run() has returned on its own (exit request, heartbeat).
    bool WaitEnded(int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (m_ended) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return m_ended;
    }

private:
    HttpServer m_server;
    bool m_started = false;
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

// One GET answered by the site itself, without a server; the status, and
// the body in *body when given.
inline int Get(const BookSite& site, const std::string& target, std::string* body = nullptr) {
    http::Request request;
    request.method = "GET";
    request.target = target;
    request.headers = {{"host", "127.0.0.1:1"}};
    const SiteResponse response = site.Handle(request);
    if (body) *body = response.body ? *response.body : std::string();
    return response.status;
}

}  // namespace folivex::test
