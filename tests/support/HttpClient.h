// A small raw HTTP client for the viewer's server, in-process or in a
// process of its own: it sends exactly the bytes a test gives it and reads
// the responses one by one.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace folivex::test {

struct Response {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // names lower-case
    std::string body;
    bool closed = false;  // the server closed the connection after it

    std::string Header(const std::string& name) const {
        for (const auto& [n, v] : headers)
            if (n == name) return v;
        return {};
    }
    bool Has(const std::string& name) const {
        for (const auto& [n, v] : headers)
            if (n == name) return true;
        return false;
    }
};

// One TCP connection to the server.
class Client {
public:
    explicit Client(uint16_t port) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connected() const { return m_connected; }

    bool Send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // Reads one response; head: the request was HEAD (no body follows).
    // status 0 when the connection ended or timed out before a response.
    Response Read(bool head = false, int timeoutMs = 5000) {
        Response r;
        size_t headEnd;
        while ((headEnd = m_buffer.find("\r\n\r\n")) == std::string::npos) {
            if (!Fill(timeoutMs)) {
                r.closed = true;
                return r;
            }
        }
        std::string headText = m_buffer.substr(0, headEnd + 2);
        m_buffer.erase(0, headEnd + 4);
        size_t lineEnd = headText.find("\r\n");
        std::string statusLine = headText.substr(0, lineEnd);
        if (statusLine.size() >= 12) r.status = std::atoi(statusLine.c_str() + 9);
        size_t pos = lineEnd + 2;
        while (pos < headText.size()) {
            size_t e = headText.find("\r\n", pos);
            std::string line = headText.substr(pos, e - pos);
            pos = e + 2;
            size_t colon = line.find(':');
            std::string name = line.substr(0, colon);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            std::string value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            r.headers.emplace_back(name, value);
        }
        size_t length = 0;
        if (r.Has("content-length")) length = std::stoul(r.Header("content-length"));
        if (head || r.status == 304 || r.status == 204) length = 0;
        while (m_buffer.size() < length)
            if (!Fill(timeoutMs)) break;
        r.body = m_buffer.substr(0, length);
        m_buffer.erase(0, std::min(length, m_buffer.size()));
        r.closed = r.Header("connection") == "close";
        return r;
    }

    // True when the server closed the connection within timeoutMs.
    bool ClosedByServer(int timeoutMs) {
        while (Fill(timeoutMs)) {
        }
        return m_eof;
    }

private:
    bool Fill(int timeoutMs) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return false;
        char buf[65536];
        ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0) {
            m_eof = true;
            return false;
        }
        m_buffer.append(buf, static_cast<size_t>(n));
        return true;
    }

    int m_fd = -1;
    bool m_connected = false;
    bool m_eof = false;
    std::string m_buffer;
};

// A whole GET (or other) request with the Host the server expects.
inline std::string Request(uint16_t port, const std::string& target, const std::string& extra = {},
                           const std::string& method = "GET") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" +
           extra + "\r\n";
}

// One request on a fresh connection.
inline Response Fetch(uint16_t port, const std::string& target, const std::string& extra = {},
                      const std::string& method = "GET") {
    Client c(port);
    c.Send(Request(port, target, extra, method));
    return c.Read(method == "HEAD");
}

// One GET on a fresh connection, for a server in another process that may
// be slow to answer; nothing when no response came within timeoutMs.
inline std::optional<Response> HttpGet(uint16_t port, const std::string& target,
                                       int timeoutMs = 10000) {
    Client c(port);
    if (!c.Connected() || !c.Send(Request(port, target))) return std::nullopt;
    Response r = c.Read(false, timeoutMs);
    if (r.status == 0) return std::nullopt;
    return r;
}

}  // namespace folivex::test
