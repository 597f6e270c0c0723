// The exploit filter behind the plug-in exports: one object holds the host
// context, the trace, the loaded detection table, the socket states and the
// memory of the last report. The exports in exports.cpp forward to one
// process-wide instance; tests and the benchmark make their own.
#pragma once

#include "detection_database.h"
#include "detection_reporter.h"
#include "multi_match.h"
#include "tracer.h"

#include <kit/scan_socket_state.h>

#include <kelm/netfilter_plugin.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hazard {

// Receives larger than this, with more buffers, or with fewer bytes are
// passed unscanned.
inline constexpr std::uint32_t kMaxScannedBytes = 131072;
inline constexpr std::uint32_t kMaxScannedBuffers = 4;
inline constexpr std::uint32_t kMinScannedBytes = 8;

inline constexpr const char* kPluginName = "KelmHazardFilter";

class HazardFilter {
public:
    using Clock = std::function<std::uint32_t()>;

    HazardFilter();
    explicit HazardFilter(Clock clock);
    ~HazardFilter();
    HazardFilter(const HazardFilter&) = delete;
    HazardFilter& operator=(const HazardFilter&) = delete;

    std::int32_t GetPluginInfo(FilterPluginInfo* info);
    std::int32_t InitPlugin();
    std::int32_t InitPlugin2(FilterHostContext* context);
    std::int32_t SetTrace(GMCTraceLog* trace);
    std::int32_t TermPlugin();
    std::int32_t Send(KelmSocket socket, FilterBuffer* buffers, std::uint32_t count, std::uint32_t bytes);
    std::int32_t Recv(KelmSocket socket, FilterBuffer* buffers, std::uint32_t count, std::uint32_t bytes,
                      const struct sockaddr_in* remote);
    std::int32_t CloseSocket(KelmSocket socket);

    // The table scans use now (null when none is loaded).
    std::shared_ptr<const DetectionDatabase> Database() const;
    // Replaces the table directly (tests and the benchmark).
    void UseDatabase(std::shared_ptr<const DetectionDatabase> database);
    std::size_t SocketStateCount() const { return m_sockets.Size(); }
    const FilterHostContext* HostContext() const { return m_host.load(std::memory_order_acquire); }

private:
    // Loads the detection file named by the host context (or the last path).
    void LoadDatabase();
    // After a check callback: reloads when the host's database is newer.
    void RefreshDatabase(const FilterHostContext* host);
    // The first receive after a send: the host's CheckData verdict.
    std::uint32_t AskHost(const FilterHostContext* host, KelmSocket socket, SocketContext** context);

    // Builds the first-pass view; returns the view and sets USED_INFLATED.
    const nfkit::ScanView& FirstPassView(CScanSocketState& state, FilterBuffer* buffers, std::uint32_t count,
                                         std::uint32_t bytes, KelmSocket socket, bool* usedInflated);
    bool BuildInflatedView(CScanSocketState& state, FilterBuffer* buffers, std::uint32_t count,
                           std::uint32_t bytes, KelmSocket socket);
    void BuildNormalisedView(CScanSocketState& state, const nfkit::ScanView& firstPass);
    // One pass over VIEW; FIRST_PASS_MEMBERS carries the group members the
    // first pass counted into the second.
    int Scan(CScanSocketState& state, const DetectionDatabase& database, const nfkit::ScanView& view, int pass,
             bool overwriteAllowed, KelmSocket socket, const struct sockaddr_in* remote,
             const FilterHostContext* host, std::vector<std::uint64_t>& firstPassMembers);

    Clock m_clock;
    Tracer m_trace;
    bool m_willOwnTrace = false;
    bool m_ownsTrace = false;
    std::atomic<FilterHostContext*> m_host{nullptr};

    mutable std::mutex m_databaseLock;  // guards m_database (the pointer, not the table)
    std::shared_ptr<const DetectionDatabase> m_database;
    std::mutex m_reloadLock;  // one load at a time; guards m_path
    std::string m_path;
    std::atomic<std::uint32_t> m_lastLoadTick{0};

    nfkit::ScanSocketList m_sockets;
    DetectionReporter m_reporter;
};

}  // namespace hazard
