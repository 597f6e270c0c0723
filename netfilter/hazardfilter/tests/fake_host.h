// An in-process host for the exploit filter: socket contexts, the callback
// table and a record of every call, as a layered provider would keep them.
// The callbacks are plain function pointers, so they reach the one live
// FakeHost through a process-wide pointer.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace nftest {

class FakeHost {
public:
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    void SetDetectionPath(const std::string& path);

    // The socket's context, created on first use (hostData points at it).
    SocketContext& Context(KelmSocket socket);
    // Sockets listed here get no context from GetSocketContext.
    void WithoutContext(KelmSocket socket) { m_noContext.push_back(socket); }

    std::vector<FilterDetectionRecord> Detections() const;
    std::size_t DetectionCount() const;

    FilterHostContext context{};
    FilterHostCallbacks callbacks{};

    std::atomic<std::uint32_t> checkVerdict{0};
    // -1: keep the block flag the plug-in proposes; 0 or 1: answer with it.
    std::atomic<int> reportAnswer{-1};
    std::atomic<std::uint32_t> databaseTime{0};
    std::atomic<int> checkDataCalls{0};
    std::atomic<int> settingsChangedCalls{0};
    // Changes the context's exploit word during CheckData.
    std::atomic<bool> flipSettingDuringCheck{false};

private:
    static int32_t KELM_HOST_CALL GetSocketContextCb(KelmSocket socket, SocketContext** out);
    static int32_t KELM_HOST_CALL ReleaseSocketCb(uintptr_t);
    static int32_t KELM_HOST_CALL GetDatabaseTimeCb(uint32_t* time);
    static int32_t KELM_HOST_CALL SettingsChangedCb(FilterSettingsRecord*);
    static int32_t KELM_HOST_CALL CheckDataCb(void*, FilterSettingsRecord*, uint32_t* verdict);
    static int32_t KELM_HOST_CALL ReportDetectionCb(FilterDetectionRecord* record, int32_t* blockFlag);

    mutable std::mutex m_lock;
    std::map<KelmSocket, std::unique_ptr<SocketContext>> m_contexts;
    std::vector<KelmSocket> m_noContext;
    std::vector<FilterDetectionRecord> m_detections;
};

}  // namespace nftest
