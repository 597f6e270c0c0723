// A host for the site filter in tests: one FilterHostContext with callbacks
// that record what the plug-in reported and answer as the test says. The
// callbacks are plain function pointers, so the one active FakeHost is found
// through a static pointer; tests use one at a time.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hostfilter::testing {

struct BlockReport {
    uint32_t size = 0;
    uint32_t kind = 0;
    uint32_t actionLevel = 0;
    std::u16string categoryName;
    void* connectionReference = nullptr;
    int32_t flagIn = 0;
};

class FakeHost {
public:
    explicit FakeHost(const std::string& siteDatabase)
    {
        s_active = this;
        m_callbacks.CheckConnect = &CheckConnect;
        m_callbacks.CheckData = &CheckData;
        m_callbacks.NotifyClose = &NotifyClose;
        m_callbacks.ReportBlock = &ReportBlock;
        m_context.callbacks = &m_callbacks;
        m_context.siteFilterSetting = 1;
        m_context.exploitFilterSetting = 1;
        std::strncpy(m_context.siteDatabasePath, siteDatabase.c_str(), sizeof m_context.siteDatabasePath - 1);
        m_context.GetSocketContext = &GetSocketContext;
        m_context.ReleaseSocket = &ReleaseSocket;
        m_context.GetDatabaseTime = &GetDatabaseTime;
        m_context.SettingsChanged = &SettingsChanged;
    }
    ~FakeHost() { s_active = nullptr; }
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    FilterHostContext* Context() { return &m_context; }
    FilterHostCallbacks* Callbacks() { return &m_callbacks; }

    // The context of SOCKET, created on first use.
    SocketContext* Socket(KelmSocket socket)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto& slot = m_sockets[socket];
        if (!slot) {
            slot = std::make_unique<SocketContext>();
            std::memset(slot.get(), 0, sizeof(SocketContext));
            slot->hostData = slot.get();
            slot->releaseHandle = 0x1000 + socket;
        }
        return slot.get();
    }
    // Sockets the host has no context for.
    void Forget(KelmSocket socket) { m_missing.push_back(socket); }

    // Answers: the host's own verdict word, and its decision on block reports
    // (-1: keep the plug-in's flag).
    uint32_t checkVerdict = 0;
    int32_t blockDecision = -1;
    std::atomic<uint32_t> databaseTime{0};
    // Changes the site-filter word during the next check callback.
    bool flipSettingOnCheck = false;

    std::vector<BlockReport> reports;
    std::vector<void*> closes;
    std::vector<uintptr_t> releases;
    std::vector<FilterSettingsRecord> settingsChanges;
    std::atomic<int> checkConnects{0};
    std::atomic<int> checkDatas{0};

private:
    static int32_t GetSocketContext(KelmSocket socket, SocketContext** context)
    {
        FakeHost* host = s_active;
        for (KelmSocket missing : host->m_missing) {
            if (missing == socket) {
                *context = nullptr;
                return 0;
            }
        }
        *context = host->Socket(socket);
        return 0;
    }
    static int32_t ReleaseSocket(uintptr_t handle)
    {
        s_active->releases.push_back(handle);
        return 0;
    }
    static int32_t GetDatabaseTime(uint32_t* time)
    {
        *time = s_active->databaseTime.load();
        return 0;
    }
    static int32_t SettingsChanged(FilterSettingsRecord* settings)
    {
        s_active->settingsChanges.push_back(*settings);
        return 0;
    }
    static void Flip()
    {
        FakeHost* host = s_active;
        if (host->flipSettingOnCheck) {
            host->m_context.siteFilterSetting ^= 1;
            host->flipSettingOnCheck = false;
        }
    }
    static int32_t CheckConnect(void*, FilterSettingsRecord*, uint32_t* verdict)
    {
        ++s_active->checkConnects;
        Flip();
        *verdict = s_active->checkVerdict;
        return 0;
    }
    static int32_t CheckData(void*, FilterSettingsRecord*, uint32_t* verdict)
    {
        ++s_active->checkDatas;
        Flip();
        *verdict = s_active->checkVerdict;
        return 0;
    }
    static int32_t NotifyClose(void* reference)
    {
        s_active->closes.push_back(reference);
        return 0;
    }
    static int32_t ReportBlock(FilterBlockRecord* record, int32_t* flag)
    {
        FakeHost* host = s_active;
        std::lock_guard<std::mutex> guard(host->m_lock);
        BlockReport report;
        report.size = record->size;
        report.kind = record->kind;
        report.actionLevel = record->actionLevel;
        for (const uint16_t* c = record->categoryName; c != nullptr && *c != 0; ++c)
            report.categoryName.push_back(static_cast<char16_t>(*c));
        report.connectionReference = record->connectionReference;
        report.flagIn = *flag;
        host->reports.push_back(report);
        if (host->blockDecision >= 0)
            *flag = host->blockDecision;
        return 0;
    }

    static inline FakeHost* s_active = nullptr;
    FilterHostCallbacks m_callbacks{};
    FilterHostContext m_context{};
    std::mutex m_lock;
    std::map<KelmSocket, std::unique_ptr<SocketContext>> m_sockets;
    std::vector<KelmSocket> m_missing;
};

}  // namespace hostfilter::testing
