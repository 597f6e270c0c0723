#include "real_calls.h"

#include <dlfcn.h>
#include <pthread.h>

namespace lsp {
namespace {

RealCalls g_real{};
pthread_once_t g_once = PTHREAD_ONCE_INIT;

template <typename Fn>
void Resolve(Fn& slot, const char* name)
{
    slot = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

void ResolveAll()
{
    Resolve(g_real.socket, "socket");
    Resolve(g_real.connect, "connect");
    Resolve(g_real.bind, "bind");
    Resolve(g_real.accept, "accept");
    Resolve(g_real.accept4, "accept4");
    Resolve(g_real.send, "send");
    Resolve(g_real.sendto, "sendto");
    Resolve(g_real.sendmsg, "sendmsg");
    Resolve(g_real.write, "write");
    Resolve(g_real.writev, "writev");
    Resolve(g_real.recv, "recv");
    Resolve(g_real.recvfrom, "recvfrom");
    Resolve(g_real.recvmsg, "recvmsg");
    Resolve(g_real.read, "read");
    Resolve(g_real.readv, "readv");
    Resolve(g_real.recv_chk, "__recv_chk");
    Resolve(g_real.recvfrom_chk, "__recvfrom_chk");
    Resolve(g_real.read_chk, "__read_chk");
    Resolve(g_real.close, "close");
    Resolve(g_real.fclose, "fclose");
    Resolve(g_real.dup2, "dup2");
    Resolve(g_real.dup3, "dup3");
    Resolve(g_real.close_range, "close_range");
}

}  // namespace

const RealCalls& Real()
{
    pthread_once(&g_once, ResolveAll);
    return g_real;
}

}  // namespace lsp
