#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "viewer/server/Socket.h"

namespace folivex::net {

namespace {
int Fd(SocketHandle s) {
    return static_cast<int>(s);
}
}  // namespace

bool Startup(std::string&) {
    return true;
}

SocketHandle ListenLoopback(uint16_t& port, int backlog, std::string& error) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("Cannot create a socket: ") + std::strerror(errno);
        return kNoSocket;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    // A previous run's connections in TIME_WAIT must not keep the book off
    // its usual port; Linux still allows only one listener per port.
    int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (!bound && port != 0) {
        addr.sin_port = 0;  // taken: any free port will do
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    if (!bound || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error = std::string("Cannot listen on 127.0.0.1: ") + std::strerror(errno);
        ::close(fd);
        return kNoSocket;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

WaitResult WaitReadable(SocketHandle s, int timeoutMs) {
    pollfd p{Fd(s), POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r > 0) return WaitResult::ready;
        if (r == 0) return WaitResult::timeout;
        if (errno != EINTR) return WaitResult::failed;
    }
}

SocketHandle Accept(SocketHandle listener, int sendTimeoutMs) {
    int fd = ::accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return kNoSocket;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    timeval tv{};
    tv.tv_sec = sendTimeoutMs / 1000;
    tv.tv_usec = static_cast<suseconds_t>(sendTimeoutMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return fd;
}

long Receive(SocketHandle s, void* buffer, size_t n) {
    for (;;) {
        ssize_t r = ::recv(Fd(s), buffer, n, 0);
        if (r >= 0) return static_cast<long>(r);
        if (errno != EINTR) return -1;
    }
}

bool SendAll(SocketHandle s, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t r = ::send(Fd(s), p, n, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;  // gone, or SO_SNDTIMEO expired (EAGAIN)
        }
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

void Close(SocketHandle s) {
    ::shutdown(Fd(s), SHUT_WR);
    ::close(Fd(s));
}

}  // namespace folivex::net
