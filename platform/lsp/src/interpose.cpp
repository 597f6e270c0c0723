// The C library functions the shim replaces. Each does the real work through
// the next definition in the chain (the C library) and, for tracked IPv4 TCP
// sockets, runs the filter plug-ins around it:
//
//   socket, accept, accept4           start tracking a new IPv4 TCP socket
//   bind, connect                     ask the plug-ins first; a refusal fails the call
//   send, sendto, sendmsg, write, writev
//                                     ask the plug-ins first; they may refuse or
//                                     replace the outgoing bytes
//   recv, recvfrom, recvmsg, read, readv (and the _FORTIFY_SOURCE forms)
//                                     hand the received bytes to the plug-ins, which
//                                     may refuse or disarm them in place
//   close, fclose, dup2, dup3, close_range
//                                     the plug-ins forget the socket
//
// A refusal fails the call with ECONNABORTED. Descriptors that are not IPv4
// TCP sockets, and everything a thread does while inside the shim, go
// straight to the C library.
#include "lsp_host.h"
#include "real_calls.h"
#include "shim_guard.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

using lsp::Host;
using lsp::Real;
using lsp::SocketSlot;
using lsp::Verdict;

namespace {

bool IsTcpOverIpv4(int domain, int type, int protocol)
{
    int baseType = type & ~(SOCK_NONBLOCK | SOCK_CLOEXEC);
    return domain == AF_INET && baseType == SOCK_STREAM && (protocol == 0 || protocol == IPPROTO_TCP);
}

bool ReadIpv4(const sockaddr* address, socklen_t length, sockaddr_in& out)
{
    if (address == nullptr || length < static_cast<socklen_t>(sizeof(sockaddr_in)) || address->sa_family != AF_INET)
        return false;
    std::memcpy(&out, address, sizeof out);
    return true;
}

int Refuse()
{
    errno = ECONNABORTED;
    return -1;
}

// The tracked slot for a call on FD, or null to pass the call through.
// DETECT: the call exists only for sockets, so an unknown descriptor is worth
// looking at.
SocketSlot* TrackedSlot(int fd, bool detect, Host*& host)
{
    if (lsp::t_insideShim)
        return nullptr;
    host = Host::IfStarted();
    return host != nullptr ? host->Slot(fd, detect) : nullptr;
}

// Runs the send filters; SEND does the real call with the iovecs to use.
template <typename SendFn>
ssize_t FilteredSend(int fd, bool detect, const iovec* iov, int count, SendFn send)
{
    Host* host = nullptr;
    SocketSlot* slot = TrackedSlot(fd, detect, host);
    if (slot == nullptr)
        return send(iov, count);
    if (Host::IsBlocked(slot))
        return Refuse();
    std::string replacement;
    bool replaced = false;
    if (host->Send(slot, iov, count, replacement, replaced) == Verdict::Block)
        return Refuse();
    if (replaced) {
        iovec one{replacement.data(), replacement.size()};
        return send(&one, 1);
    }
    return send(iov, count);
}

// Runs the receive filters over what RECEIVE read into IOV.
template <typename ReceiveFn>
ssize_t FilteredReceive(int fd, bool detect, const iovec* iov, int count, bool peek, ReceiveFn receive)
{
    Host* host = nullptr;
    SocketSlot* slot = TrackedSlot(fd, detect, host);
    if (slot == nullptr)
        return receive();
    if (Host::IsBlocked(slot))
        return Refuse();
    ssize_t received = receive();
    // Peeked bytes are read again later: they are filtered then.
    if (received <= 0 || peek)
        return received;
    int savedErrno = errno;
    if (host->Receive(slot, iov, count, static_cast<std::size_t>(received)) == Verdict::Block)
        return Refuse();
    errno = savedErrno;
    return received;
}

void ForgetDescriptor(int fd)
{
    // The shim's and the plug-ins' own files are never tracked; skipping
    // them keeps a plug-in call from taking a second socket's lock.
    if (lsp::t_insideShim)
        return;
    if (Host* host = Host::IfStarted())
        host->Close(fd);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int socket(int domain, int type, int protocol) __THROW
{
    int fd = Real().socket(domain, type, protocol);
    if (fd < 0 || lsp::t_insideShim)
        return fd;
    if (IsTcpOverIpv4(domain, type, protocol)) {
        if (Host* host = Host::Get())
            host->Track(fd, nullptr);
    } else if (Host* host = Host::IfStarted()) {
        host->Ignore(fd);
    }
    return fd;
}

static int AcceptCommon(int listener, int fd, sockaddr* address, socklen_t* length)
{
    if (fd < 0 || lsp::t_insideShim)
        return fd;
    Host* host = Host::IfStarted();
    if (host == nullptr)
        return fd;
    if (host->Slot(listener, /*detect=*/true) == nullptr) {
        host->Ignore(fd);
        return fd;
    }
    sockaddr_in peer{};
    bool known = length != nullptr && ReadIpv4(address, *length, peer);
    host->Track(fd, known ? &peer : nullptr);
    return fd;
}

__attribute__((visibility("default"))) int accept(int fd, sockaddr* address, socklen_t* length)
{
    return AcceptCommon(fd, Real().accept(fd, address, length), address, length);
}

__attribute__((visibility("default"))) int accept4(int fd, sockaddr* address, socklen_t* length, int flags)
{
    return AcceptCommon(fd, Real().accept4(fd, address, length, flags), address, length);
}

__attribute__((visibility("default"))) int bind(int fd, const sockaddr* address, socklen_t length) __THROW
{
    sockaddr_in local{};
    if (!lsp::t_insideShim && ReadIpv4(address, length, local)) {
        if (Host* host = Host::Get()) {
            if (SocketSlot* slot = host->Slot(fd, /*detect=*/true)) {
                if (host->Bind(slot, local) == Verdict::Block)
                    return Refuse();
            }
        }
    }
    return Real().bind(fd, address, length);
}

__attribute__((visibility("default"))) int connect(int fd, const sockaddr* address, socklen_t length)
{
    sockaddr_in remote{};
    if (!lsp::t_insideShim && ReadIpv4(address, length, remote)) {
        if (Host* host = Host::Get()) {
            if (SocketSlot* slot = host->Slot(fd, /*detect=*/true)) {
                if (host->Connect(slot, remote) == Verdict::Block)
                    return Refuse();
            }
        }
    }
    return Real().connect(fd, address, length);
}

__attribute__((visibility("default"))) ssize_t send(int fd, const void* buffer, size_t length, int flags)
{
    iovec one{const_cast<void*>(buffer), length};
    return FilteredSend(fd, true, &one, 1, [&](const iovec* iov, int) {
        return Real().send(fd, iov[0].iov_base, iov[0].iov_len, flags);
    });
}

__attribute__((visibility("default"))) ssize_t sendto(int fd, const void* buffer, size_t length, int flags,
                                                      const sockaddr* address, socklen_t addressLength)
{
    iovec one{const_cast<void*>(buffer), length};
    return FilteredSend(fd, true, &one, 1, [&](const iovec* iov, int) {
        return Real().sendto(fd, iov[0].iov_base, iov[0].iov_len, flags, address, addressLength);
    });
}

__attribute__((visibility("default"))) ssize_t sendmsg(int fd, const msghdr* message, int flags)
{
    if (message == nullptr)
        return Real().sendmsg(fd, message, flags);
    return FilteredSend(fd, true, message->msg_iov, static_cast<int>(message->msg_iovlen),
                        [&](const iovec* iov, int count) {
                            msghdr copy = *message;
                            copy.msg_iov = const_cast<iovec*>(iov);
                            copy.msg_iovlen = static_cast<size_t>(count);
                            return Real().sendmsg(fd, &copy, flags);
                        });
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* buffer, size_t length)
{
    iovec one{const_cast<void*>(buffer), length};
    return FilteredSend(fd, false, &one, 1,
                        [&](const iovec* iov, int) { return Real().write(fd, iov[0].iov_base, iov[0].iov_len); });
}

__attribute__((visibility("default"))) ssize_t writev(int fd, const iovec* vector, int count)
{
    return FilteredSend(fd, false, vector, count,
                        [&](const iovec* iov, int n) { return Real().writev(fd, iov, n); });
}

__attribute__((visibility("default"))) ssize_t recv(int fd, void* buffer, size_t length, int flags)
{
    iovec one{buffer, length};
    return FilteredReceive(fd, true, &one, 1, (flags & MSG_PEEK) != 0,
                           [&] { return Real().recv(fd, buffer, length, flags); });
}

__attribute__((visibility("default"))) ssize_t recvfrom(int fd, void* buffer, size_t length, int flags,
                                                        sockaddr* address, socklen_t* addressLength)
{
    iovec one{buffer, length};
    return FilteredReceive(fd, true, &one, 1, (flags & MSG_PEEK) != 0,
                           [&] { return Real().recvfrom(fd, buffer, length, flags, address, addressLength); });
}

__attribute__((visibility("default"))) ssize_t recvmsg(int fd, msghdr* message, int flags)
{
    if (message == nullptr)
        return Real().recvmsg(fd, message, flags);
    return FilteredReceive(fd, true, message->msg_iov, static_cast<int>(message->msg_iovlen),
                           (flags & MSG_PEEK) != 0, [&] { return Real().recvmsg(fd, message, flags); });
}

__attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, size_t length)
{
    iovec one{buffer, length};
    return FilteredReceive(fd, false, &one, 1, false, [&] { return Real().read(fd, buffer, length); });
}

__attribute__((visibility("default"))) ssize_t readv(int fd, const iovec* vector, int count)
{
    return FilteredReceive(fd, false, vector, count, false, [&] { return Real().readv(fd, vector, count); });
}

// The forms a program built with _FORTIFY_SOURCE calls instead.
__attribute__((visibility("default"))) ssize_t __recv_chk(int fd, void* buffer, size_t length, size_t bufferSize,
                                                          int flags)
{
    iovec one{buffer, length};
    return FilteredReceive(fd, true, &one, 1, (flags & MSG_PEEK) != 0,
                           [&] { return Real().recv_chk(fd, buffer, length, bufferSize, flags); });
}

__attribute__((visibility("default"))) ssize_t __recvfrom_chk(int fd, void* buffer, size_t length,
                                                              size_t bufferSize, int flags, sockaddr* address,
                                                              socklen_t* addressLength)
{
    iovec one{buffer, length};
    return FilteredReceive(fd, true, &one, 1, (flags & MSG_PEEK) != 0, [&] {
        return Real().recvfrom_chk(fd, buffer, length, bufferSize, flags, address, addressLength);
    });
}

__attribute__((visibility("default"))) ssize_t __read_chk(int fd, void* buffer, size_t length, size_t bufferSize)
{
    iovec one{buffer, length};
    return FilteredReceive(fd, false, &one, 1, false,
                           [&] { return Real().read_chk(fd, buffer, length, bufferSize); });
}

__attribute__((visibility("default"))) int close(int fd)
{
    ForgetDescriptor(fd);
    return Real().close(fd);
}

__attribute__((visibility("default"))) int fclose(FILE* stream)
{
    if (stream != nullptr) {
        int fd = fileno(stream);
        if (fd >= 0)
            ForgetDescriptor(fd);
    }
    return Real().fclose(stream);
}

__attribute__((visibility("default"))) int dup2(int from, int to) __THROW
{
    int result = Real().dup2(from, to);
    // The descriptor TO referred to before is closed; TO now refers to
    // FROM's file and is looked at afresh when used.
    if (result >= 0 && from != to)
        ForgetDescriptor(to);
    return result;
}

__attribute__((visibility("default"))) int dup3(int from, int to, int flags) __THROW
{
    int result = Real().dup3(from, to, flags);
    if (result >= 0)
        ForgetDescriptor(to);
    return result;
}

__attribute__((visibility("default"))) int close_range(unsigned first, unsigned last, int flags) __THROW
{
    if ((flags & CLOSE_RANGE_CLOEXEC) == 0) {
        if (Host* host = Host::IfStarted())
            host->CloseRange(first, last);
    }
    if (Real().close_range == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return Real().close_range(first, last, flags);
}

}  // extern "C"
