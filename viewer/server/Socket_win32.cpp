#include <winsock2.h>
#include <ws2tcpip.h>

#include "viewer/server/Socket.h"

namespace folivex::net {

namespace {
SOCKET Sock(SocketHandle s) {
    return static_cast<SOCKET>(s);
}

std::string LastError(const char* what) {
    return std::string(what) + " (error " + std::to_string(WSAGetLastError()) + ")";
}
}  // namespace

bool Startup(std::string& error) {
    static int result = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (result != 0) {
        error = "Cannot start the network library (error " + std::to_string(result) + ")";
        return false;
    }
    return true;
}

SocketHandle ListenLoopback(uint16_t& port, int backlog, std::string& error) {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = LastError("Cannot create a socket");
        return kNoSocket;
    }
    // Nobody else may bind the same port while we serve.
    BOOL exclusive = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    int len = sizeof addr;
    bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (!bound && port != 0) {
        addr.sin_port = 0;  // taken: any free port will do
        bound = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    if (!bound || ::listen(s, backlog) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        error = LastError("Cannot listen on 127.0.0.1");
        ::closesocket(s);
        return kNoSocket;
    }
    port = ntohs(addr.sin_port);
    return static_cast<SocketHandle>(s);
}

WaitResult WaitReadable(SocketHandle s, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Sock(s), &set);
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    int r = ::select(0, &set, nullptr, nullptr, &tv);
    if (r > 0) return WaitResult::ready;
    if (r == 0) return WaitResult::timeout;
    return WaitResult::failed;
}

SocketHandle Accept(SocketHandle listener, int sendTimeoutMs) {
    SOCKET s = ::accept(Sock(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return kNoSocket;
    BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    DWORD timeout = static_cast<DWORD>(sendTimeoutMs);
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof timeout);
    return static_cast<SocketHandle>(s);
}

long Receive(SocketHandle s, void* buffer, size_t n) {
    int chunk = n > 0x40000000 ? 0x40000000 : static_cast<int>(n);
    int r = ::recv(Sock(s), static_cast<char*>(buffer), chunk, 0);
    return r == SOCKET_ERROR ? -1 : static_cast<long>(r);
}

bool SendAll(SocketHandle s, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        int chunk = n > 0x40000000 ? 0x40000000 : static_cast<int>(n);
        int r = ::send(Sock(s), p, chunk, 0);
        if (r == SOCKET_ERROR) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

void Close(SocketHandle s) {
    ::shutdown(Sock(s), SD_SEND);
    ::closesocket(Sock(s));
}

}  // namespace folivex::net
