// The control panel's one connection to the service and the routing of its
// notifications to callbacks (one slot per kind of record).
//
// The client lock (readers: notification handlers; writers: connect,
// disconnect, registrations) guards the connection, the flags and the slots.
// Handlers read a slot under the read lock and call it after releasing it, so
// a callback may take any lock of its own without deadlocking a disconnect;
// a disconnect stops the bus thread (waiting for a callback in progress)
// before it returns, so a context is never used after it.
#pragma once

#include <map>
#include <memory>
#include <shared_mutex>
#include <string>

#include "notification_records.h"
#include "servicelink/msg_provider.h"

class CKorvaClient;
class CMsgRequest;

namespace Korva {

// The provider registered as bus target "qvclient".
class CKorvaClientProvider : public CMsgProvider {
public:
    void BuildMap() override;
};

}  // namespace Korva

template <typename Record>
struct CallbackSlot {
    using Function = void (*)(const Record& record, void* context);
    Function function = nullptr;
    void* context = nullptr;
};

struct ScannerStateSlot {
    using Function = void (*)(int state, void* context);
    Function function = nullptr;
    void* context = nullptr;
};

class CServiceClient {
public:
    static CServiceClient& Instance();

    // Waits up to WAIT_MS for the service, connects and registers the
    // provider as "qvclient", builds the settings map. On a time-out the
    // thread's last error is 10005.
    bool Connect(unsigned waitMs = 10000);
    // False when not connected.
    bool Disconnect();
    bool IsConnected() const;

    // One registration per slot; a null function clears the slot (the
    // subscription stays). A failed subscription changes nothing.
    bool RegisterConfigCallback(CallbackSlot<ConfigChangeRecord>::Function f, void* context);
    bool RegisterQuarantinePackageCallback(CallbackSlot<QuarantinePackageRecord>::Function f, void* context);
    bool RegisterQuarantineItemCallback(CallbackSlot<QuarantineItemRecord>::Function f, void* context);
    bool RegisterHistoryCallback(CallbackSlot<HistoryRecord>::Function f, void* context);
    bool RegisterExtractionCallback(CallbackSlot<PackageActionRecord>::Function f, void* context);
    bool RegisterRestorationCallback(CallbackSlot<PackageActionRecord>::Function f, void* context);
    bool RegisterScannerProgressCallback(CallbackSlot<ScannerProgressRecord>::Function f, void* context);
    bool RegisterScannerThreatCallback(CallbackSlot<ScannerThreatRecord>::Function f, void* context);
    bool RegisterScannerStateCallback(ScannerStateSlot::Function f, void* context);

    // The handlers of the provider's map; public so they can be fed directly.
    void OnQuarantinePackage(CMsgRequest& request);
    void OnQuarantineItem(CMsgRequest& request);
    void OnRestore(CMsgRequest& request);
    void OnConfig(CMsgRequest& request);
    void OnExtraction(CMsgRequest& request);
    void OnScanner(CMsgRequest& request);
    void OnHistory(CMsgRequest& request);

private:
    CServiceClient() = default;
    bool Subscribe(const char* name);
    template <typename Slot>
    bool Register(Slot& slot, typename Slot::Function f, void* context, const char* name);
    void OnPackageAction(CMsgRequest& request, bool restoration);

    mutable std::shared_mutex m_lock;
    std::unique_ptr<CKorvaClient> m_client;
    std::unique_ptr<Korva::CKorvaClientProvider> m_provider;
    std::map<std::string, bool> m_subscribed;
    CallbackSlot<ConfigChangeRecord> m_config;
    CallbackSlot<QuarantinePackageRecord> m_quarantinePackage;
    CallbackSlot<QuarantineItemRecord> m_quarantineItem;
    CallbackSlot<HistoryRecord> m_history;
    CallbackSlot<PackageActionRecord> m_extraction;
    CallbackSlot<PackageActionRecord> m_restoration;
    CallbackSlot<ScannerProgressRecord> m_scannerProgress;
    CallbackSlot<ScannerThreatRecord> m_scannerThreat;
    ScannerStateSlot m_scannerState;
};
