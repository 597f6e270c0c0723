// The C library's own socket and descriptor functions, found behind the shim
// with dlsym(RTLD_NEXT). The shim calls these for the real work and for its
// own files, so nothing it does passes through its own wrappers.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstdio>

namespace lsp {

struct RealCalls {
    int (*socket)(int, int, int);
    int (*connect)(int, const sockaddr*, socklen_t);
    int (*bind)(int, const sockaddr*, socklen_t);
    int (*accept)(int, sockaddr*, socklen_t*);
    int (*accept4)(int, sockaddr*, socklen_t*, int);
    ssize_t (*send)(int, const void*, size_t, int);
    ssize_t (*sendto)(int, const void*, size_t, int, const sockaddr*, socklen_t);
    ssize_t (*sendmsg)(int, const msghdr*, int);
    ssize_t (*write)(int, const void*, size_t);
    ssize_t (*writev)(int, const iovec*, int);
    ssize_t (*recv)(int, void*, size_t, int);
    ssize_t (*recvfrom)(int, void*, size_t, int, sockaddr*, socklen_t*);
    ssize_t (*recvmsg)(int, msghdr*, int);
    ssize_t (*read)(int, void*, size_t);
    ssize_t (*readv)(int, const iovec*, int);
    ssize_t (*recv_chk)(int, void*, size_t, size_t, int);
    ssize_t (*recvfrom_chk)(int, void*, size_t, size_t, int, sockaddr*, socklen_t*);
    ssize_t (*read_chk)(int, void*, size_t, size_t);
    int (*close)(int);
    int (*fclose)(FILE*);
    int (*dup2)(int, int);
    int (*dup3)(int, int, int);
    int (*close_range)(unsigned, unsigned, int);
};

// The functions, resolved on first use. Safe to call from any thread and
// from the shim's own constructor.
const RealCalls& Real();

}  // namespace lsp
