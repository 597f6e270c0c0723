#include "lsp_host.h"

#include "report_log.h"
#include "shim_guard.h"
#include "trace_setup.h"

#include <arpa/inet.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <algorithm>

namespace lsp {
namespace {

pthread_once_t g_startOnce = PTHREAD_ONCE_INIT;
std::atomic<Host*> g_host{nullptr};
std::atomic<bool> g_started{false};
Host* g_idleHost = nullptr;  // a host whose plug-ins failed to load

// Plug-in calls take at most this many buffers from the stack; more go on
// the heap.
constexpr int kStackBuffers = 16;

class BufferArray {
public:
    explicit BufferArray(int count)
    {
        if (count > kStackBuffers) {
            m_heap.resize(static_cast<std::size_t>(count));
            m_data = m_heap.data();
        } else {
            m_data = m_stack;
        }
    }
    FilterBuffer* data() { return m_data; }
    FilterBuffer& operator[](int i) { return m_data[i]; }

private:
    FilterBuffer m_stack[kStackBuffers];
    std::vector<FilterBuffer> m_heap;
    FilterBuffer* m_data;
};

bool FileExists(const std::string& path)
{
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool CopyPath(const std::string& path, char (&field)[KELM_FILTER_PATH_SIZE], const char* what)
{
    std::memset(field, 0, sizeof field);
    if (path.size() >= sizeof field) {
        Log().WriteNotice(std::string(what) + " path is longer than " + std::to_string(sizeof field - 1) +
                          " bytes and cannot be handed to the plug-ins: " + path);
        return false;
    }
    std::memcpy(field, path.data(), path.size());
    return true;
}

std::string AddressText(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

// The host name a site filter stored in the context, as UTF-8.
std::string HostNameOf(const SocketContext& context)
{
    std::string out;
    for (uint16_t unit : context.hostName) {
        if (unit == 0)
            break;
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
        } else if (unit < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
            out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
        }
    }
    return out;
}

std::string NameOf(const uint16_t* name)
{
    std::string out;
    if (name == nullptr)
        return out;
    for (int i = 0; i < KELM_FILTER_PATH_SIZE && name[i] != 0; ++i)
        out.push_back(name[i] < 0x80 ? static_cast<char>(name[i]) : '?');
    return out;
}

// The connection a report is about: the peer the host saw, and the host
// name the site filter read from the request.
std::string Describe(const SocketContext* context, const sockaddr_in* peer)
{
    if (context == nullptr)
        return "an unknown connection";
    const sockaddr_in& remote = context->remoteAddress.sin_family == AF_INET || peer == nullptr ? context->remoteAddress : *peer;
    std::string text = "connection to " + AddressText(remote);
    std::string host = HostNameOf(*context);
    if (!host.empty())
        text += " (host " + host + ")";
    return text;
}

void ChildAfterFork()
{
    // Only the forking thread lives on in the child: locks other threads
    // held are dropped.
    if (Host* host = g_host.load(std::memory_order_acquire))
        host->ResetAfterFork();
}

}  // namespace

SocketContext* ContextOfReference(void* connectionReference)
{
    if (connectionReference == nullptr)
        return nullptr;
    return reinterpret_cast<SocketContext*>(static_cast<char*>(connectionReference) -
                                            offsetof(SocketContext, connectionReference));
}

Host* Host::Get()
{
    if (!g_started.load(std::memory_order_acquire))
        pthread_once(&g_startOnce, &Host::Start);
    return g_host.load(std::memory_order_acquire);
}

Host* Host::IfStarted()
{
    return g_host.load(std::memory_order_acquire);
}

void Host::Start()
{
    ShimScope scope;
    int savedErrno = errno;
    Host* host = new Host();
    host->m_config = LoadConfig();
    Log().Open(host->m_config.logFile);
    for (const std::string& problem : host->m_config.problems)
        Log().Write(ReportSeverity::Warning, "configuration " + host->m_config.configFile + ": " + problem);

    host->m_callbacks.CheckConnect = &Host::CheckConnect;
    host->m_callbacks.CheckData = &Host::CheckData;
    host->m_callbacks.NotifyClose = &Host::NotifyClose;
    host->m_callbacks.ReportBlock = &Host::ReportBlock;
    host->m_callbacks.ReportDetection = &Host::ReportDetection;
    FilterHostContext& context = host->m_context;
    context.callbacks = &host->m_callbacks;
    context.siteFilterSetting = host->m_config.siteFilter;
    context.exploitFilterSetting = host->m_config.exploitFilter;
    CopyPath(host->m_config.detectionFile, context.detectionPath, "The detection file");
    CopyPath(host->m_config.siteDatabase, context.siteDatabasePath, "The site database");
    context.GetSocketContext = &Host::GetSocketContext;
    context.ReleaseSocket = &Host::ReleaseSocket;
    context.GetDatabaseTime = &Host::GetDatabaseTime;
    context.SettingsChanged = &Host::SettingsChanged;

    host->m_clock.Watch({host->m_config.detectionFile, host->m_config.siteDatabase,
                         FolderOf(host->m_config.siteDatabase) + "/sb2.dat"},
                        host->m_config.databasePollMs);

    // The host is published before the plug-ins start: InitPlugin2 may call
    // back into it.
    g_host.store(host, std::memory_order_release);
    if (!host->StartPlugins()) {
        // Another thread may have picked the host up while it started: it
        // stays allocated, unused.
        g_idleHost = host;
        g_host.store(nullptr, std::memory_order_release);
    }
    else
        pthread_atfork(nullptr, nullptr, &ChildAfterFork);
    g_started.store(true, std::memory_order_release);
    errno = savedErrno;
}

bool Host::StartPlugins()
{
    struct Wanted {
        const std::string& path;
        const char* what;
        const char* off;
    };
    const Wanted wanted[] = {
        {m_config.hostPlugin, "site filter", "site filtering"},
        {m_config.hazardPlugin, "exploit filter", "exploit scanning"},
    };
    std::string failures;
    for (const Wanted& plugin : wanted) {
        // An empty path turns that plug-in off on purpose: no message.
        if (plugin.path.empty())
            continue;
        LoadedPlugin loaded;
        std::string error;
        if (LoadPlugin(plugin.path, loaded, error)) {
            m_plugins.push_back(std::move(loaded));
        } else {
            failures += std::string(failures.empty() ? "" : "; ") + plugin.what + ": " + error;
        }
    }
    if (m_plugins.empty()) {
        if (failures.empty())
            Log().WriteNotice("no filter plug-in is configured; all traffic passes unfiltered");
        else
            Log().WriteNotice("no filter plug-in could be loaded (" + failures + "); all traffic passes unfiltered");
        return false;
    }
    if (!failures.empty())
        Log().WriteNotice("plug-in not loaded (" + failures + "); its filtering is off");

    bool haveSiteFilter = false;
    bool haveExploitFilter = false;
    for (LoadedPlugin& plugin : m_plugins) {
        // Each plug-in gets a trace object of its own: the exploit filter
        // takes over a trace handed to it after InitPlugin and destroys it
        // with itself, which must not pull the other plug-in's trace away.
        GMCTraceLog* trace = CreateTrace(m_config.traceLevel);
        m_traces.push_back(trace);
        StartPlugin(plugin, &m_context, trace);
        if (plugin.connect != nullptr)
            haveSiteFilter = true;
        else
            haveExploitFilter = true;
    }
    if (haveSiteFilter && !FileExists(m_config.siteDatabase))
        Log().WriteNotice("site database " + m_config.siteDatabase +
                          " is missing; no site is black-listed until it appears");
    if (haveExploitFilter && !FileExists(m_config.detectionFile))
        Log().WriteNotice("detection file " + m_config.detectionFile +
                          " is missing; nothing is scanned until it appears");

    std::string names;
    for (const LoadedPlugin& plugin : m_plugins)
        names += (names.empty() ? "" : ", ") + (plugin.name.empty() ? plugin.path : plugin.name);
    Log().Write(ReportSeverity::Info, "filtering with " + names);
    return true;
}

void Host::Track(int fd, const sockaddr_in* peer)
{
    SocketSlot* slot = m_table.Get(fd);
    if (slot == nullptr)
        return;
    SlotLock lock(slot);
    // A descriptor closed behind the shim's back and now reused.
    if (slot->kind.load(std::memory_order_relaxed) == SlotKind::Tracked)
        UntrackLocked(slot);
    auto* context = static_cast<SocketContext*>(std::calloc(1, sizeof(SocketContext)));
    if (context == nullptr) {
        slot->kind.store(SlotKind::Unknown, std::memory_order_release);
        return;
    }
    context->hostData = context;
    context->releaseHandle = static_cast<uintptr_t>(fd);
    context->detectionValue = static_cast<uint32_t>(fd);
    slot->context = context;
    slot->peerKnown = peer != nullptr;
    slot->peer = peer != nullptr ? *peer : sockaddr_in{};
    slot->blockedFlag.store(false, std::memory_order_relaxed);
    slot->kind.store(SlotKind::Tracked, std::memory_order_release);
}

SocketSlot* Host::Slot(int fd, bool detect)
{
    SocketSlot* slot = m_table.Find(fd);
    if (slot != nullptr) {
        SlotKind kind = slot->kind.load(std::memory_order_acquire);
        if (kind == SlotKind::Tracked)
            return slot;
        if (kind == SlotKind::Ignored || !detect)
            return nullptr;
    } else if (!detect) {
        return nullptr;
    }

    int savedErrno = errno;
    int domain = 0;
    int type = 0;
    int protocol = 0;
    socklen_t length = sizeof domain;
    bool isSocket = getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length) == 0;
    bool notSocket = !isSocket && errno == ENOTSOCK;
    length = sizeof type;
    isSocket = isSocket && getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0;
    length = sizeof protocol;
    isSocket = isSocket && getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &length) == 0;
    errno = savedErrno;
    if (isSocket && domain == AF_INET && type == SOCK_STREAM && (protocol == 0 || protocol == IPPROTO_TCP)) {
        Track(fd, nullptr);
        slot = m_table.Find(fd);
        return slot != nullptr && slot->kind.load(std::memory_order_acquire) == SlotKind::Tracked ? slot : nullptr;
    }
    if (isSocket || notSocket) {
        if (SocketSlot* marked = m_table.Get(fd)) {
            SlotLock lock(marked);
            if (marked->kind.load(std::memory_order_relaxed) == SlotKind::Unknown)
                marked->kind.store(SlotKind::Ignored, std::memory_order_release);
        }
    }
    return nullptr;
}

void Host::UntrackLocked(SocketSlot* slot)
{
    {
        ShimScope scope;
        for (LoadedPlugin& plugin : m_plugins)
            plugin.closeSocket(static_cast<KelmSocket>(slot->fd));
    }
    std::free(slot->context);
    slot->context = nullptr;
    slot->peerKnown = false;
    slot->blockedFlag.store(false, std::memory_order_relaxed);
    slot->kind.store(SlotKind::Unknown, std::memory_order_release);
}

void Host::Close(int fd)
{
    SocketSlot* slot = m_table.Find(fd);
    if (slot == nullptr || slot->kind.load(std::memory_order_acquire) == SlotKind::Unknown)
        return;
    SlotLock lock(slot);
    if (slot->kind.load(std::memory_order_relaxed) == SlotKind::Tracked)
        UntrackLocked(slot);
    else
        slot->kind.store(SlotKind::Unknown, std::memory_order_release);
}

void Host::MarkBlocked(SocketSlot* slot)
{
    slot->blockedFlag.store(true, std::memory_order_release);
    if (slot->context != nullptr)
        slot->context->blocked = 1;
    // The connection is aborted for both sides; on a socket that is not
    // connected yet this does nothing.
    int savedErrno = errno;
    ::shutdown(slot->fd, SHUT_RDWR);
    errno = savedErrno;
}

void Host::Ignore(int fd)
{
    SocketSlot* slot = m_table.Get(fd);
    if (slot == nullptr)
        return;
    SlotLock lock(slot);
    if (slot->kind.load(std::memory_order_relaxed) == SlotKind::Tracked)
        UntrackLocked(slot);
    slot->kind.store(SlotKind::Ignored, std::memory_order_release);
}

void Host::CloseRange(unsigned first, unsigned last)
{
    unsigned end = std::min<unsigned>(last, SocketTable::kMaxDescriptor - 1);
    for (unsigned fd = first; fd <= end; ++fd) {
        if (m_table.Find(static_cast<int>(fd)) == nullptr) {
            // A whole chunk without slots: skip to the next one.
            fd |= (1u << SocketTable::kChunkBits) - 1;
            continue;
        }
        Close(static_cast<int>(fd));
    }
}

void Host::ResetAfterFork()
{
    m_table.ResetLocksAfterFork();
    m_clock.ResetAfterFork();
}

const sockaddr_in* Host::PeerOf(SocketSlot* slot)
{
    if (!slot->peerKnown) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        int savedErrno = errno;
        if (getpeername(slot->fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 && peer.sin_family == AF_INET) {
            slot->peer = peer;
            slot->peerKnown = true;
        }
        errno = savedErrno;
    }
    return &slot->peer;
}

Verdict Host::Bind(SocketSlot* slot, const sockaddr_in& local)
{
    SlotLock lock(slot);
    if (slot->kind.load(std::memory_order_relaxed) != SlotKind::Tracked)
        return Verdict::Pass;
    if (IsBlocked(slot))
        return Verdict::Block;
    ShimScope scope;
    for (LoadedPlugin& plugin : m_plugins) {
        if (plugin.bind != nullptr && plugin.bind(static_cast<KelmSocket>(slot->fd), &local) != KELM_FILTER_PASS) {
            MarkBlocked(slot);
            return Verdict::Block;
        }
    }
    return Verdict::Pass;
}

Verdict Host::Connect(SocketSlot* slot, const sockaddr_in& remote)
{
    SlotLock lock(slot);
    if (slot->kind.load(std::memory_order_relaxed) != SlotKind::Tracked)
        return Verdict::Pass;
    if (IsBlocked(slot))
        return Verdict::Block;
    slot->peer = remote;
    slot->peerKnown = true;
    ShimScope scope;
    for (LoadedPlugin& plugin : m_plugins) {
        if (plugin.connect != nullptr &&
            plugin.connect(static_cast<KelmSocket>(slot->fd), &remote) != KELM_FILTER_PASS) {
            MarkBlocked(slot);
            return Verdict::Block;
        }
    }
    return Verdict::Pass;
}

Verdict Host::Send(SocketSlot* slot, const iovec* iov, int count, std::string& replacement, bool& replaced)
{
    replaced = false;
    SlotLock lock(slot);
    if (slot->kind.load(std::memory_order_relaxed) != SlotKind::Tracked)
        return Verdict::Pass;
    if (IsBlocked(slot))
        return Verdict::Block;
    uint64_t total = 0;
    for (int i = 0; i < count; ++i)
        total += iov[i].iov_len;
    // The plug-in interface counts in 32 bits; a larger single send is rare
    // enough to pass unfiltered rather than be cut.
    if (count <= 0 || total > UINT32_MAX)
        return Verdict::Pass;
    BufferArray buffers(count);
    for (int i = 0; i < count; ++i)
        buffers[i] = FilterBuffer{static_cast<uint32_t>(iov[i].iov_len), static_cast<char*>(iov[i].iov_base)};

    ShimScope scope;
    for (LoadedPlugin& plugin : m_plugins) {
        if (plugin.send(static_cast<KelmSocket>(slot->fd), buffers.data(), static_cast<uint32_t>(count),
                        static_cast<uint32_t>(total)) != KELM_FILTER_PASS) {
            MarkBlocked(slot);
            return Verdict::Block;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (buffers[i].buf != iov[i].iov_base || buffers[i].len != iov[i].iov_len)
            replaced = true;
    }
    if (replaced) {
        // The plug-in's copy lives only until its next call on this socket,
        // and the socket call runs outside the lock: send from our own copy.
        replacement.clear();
        for (int i = 0; i < count; ++i) {
            if (buffers[i].buf != nullptr)
                replacement.append(buffers[i].buf, buffers[i].len);
        }
    }
    return Verdict::Pass;
}

Verdict Host::Receive(SocketSlot* slot, const iovec* iov, int count, std::size_t received)
{
    if (received == 0 || count <= 0)
        return Verdict::Pass;
    SlotLock lock(slot);
    if (slot->kind.load(std::memory_order_relaxed) != SlotKind::Tracked)
        return Verdict::Pass;
    if (IsBlocked(slot))
        return Verdict::Block;
    if (received > UINT32_MAX)
        return Verdict::Pass;
    // Only the buffers that hold received bytes, cut to them.
    BufferArray buffers(count);
    int used = 0;
    std::size_t left = received;
    for (int i = 0; i < count && left > 0; ++i) {
        std::size_t take = std::min(left, iov[i].iov_len);
        buffers[used++] = FilterBuffer{static_cast<uint32_t>(take), static_cast<char*>(iov[i].iov_base)};
        left -= take;
    }
    const sockaddr_in* peer = PeerOf(slot);
    ShimScope scope;
    for (LoadedPlugin& plugin : m_plugins) {
        if (plugin.recv(static_cast<KelmSocket>(slot->fd), buffers.data(), static_cast<uint32_t>(used),
                        static_cast<uint32_t>(received), peer) != KELM_FILTER_PASS) {
            MarkBlocked(slot);
            return Verdict::Block;
        }
    }
    return Verdict::Pass;
}

int32_t Host::GetSocketContext(KelmSocket socket, SocketContext** context)
{
    if (context == nullptr)
        return 0;
    *context = nullptr;
    Host* host = IfStarted();
    if (host == nullptr || socket > static_cast<KelmSocket>(SocketTable::kMaxDescriptor))
        return 0;
    // The calling plug-in runs inside a call that holds this socket's lock.
    SocketSlot* slot = host->m_table.Find(static_cast<int>(socket));
    if (slot != nullptr && slot->kind.load(std::memory_order_acquire) == SlotKind::Tracked)
        *context = slot->context;
    return 0;
}

int32_t Host::ReleaseSocket(uintptr_t)
{
    // The context is freed when the descriptor closes, after every plug-in
    // has seen the close.
    return 0;
}

int32_t Host::GetDatabaseTime(uint32_t* time)
{
    if (time == nullptr)
        return 0;
    Host* host = IfStarted();
    *time = host != nullptr ? host->m_clock.Time() : 0;
    return 0;
}

int32_t Host::SettingsChanged(FilterSettingsRecord*)
{
    // The setting words live in the host's context, which the plug-ins read
    // on every call; there is nothing else to update.
    return 0;
}

int32_t Host::CheckConnect(void*, FilterSettingsRecord*, uint32_t* verdict)
{
    // The host has no policy of its own: only the plug-ins' lists block.
    if (verdict != nullptr)
        *verdict = 0;
    return 0;
}

int32_t Host::CheckData(void*, FilterSettingsRecord*, uint32_t* verdict)
{
    if (verdict != nullptr)
        *verdict = 0;
    return 0;
}

int32_t Host::NotifyClose(void*)
{
    return 0;
}

std::string Host::DescribeReference(void* connectionReference)
{
    SocketContext* context = ContextOfReference(connectionReference);
    const sockaddr_in* peer = nullptr;
    if (context != nullptr) {
        // The reporting plug-in runs inside a call holding this socket's lock.
        SocketSlot* slot = m_table.Find(static_cast<int>(context->releaseHandle));
        if (slot != nullptr && slot->context == context && slot->peerKnown)
            peer = &slot->peer;
    }
    return Describe(context, peer);
}

int32_t Host::ReportBlock(FilterBlockRecord* record, int32_t* blockFlag)
{
    Host* host = IfStarted();
    if (record == nullptr || blockFlag == nullptr || host == nullptr)
        return 0;
    // The default policy keeps the plug-in's decision; the report is logged.
    std::string text = "black-listed site, category \"" + NameOf(record->categoryName) + "\", action level " +
                       std::to_string(record->actionLevel) + ", " + host->DescribeReference(record->connectionReference) +
                       (*blockFlag != 0 ? ": refused" : ": reported only");
    Log().Write(*blockFlag != 0 ? ReportSeverity::Warning : ReportSeverity::Info, text);
    return 0;
}

int32_t Host::ReportDetection(FilterDetectionRecord* record, int32_t* blockFlag)
{
    Host* host = IfStarted();
    if (record == nullptr || blockFlag == nullptr || host == nullptr)
        return 0;
    char id[16];
    std::snprintf(id, sizeof id, "%08X", record->detectionId);
    std::string text = std::string("exploit signature ") + id + ", action level " + std::to_string(record->actionLevel) +
                       ", in data of " + host->DescribeReference(record->connectionReference) +
                       (*blockFlag != 0 ? ": block requested" : ": reported");
    Log().Write(*blockFlag != 0 ? ReportSeverity::Warning : ReportSeverity::Info, text);
    return 0;
}

}  // namespace lsp
