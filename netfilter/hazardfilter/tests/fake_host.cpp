#include "fake_host.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace nftest {

namespace {
std::atomic<FakeHost*> g_host{nullptr};
}

FakeHost::FakeHost()
{
    if (g_host.exchange(this) != nullptr)
        throw std::logic_error("one FakeHost at a time");
    callbacks.CheckData = &CheckDataCb;
    callbacks.ReportDetection = &ReportDetectionCb;
    context.callbacks = &callbacks;
    context.siteFilterSetting = 1;
    context.exploitFilterSetting = 1;
    std::strcpy(context.siteDatabasePath, "/nonexistent/sites.dat");
    context.GetSocketContext = &GetSocketContextCb;
    context.ReleaseSocket = &ReleaseSocketCb;
    context.GetDatabaseTime = &GetDatabaseTimeCb;
    context.SettingsChanged = &SettingsChangedCb;
}

FakeHost::~FakeHost()
{
    g_host.store(nullptr);
}

void FakeHost::SetDetectionPath(const std::string& path)
{
    std::memset(context.detectionPath, 0, sizeof context.detectionPath);
    std::strncpy(context.detectionPath, path.c_str(), sizeof context.detectionPath - 1);
}

SocketContext& FakeHost::Context(KelmSocket socket)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto& slot = m_contexts[socket];
    if (!slot) {
        slot = std::make_unique<SocketContext>();
        std::memset(slot.get(), 0, sizeof(SocketContext));
        slot->hostData = slot.get();
    }
    return *slot;
}

std::vector<FilterDetectionRecord> FakeHost::Detections() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_detections;
}

std::size_t FakeHost::DetectionCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_detections.size();
}

int32_t FakeHost::GetSocketContextCb(KelmSocket socket, SocketContext** out)
{
    FakeHost* host = g_host.load();
    {
        std::lock_guard<std::mutex> guard(host->m_lock);
        if (std::find(host->m_noContext.begin(), host->m_noContext.end(), socket) != host->m_noContext.end()) {
            *out = nullptr;
            return 0;
        }
    }
    *out = &host->Context(socket);
    return 0;
}

int32_t FakeHost::ReleaseSocketCb(uintptr_t)
{
    return 0;
}

int32_t FakeHost::GetDatabaseTimeCb(uint32_t* time)
{
    *time = g_host.load()->databaseTime.load();
    return 0;
}

int32_t FakeHost::SettingsChangedCb(FilterSettingsRecord*)
{
    ++g_host.load()->settingsChangedCalls;
    return 0;
}

int32_t FakeHost::CheckDataCb(void*, FilterSettingsRecord*, uint32_t* verdict)
{
    FakeHost* host = g_host.load();
    ++host->checkDataCalls;
    if (host->flipSettingDuringCheck.load())
        host->context.exploitFilterSetting = 2;
    *verdict = host->checkVerdict.load();
    return 0;
}

int32_t FakeHost::ReportDetectionCb(FilterDetectionRecord* record, int32_t* blockFlag)
{
    FakeHost* host = g_host.load();
    {
        std::lock_guard<std::mutex> guard(host->m_lock);
        host->m_detections.push_back(*record);
    }
    const int answer = host->reportAnswer.load();
    if (answer >= 0)
        *blockFlag = answer;
    return 0;
}

}  // namespace nftest
