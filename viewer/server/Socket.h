// A small portability layer over the sockets the HTTP server needs:
// one listening socket on 127.0.0.1 and blocking connection sockets whose
// reads are bounded by a wait with a timeout. Socket_posix.cpp and
// Socket_win32.cpp implement it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace folivex::net {

// A socket handle wide enough for both POSIX descriptors and Windows SOCKETs.
using SocketHandle = intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Prepares the socket library once per process (WSAStartup on Windows).
bool Startup(std::string& error);

// Creates a socket listening on 127.0.0.1: at port when it is not 0 and is
// free, else at a port the system picks. Returns kNoSocket with a text in
// error on failure; port receives the port listened on.
SocketHandle ListenLoopback(uint16_t& port, int backlog, std::string& error);

enum class WaitResult { ready, timeout, failed };
// Waits up to timeoutMs until s can be read (or accepted from).
WaitResult WaitReadable(SocketHandle s, int timeoutMs);

// Accepts one pending connection; kNoSocket when none could be taken.
// The new socket has TCP_NODELAY set and sends bounded by sendTimeoutMs.
SocketHandle Accept(SocketHandle listener, int sendTimeoutMs);

// Reads up to n bytes: the count (> 0), 0 when the peer closed, -1 on error.
long Receive(SocketHandle s, void* buffer, size_t n);

// Sends all n bytes; false when the peer went away or a send timed out.
bool SendAll(SocketHandle s, const void* data, size_t n);

// Ends the sending direction (the peer sees end of file), then closes.
void Close(SocketHandle s);

// Owns one socket handle and closes it.
class Socket {
public:
    Socket() = default;
    explicit Socket(SocketHandle h) : m_handle(h) {}
    ~Socket() { Reset(); }
    Socket(Socket&& other) noexcept : m_handle(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = other.Release();
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    SocketHandle Get() const { return m_handle; }
    bool Valid() const { return m_handle != kNoSocket; }
    SocketHandle Release() {
        SocketHandle h = m_handle;
        m_handle = kNoSocket;
        return h;
    }
    void Reset() {
        if (m_handle != kNoSocket) Close(m_handle);
        m_handle = kNoSocket;
    }

private:
    SocketHandle m_handle = kNoSocket;
};

}  // namespace folivex::net
