// The layered provider's host side: it loads the filter plug-ins, keeps a
// socket context per IPv4 TCP socket, calls the plug-ins around the socket
// calls and answers their callbacks.
//
// The interposed C library functions (interpose.cpp) call into the one Host
// of the process. Everything here runs on the application's own threads.
#pragma once

#include "database_clock.h"
#include "lsp_config.h"
#include "plugin_set.h"
#include "socket_table.h"

#include <kelm/netfilter_plugin.h>

#include <sys/uio.h>

#include <atomic>
#include <string>
#include <vector>

namespace lsp {

enum class Verdict { Pass, Block };

class Host {
public:
    // The process's host, started on the first call; null when no plug-in
    // could be loaded (everything then passes untouched).
    static Host* Get();
    // The host when it has been started already, without starting it.
    static Host* IfStarted();

    // A new IPv4 TCP socket (from socket() or accept()); PEER when known.
    void Track(int fd, const sockaddr_in* peer);
    // The tracked slot of FD, or null. DETECT: look at an unknown descriptor
    // (only for calls that exist only for sockets, never for read/write).
    SocketSlot* Slot(int fd, bool detect);
    // The descriptor is going away: the plug-ins forget it.
    void Close(int fd);
    // Every descriptor from FIRST to LAST is going away.
    void CloseRange(unsigned first, unsigned last);
    // A new descriptor that is not an IPv4 TCP socket.
    void Ignore(int fd);
    // In a child after fork(): locks other threads held are dropped.
    void ResetAfterFork();

    Verdict Bind(SocketSlot* slot, const sockaddr_in& local);
    Verdict Connect(SocketSlot* slot, const sockaddr_in& remote);
    // Runs the send filters over IOV. When a plug-in replaced bytes,
    // REPLACEMENT receives everything to send instead.
    Verdict Send(SocketSlot* slot, const iovec* iov, int count, std::string& replacement, bool& replaced);
    // Runs the receive filters over the RECEIVED bytes at the start of IOV.
    Verdict Receive(SocketSlot* slot, const iovec* iov, int count, std::size_t received);

    // A socket refused once is refused at once from then on.
    static bool IsBlocked(const SocketSlot* slot) { return slot->blockedFlag.load(std::memory_order_acquire); }

    const LspConfig& Config() const { return m_config; }

    // Host callbacks (FilterHostContext and FilterHostCallbacks).
    static int32_t GetSocketContext(KelmSocket socket, SocketContext** context);
    static int32_t ReleaseSocket(uintptr_t releaseHandle);
    static int32_t GetDatabaseTime(uint32_t* time);
    static int32_t SettingsChanged(FilterSettingsRecord* settings);
    static int32_t CheckConnect(void* connectionReference, FilterSettingsRecord* settings, uint32_t* verdict);
    static int32_t CheckData(void* connectionReference, FilterSettingsRecord* settings, uint32_t* verdict);
    static int32_t NotifyClose(void* connectionReference);
    static int32_t ReportBlock(FilterBlockRecord* record, int32_t* blockFlag);
    static int32_t ReportDetection(FilterDetectionRecord* record, int32_t* blockFlag);

private:
    Host() = default;
    static void Start();
    bool StartPlugins();
    void UntrackLocked(SocketSlot* slot);
    void MarkBlocked(SocketSlot* slot);
    const sockaddr_in* PeerOf(SocketSlot* slot);
    std::string DescribeReference(void* connectionReference);

    LspConfig m_config;
    SocketTable m_table;
    DatabaseClock m_clock;
    FilterHostCallbacks m_callbacks{};
    FilterHostContext m_context{};
    // The site filter first (it refuses connections and requests), then the
    // exploit filter.
    std::vector<LoadedPlugin> m_plugins;
    // The plug-ins' trace objects. The site filter uses its object as the
    // host's and the exploit filter may destroy its own, so the host never
    // frees them; it only keeps them.
    std::vector<GMCTraceLog*> m_traces;
};

// The socket context a callback's connection reference points into.
SocketContext* ContextOfReference(void* connectionReference);

}  // namespace lsp
