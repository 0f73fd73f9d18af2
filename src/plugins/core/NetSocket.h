#pragma once

#include "core_global.h"

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>

// The few stream-socket calls the FTP client and the transfer channels need, over POSIX sockets.
// A handle is a file descriptor; -1 is the closed handle.
//
// Two rules keep the threads of a transfer safe: sends never raise SIGPIPE (a peer that went
// away shows up as a failed send), and a socket that another thread may be blocked on is first
// shut down (which wakes that thread) and closed only once that thread is done with it.
class CORE_EXPORT NetSocket
{
public:
    static constexpr int kInvalid = -1;

    // A new IPv4 TCP socket, or kInvalid.
    static int openTcp();
    // Connects, giving up after timeoutMs (a refused connection fails at once).
    static bool connectTo(int fd, const sockaddr_in& addr, int timeoutMs);
    // Binds to addr and listens; on success addr holds the bound port.
    static bool bindListen(int fd, sockaddr_in& addr, int backlog);

    // One send; the number of bytes taken, or -1 when the connection is gone.
    static long sendSome(int fd, const char* data, size_t length);
    // Sends everything or fails.
    static bool sendAll(int fd, const char* data, size_t length);
    // One receive; the number of bytes read, 0 at the peer's end of stream, -1 on error.
    static long recvSome(int fd, char* data, size_t capacity);
    // Without waiting, for a socket an event loop also watches: the bytes taken now, 0 when the
    // socket has none to give (nothing waiting, its end, or an error, which the loop's own
    // notification then reports).
    static long recvNow(int fd, char* data, size_t capacity);
    static long sendNow(int fd, const char* data, size_t length);
    // Bytes received and not yet read, 0 when unknown.
    static long pendingBytes(int fd);
    // 1 when a receive would not block, 0 when timeoutMs passed first, -1 on error.
    static int waitReadable(int fd, int timeoutMs);

    // Ends our sending half: the peer sees the end of the stream.
    static void shutdownSend(int fd);
    // Ends both halves so that a send or receive blocked on another thread returns.
    static void wake(int fd);
    // Shuts down and closes the socket, and sets the handle to kInvalid.
    static void closeSocket(int& fd);

    // Dotted IPv4 text to an address in network order.
    static bool parseIPv4(const char* text, in_addr* out);
    static sockaddr_in makeAddress(uint32_t addressNetworkOrder, uint16_t portHostOrder);
};
