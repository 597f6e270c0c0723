// The C exports of kelmhazardfilter: each forwards to the one filter object
// of the process. Nothing thrown inside may cross into the host.
#include "hazard_filter.h"

#include <kelm/netfilter_plugin.h>

namespace {

hazard::HazardFilter& Filter()
{
    static hazard::HazardFilter filter;
    return filter;
}

template <class F>
std::int32_t Guarded(F&& call) noexcept
{
    try {
        return call();
    } catch (...) {
        return 0;  // a failure inside the filter lets the operation go on
    }
}

}  // namespace

extern "C" {

KELM_FILTER_EXPORT int32_t GetPluginInfo(FilterPluginInfo* info)
{
    return Guarded([&] { return Filter().GetPluginInfo(info); });
}

KELM_FILTER_EXPORT int32_t InitPlugin(void)
{
    return Guarded([&] { return Filter().InitPlugin(); });
}

KELM_FILTER_EXPORT int32_t InitPlugin2(FilterHostContext* context)
{
    return Guarded([&] { return Filter().InitPlugin2(context); });
}

KELM_FILTER_EXPORT int32_t SetTrace(GMCTraceLog* trace)
{
    return Guarded([&] { return Filter().SetTrace(trace); });
}

KELM_FILTER_EXPORT int32_t TermPlugin(void)
{
    return Guarded([&] { return Filter().TermPlugin(); });
}

KELM_FILTER_EXPORT int32_t LSPP_Send(KelmSocket socket, FilterBuffer* buffers, uint32_t bufferCount,
                                     uint32_t byteCount)
{
    return Guarded([&] { return Filter().Send(socket, buffers, bufferCount, byteCount); });
}

KELM_FILTER_EXPORT int32_t LSPP_Recv(KelmSocket socket, FilterBuffer* buffers, uint32_t bufferCount,
                                     uint32_t bytesReceived, const struct sockaddr_in* remoteAddress)
{
    return Guarded([&] { return Filter().Recv(socket, buffers, bufferCount, bytesReceived, remoteAddress); });
}

KELM_FILTER_EXPORT int32_t LSPP_CloseSocket(KelmSocket socket)
{
    return Guarded([&] { return Filter().CloseSocket(socket); });
}

}  // extern "C"
