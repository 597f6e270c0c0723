// The exported functions of kelmhostfilter: C linkage, each a thin call into
// the one HostFilter of the process. Nothing thrown inside crosses back to
// the host: a fault lets the operation pass.
#define KELM_FILTER_BUILDING_PLUGIN 1
#include <kelm/netfilter_plugin.h>

#include "host_filter.h"

namespace {

// Never destroyed: the application's threads may still be calling in while
// the process exits. Unloading the library releases what it holds (below).
hostfilter::HostFilter& Filter()
{
    static auto* filter = new hostfilter::HostFilter();
    return *filter;
}

template <typename Call>
int32_t Guarded(Call call)
{
    try {
        return call();
    } catch (...) {
        return KELM_FILTER_PASS;
    }
}

__attribute__((destructor)) void ReleaseAtUnload()
{
    Filter().TermPlugin();
}

}  // namespace

extern "C" {

int32_t GetPluginInfo(FilterPluginInfo* info)
{
    return Guarded([&] { return Filter().GetPluginInfo(info); });
}

int32_t InitPlugin(void)
{
    return Guarded([&] { return Filter().InitPlugin(); });
}

int32_t InitPlugin2(FilterHostContext* context)
{
    return Guarded([&] { return Filter().InitPlugin2(context); });
}

int32_t SetTrace(GMCTraceLog* trace)
{
    return Guarded([&] { return Filter().SetTrace(trace); });
}

int32_t TermPlugin(void)
{
    return Guarded([&] { return Filter().TermPlugin(); });
}

int32_t LSPP_Bind(KelmSocket socket, const struct sockaddr_in* localAddress)
{
    return Guarded([&] { return Filter().Bind(socket, localAddress); });
}

int32_t LSPP_Connect(KelmSocket socket, const struct sockaddr_in* remoteAddress)
{
    return Guarded([&] { return Filter().Connect(socket, remoteAddress); });
}

int32_t LSPP_Send(KelmSocket socket, FilterBuffer* buffers, uint32_t bufferCount, uint32_t byteCount)
{
    return Guarded([&] { return Filter().Send(socket, buffers, bufferCount, byteCount); });
}

int32_t LSPP_Recv(KelmSocket socket, FilterBuffer* buffers, uint32_t bufferCount, uint32_t bytesReceived,
                  const struct sockaddr_in* remoteAddress)
{
    return Guarded([&] { return Filter().Recv(socket, buffers, bufferCount, bytesReceived, remoteAddress); });
}

int32_t LSPP_CloseSocket(KelmSocket socket)
{
    return Guarded([&] { return Filter().CloseSocket(socket); });
}

}  // extern "C"
