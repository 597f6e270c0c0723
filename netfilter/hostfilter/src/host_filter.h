// The site filter plug-in's state and its answers to the host's calls.
//
// One HostFilter lives in the plug-in (exports.cpp); tests create their own.
// It keeps no per-socket state: the host's socket context carries the flags,
// counters and first bytes. The black list is replaced whole on a reload, so
// a lookup running on another thread keeps the list it started with.
#pragma once

#include "black_list.h"
#include "site_lookup.h"

#include <kelm/netfilter_plugin.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <string>

class GMCTraceLog;

namespace hostfilter {

inline constexpr const char* kPluginName = "KelmHostFilter";

class HostFilter {
public:
    HostFilter();
    ~HostFilter();
    HostFilter(const HostFilter&) = delete;
    HostFilter& operator=(const HostFilter&) = delete;

    int32_t GetPluginInfo(FilterPluginInfo* info) const;
    int32_t InitPlugin();
    int32_t InitPlugin2(FilterHostContext* context);
    int32_t SetTrace(GMCTraceLog* trace);
    int32_t TermPlugin();

    int32_t Bind(KelmSocket socket, const sockaddr_in* local);
    int32_t Connect(KelmSocket socket, const sockaddr_in* remote);
    int32_t Send(KelmSocket socket, FilterBuffer* buffers, uint32_t count, uint32_t bytes);
    int32_t Recv(KelmSocket socket, FilterBuffer* buffers, uint32_t count, uint32_t bytes,
                 const sockaddr_in* remote);
    int32_t CloseSocket(KelmSocket socket);

    // True when TEXT (a dotted address or "host/path") is listed; traced.
    bool InBlackList(const std::string& text, BlackListResult* result);

    // Replaces the name lookup (tests and benchmarks stub it).
    void SetResolver(NameResolver resolver) { m_resolver = std::move(resolver); }
    // The list in use (may be null).
    std::shared_ptr<const SiteLookup> List() const;
    uint32_t LastLoadTick() const { return m_lastLoadTick.load(std::memory_order_acquire); }
    GMCTraceLog* Trace() const { return m_trace.load(std::memory_order_acquire); }

private:
    // The accepted host context, or null.
    FilterHostContext* Context() const { return m_context.load(std::memory_order_acquire); }
    SocketContext* SocketContextOf(FilterHostContext* host, KelmSocket socket) const;
    // Runs a check callback with the settings record, then SettingsChanged
    // when the words moved, then the database refresh. Returns the verdict word.
    uint32_t RunCheck(FilterHostContext* host,
                      decltype(FilterHostCallbacks::CheckData) check,
                      SocketContext* socketContext);
    void RefreshDatabase(FilterHostContext* host);
    void LoadDatabase(const std::string& path);
    // Reports a listed site; returns the host's decision (non-zero: block).
    int32_t ReportBlock(SocketContext* socketContext, const BlackListResult& result);
    static void RecordBlock(SocketContext* socketContext, uint32_t kind);
    void Print(uint32_t level, const char* text);

    std::atomic<FilterHostContext*> m_context{nullptr};
    std::atomic<GMCTraceLog*> m_trace{nullptr};
    GMCTraceLog* m_ownTrace = nullptr;  // the trace this plug-in created and destroys
    // The list in use. Held only to copy or replace the pointer, so a lookup
    // never waits for a load.
    mutable std::mutex m_listLock;
    std::shared_ptr<const SiteLookup> m_list;
    void SetList(std::shared_ptr<const SiteLookup> list);
    std::atomic<uint32_t> m_lastLoadTick{0};
    std::mutex m_loadLock;  // one load at a time; lookups never wait for it
    std::string m_path;     // the copied site database path (under m_loadLock)
    NameResolver m_resolver = ResolveWithSystem;
};

// UTF-8 text as UTF-16 into OUT (CAPACITY units, NUL included); invalid bytes
// become U+FFFD. Returns the units written before the NUL.
std::size_t ToUtf16(std::string_view text, uint16_t* out, std::size_t capacity);

}  // namespace hostfilter
