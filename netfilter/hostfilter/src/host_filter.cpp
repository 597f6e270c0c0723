#include "host_filter.h"

#include "request_parser.h"
#include "site_list_loader.h"

#include "kit/clock.h"
#include "kit/plugin_info.h"
#include "kit/trace_log.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace hostfilter {
namespace {

constexpr uint32_t kOwnTraceLevel = 2;
constexpr const char* kOwnTracePrefix = "KelmLsp";
constexpr std::size_t kFirstBytesSize = 1024;
constexpr std::size_t kCategoryNameUnits = 260;
constexpr std::size_t kHostNameUnits = 1024;

std::string CopyBoundedPath(const char (&field)[KELM_FILTER_PATH_SIZE])
{
    return std::string(field, strnlen(field, sizeof field));
}

// Copies the first bytes of BUFFERS (at most BYTES, at most the field) into a
// context's first-bytes field.
uint32_t CopyFirstBytes(const FilterBuffer* buffers, uint32_t count, uint32_t bytes, uint8_t* field)
{
    std::size_t left = std::min<std::size_t>(bytes, kFirstBytesSize);
    std::size_t copied = 0;
    for (uint32_t i = 0; i < count && copied < left; ++i) {
        if (buffers[i].buf == nullptr)
            continue;
        std::size_t take = std::min<std::size_t>(buffers[i].len, left - copied);
        std::memcpy(field + copied, buffers[i].buf, take);
        copied += take;
    }
    return static_cast<uint32_t>(copied);
}

// One code point from TEXT at I (advanced past it); malformed bytes give U+FFFD.
uint32_t DecodeUtf8(std::string_view text, std::size_t& i)
{
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned char lead = byte(i);
    int extra = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
    } else {
        ++i;
        return 0xFFFD;
    }
    uint32_t value = lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
        std::size_t at = i + static_cast<std::size_t>(k);
        if (at >= text.size() || (byte(at) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        value = (value << 6) | (byte(at) & 0x3Fu);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) ? 0xFFFD : value;
}

}  // namespace

std::size_t ToUtf16(std::string_view text, uint16_t* out, std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        uint32_t code = DecodeUtf8(text, i);
        if (code >= 0x10000) {
            if (written + 2 >= capacity)
                break;
            code -= 0x10000;
            out[written++] = static_cast<uint16_t>(0xD800 | (code >> 10));
            out[written++] = static_cast<uint16_t>(0xDC00 | (code & 0x3FF));
        } else {
            if (written + 1 >= capacity)
                break;
            out[written++] = static_cast<uint16_t>(code);
        }
    }
    out[written] = 0;
    return written;
}

HostFilter::HostFilter() = default;

std::shared_ptr<const SiteLookup> HostFilter::List() const
{
    std::lock_guard<std::mutex> guard(m_listLock);
    return m_list;
}

void HostFilter::SetList(std::shared_ptr<const SiteLookup> list)
{
    std::shared_ptr<const SiteLookup> previous;
    {
        std::lock_guard<std::mutex> guard(m_listLock);
        previous = std::exchange(m_list, std::move(list));
    }
    // The old list is freed here, outside the lock, unless a lookup still holds it.
}

HostFilter::~HostFilter()
{
    // Unloading the library releases the list and the trace it made.
    TermPlugin();
}

void HostFilter::Print(uint32_t level, const char* text)
{
    if (GMCTraceLog* trace = Trace())
        trace->PrintTraceLog(level, text);
}

int32_t HostFilter::GetPluginInfo(FilterPluginInfo* info) const
{
    return nfkit::FillPluginInfo(info, kPluginName, KELM_HOSTFILTER_BUILD);
}

int32_t HostFilter::InitPlugin()
{
    if (Trace() == nullptr && m_ownTrace == nullptr) {
        m_ownTrace = new (std::nothrow) GMCTraceLog(kOwnTraceLevel, kOwnTracePrefix);
        m_trace.store(m_ownTrace, std::memory_order_release);
    }
    Print(4, "KelmHostFilter::InitPlugin()\n");
    return KELM_FILTER_PASS;
}

int32_t HostFilter::SetTrace(GMCTraceLog* trace)
{
    // The host's object is used from now on but stays the host's: only the
    // plug-in's own object is ever destroyed by the plug-in.
    m_trace.store(trace, std::memory_order_release);
    return KELM_FILTER_PASS;
}

int32_t HostFilter::InitPlugin2(FilterHostContext* context)
{
    Print(4, "KelmHostFilter::InitPlugin2()\n");
    bool accepted = context != nullptr && context->siteDatabasePath[0] != '\0' && context->callbacks != nullptr &&
                    context->GetSocketContext != nullptr && context->ReleaseSocket != nullptr &&
                    context->GetDatabaseTime != nullptr && context->SettingsChanged != nullptr;
    std::string path;
    {
        std::lock_guard<std::mutex> guard(m_loadLock);
        if (accepted) {
            m_context.store(context, std::memory_order_release);
            m_path = CopyBoundedPath(context->siteDatabasePath);
        }
        path = m_path;
    }
    LoadDatabase(path);
    return KELM_FILTER_PASS;
}

int32_t HostFilter::TermPlugin()
{
    SetList(nullptr);
    m_context.store(nullptr, std::memory_order_release);
    if (m_ownTrace != nullptr) {
        GMCTraceLog* own = m_ownTrace;
        m_ownTrace = nullptr;
        GMCTraceLog* expected = own;
        m_trace.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
        delete own;
    }
    return KELM_FILTER_PASS;
}

void HostFilter::LoadDatabase(const std::string& path)
{
    std::lock_guard<std::mutex> guard(m_loadLock);
    std::unique_ptr<SiteLookup> list;
    int result = LoadSiteList(path, nfkit::TodayDayNumber(), list);
    // The attempt's time is recorded either way: a file that failed is tried
    // again when the host reports a newer database, not on every call.
    m_lastLoadTick.store(nfkit::TickCount(), std::memory_order_release);
    if (result <= 0 || list == nullptr) {
        if (GMCTraceLog* trace = Trace()) {
            trace->PrintTraceLogF(2, "KelmHostFilter::InitPlugin2() - init filter db returned %d attempting to read %s\r\n",
                                  result, path.c_str());
            if (List() != nullptr)
                trace->PrintTraceLog(2, "KelmHostFilter::InitPlugin2() - keeping the site list loaded before\r\n");
        }
        return;
    }
    SetList(std::shared_ptr<const SiteLookup>(std::move(list)));
    if (GMCTraceLog* trace = Trace())
        trace->PrintTraceLogF(4, "KelmHostFilter::InitPlugin2() - read %d sites from %s\r\n", result, path.c_str());
}

void HostFilter::RefreshDatabase(FilterHostContext* host)
{
    uint32_t time = 0;
    host->GetDatabaseTime(&time);
    if (time <= LastLoadTick())
        return;
    std::string path;
    {
        // Another thread already reloading: this call goes on with the list in use.
        std::unique_lock<std::mutex> guard(m_loadLock, std::try_to_lock);
        if (!guard.owns_lock() || time <= LastLoadTick())
            return;
        m_path = CopyBoundedPath(host->siteDatabasePath);
        path = m_path;
    }
    LoadDatabase(path);
}

SocketContext* HostFilter::SocketContextOf(FilterHostContext* host, KelmSocket socket) const
{
    SocketContext* context = nullptr;
    host->GetSocketContext(socket, &context);
    return context;
}

uint32_t HostFilter::RunCheck(FilterHostContext* host, decltype(FilterHostCallbacks::CheckData) check,
                              SocketContext* socketContext)
{
    uint32_t verdict = 0;
    if (check != nullptr) {
        FilterSettingsRecord settings{sizeof(FilterSettingsRecord), host->exploitFilterSetting, host->siteFilterSetting};
        check(&socketContext->connectionReference, &settings, &verdict);
        if (settings.exploitFilterSetting != host->exploitFilterSetting ||
            settings.siteFilterSetting != host->siteFilterSetting)
            host->SettingsChanged(&settings);
    }
    RefreshDatabase(host);
    return verdict;
}

void HostFilter::RecordBlock(SocketContext* socketContext, uint32_t kind)
{
    if (socketContext == nullptr)
        return;
    // The high half holds the kind of the last block: clear it, then set it.
    socketContext->stateFlags = (socketContext->stateFlags & ~KELM_SOCKET_BLOCK_MASK) | kind;
}

int32_t HostFilter::ReportBlock(SocketContext* socketContext, const BlackListResult& result)
{
    int32_t flag = result.actionLevel == KELM_ACTION_BLOCK ? 1 : 0;
    FilterHostContext* host = Context();
    if (host == nullptr || host->callbacks == nullptr || host->callbacks->ReportBlock == nullptr)
        return flag;
    std::vector<uint16_t> name(kCategoryNameUnits + 1, 0);
    ToUtf16(result.categoryName, name.data(), name.size());
    FilterBlockRecord record{};
    record.size = sizeof record;
    record.kind = KELM_BLOCK_KIND_SITE;
    record.actionLevel = result.actionLevel;
    record.categoryName = name.data();
    record.reserved = 0;
    record.connectionReference = socketContext != nullptr ? &socketContext->connectionReference : nullptr;
    host->callbacks->ReportBlock(&record, &flag);
    return flag;
}

bool HostFilter::InBlackList(const std::string& text, BlackListResult* result)
{
    GMCTraceLog* trace = Trace();
    if (trace != nullptr && trace->Wants(4))
        trace->PrintTraceLogF(4, "KelmHostFilter::InBlackList(%s)", text.c_str());
    std::shared_ptr<const SiteLookup> list = List();
    bool listed = hostfilter::InBlackList(list.get(), text, m_resolver, result);
    if (trace != nullptr && trace->Wants(4))
        trace->PrintTraceLogF(4, "KelmHostFilter::InBlackList() %s", listed ? "TRUE" : "FALSE");
    return listed;
}

int32_t HostFilter::Bind(KelmSocket socket, const sockaddr_in* local)
{
    FilterHostContext* host = Context();
    if (host == nullptr)
        return KELM_FILTER_PASS;
    SocketContext* context = SocketContextOf(host, socket);
    if (context == nullptr)
        return KELM_FILTER_PASS;
    if (local != nullptr)
        context->localAddress = *local;
    if (RunCheck(host, host->callbacks->CheckData, context) != 0) {
        RecordBlock(context, KELM_SOCKET_BLOCKED_BY_HOST);
        return KELM_FILTER_BLOCKED;
    }
    return KELM_FILTER_PASS;
}

int32_t HostFilter::Connect(KelmSocket socket, const sockaddr_in* remote)
{
    Print(4, "KelmHostFilter::LSPP_Connect()");
    FilterHostContext* host = Context();
    if (host == nullptr)
        return KELM_FILTER_PASS;
    std::string addressText;
    if (remote != nullptr && remote->sin_family == AF_INET) {
        char text[INET_ADDRSTRLEN] = "";
        if (inet_ntop(AF_INET, &remote->sin_addr, text, sizeof text) != nullptr)
            addressText = text;
    }
    SocketContext* context = SocketContextOf(host, socket);
    if (context == nullptr)
        return KELM_FILTER_PASS;
    if (remote != nullptr)
        context->remoteAddress = *remote;
    context->stateFlags = KELM_SOCKET_CONNECTED;
    if (RunCheck(host, host->callbacks->CheckConnect, context) != 0) {
        RecordBlock(context, KELM_SOCKET_BLOCKED_BY_HOST);
        return KELM_FILTER_BLOCKED;
    }
    if (host->siteFilterSetting == 0 || addressText.empty())
        return KELM_FILTER_PASS;
    BlackListResult result;
    if (!InBlackList(addressText, &result) || ReportBlock(context, result) == 0)
        return KELM_FILTER_PASS;
    RecordBlock(context, KELM_SOCKET_BLOCKED_BY_SITE_LIST);
    return KELM_FILTER_BLOCKED;
}

int32_t HostFilter::Send(KelmSocket socket, FilterBuffer* buffers, uint32_t count, uint32_t bytes)
{
    Print(4, "KelmHostFilter::LSPP_Send()");
    FilterHostContext* host = Context();
    if (host == nullptr)
        return KELM_FILTER_PASS;
    SocketContext* context = SocketContextOf(host, socket);
    if (context == nullptr)
        return KELM_FILTER_PASS;
    if (context->blocked != 0) {
        context->stateFlags = KELM_SOCKET_CONNECTED;
        return KELM_FILTER_BLOCKED;
    }
    std::span<const FilterBuffer> pieces(buffers, buffers != nullptr ? count : 0);
    ParsedRequest request = ParseRequest(pieces, bytes);

    ++context->sendCalls;
    context->bytesSent += bytes;
    if (context->firstSentLength == 0 && buffers != nullptr)
        context->firstSentLength = CopyFirstBytes(buffers, count, bytes, context->firstSent);
    if (!request.url.empty()) {
        std::string_view hostPart = std::string_view(request.url).substr(0, request.url.find('/'));
        ToUtf16(hostPart, context->hostName, kHostNameUnits);
    }
    if (RunCheck(host, host->callbacks->CheckData, context) != 0) {
        RecordBlock(context, KELM_SOCKET_BLOCKED_BY_HOST);
        return KELM_FILTER_BLOCKED;
    }
    if (host->siteFilterSetting == 0 || request.url.empty())
        return KELM_FILTER_PASS;
    BlackListResult result;
    if (!InBlackList(request.url, &result) || ReportBlock(context, result) == 0)
        return KELM_FILTER_PASS;
    RecordBlock(context, KELM_SOCKET_BLOCKED_BY_SITE_LIST);
    return KELM_FILTER_BLOCKED;
}

int32_t HostFilter::Recv(KelmSocket socket, FilterBuffer* buffers, uint32_t count, uint32_t bytes,
                         const sockaddr_in*)
{
    FilterHostContext* host = Context();
    if (host == nullptr)
        return KELM_FILTER_PASS;
    SocketContext* context = SocketContextOf(host, socket);
    if (context == nullptr)
        return KELM_FILTER_PASS;
    if (context->blocked != 0)
        return KELM_FILTER_BLOCKED;
    ++context->receiveCalls;
    context->bytesReceived += bytes;
    if (context->firstReceivedLength == 0 && buffers != nullptr)
        context->firstReceivedLength = CopyFirstBytes(buffers, count, bytes, context->firstReceived);
    if (RunCheck(host, host->callbacks->CheckData, context) != 0) {
        RecordBlock(context, KELM_SOCKET_BLOCKED_BY_HOST);
        return KELM_FILTER_BLOCKED;
    }
    return KELM_FILTER_PASS;
}

int32_t HostFilter::CloseSocket(KelmSocket socket)
{
    FilterHostContext* host = Context();
    if (host == nullptr)
        return KELM_FILTER_PASS;
    SocketContext* context = SocketContextOf(host, socket);
    if (context == nullptr)
        return KELM_FILTER_PASS;
    context->stateFlags &= ~KELM_SOCKET_CONNECTED;
    if (context->closeWord != 0)
        context->stateFlags |= KELM_SOCKET_CLOSED_WITH_WORD;
    if (host->callbacks->NotifyClose != nullptr)
        host->callbacks->NotifyClose(&context->connectionReference);
    host->ReleaseSocket(context->releaseHandle);
    return KELM_FILTER_PASS;
}

}  // namespace hostfilter
