#include "NetSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

int NetSocket::openTcp()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
}

bool NetSocket::connectTo(int fd, const sockaddr_in& addr, int timeoutMs)
{
    if (fd < 0)
        return false;
    // Non-blocking connect so that an unreachable address costs timeoutMs, not the system's minutes.
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        return false;
    int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    bool ok = rc == 0;
    if (rc < 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        do {
            rc = ::poll(&p, 1, timeoutMs);
        } while (rc < 0 && errno == EINTR);
        if (rc == 1) {
            int err = 0;
            socklen_t len = sizeof err;
            ok = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
        }
    }
    if (::fcntl(fd, F_SETFL, flags) < 0)
        return false;
    return ok;
}

bool NetSocket::bindListen(int fd, sockaddr_in& addr, int backlog)
{
    if (fd < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) < 0)
        return false;
    if (::listen(fd, backlog) < 0)
        return false;
    socklen_t len = sizeof addr;
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0;
}

long NetSocket::sendSome(int fd, const char* data, size_t length)
{
    if (fd < 0)
        return -1;
    ssize_t n;
    do {
        n = ::send(fd, data, length, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<long>(n);
}

bool NetSocket::sendAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const long n = sendSome(fd, data, length);
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

long NetSocket::recvSome(int fd, char* data, size_t capacity)
{
    if (fd < 0)
        return -1;
    ssize_t n;
    do {
        n = ::recv(fd, data, capacity, 0);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<long>(n);
}

long NetSocket::recvNow(int fd, char* data, size_t capacity)
{
    if (fd < 0 || capacity == 0)
        return 0;
    ssize_t n;
    do {
        n = ::recv(fd, data, capacity, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<long>(n);
}

long NetSocket::sendNow(int fd, const char* data, size_t length)
{
    if (fd < 0 || length == 0)
        return 0;
    ssize_t n;
    do {
        n = ::send(fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<long>(n);
}

long NetSocket::pendingBytes(int fd)
{
    int bytes = 0;
    if (fd < 0 || ::ioctl(fd, FIONREAD, &bytes) != 0)
        return 0;
    return bytes > 0 ? bytes : 0;
}

int NetSocket::waitReadable(int fd, int timeoutMs)
{
    if (fd < 0)
        return -1;
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0)
        return -1;
    return rc == 0 ? 0 : 1;
}

void NetSocket::shutdownSend(int fd)
{
    if (fd >= 0)
        ::shutdown(fd, SHUT_WR);
}

void NetSocket::wake(int fd)
{
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void NetSocket::closeSocket(int& fd)
{
    if (fd < 0)
        return;
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    fd = kInvalid;
}

bool NetSocket::parseIPv4(const char* text, in_addr* out)
{
    return text && out && ::inet_pton(AF_INET, text, out) == 1;
}

sockaddr_in NetSocket::makeAddress(uint32_t addressNetworkOrder, uint16_t portHostOrder)
{
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = addressNetworkOrder;
    a.sin_port = htons(portHostOrder);
    return a;
}
