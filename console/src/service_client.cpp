#include "service_client.h"

#include <cstring>
#include <mutex>

#include "korva_config_setting.h"
#include "servicelink/korva_client.h"
#include "servicelink/korva_utilities.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_request.h"
#include "win/types.h"

namespace {

constexpr win::DWORD kErrorServiceNotActive = 10005;

const char* const kConfigNotify = "korva.config.notify";
const char* const kQuarantinePackageNotify = "korva.quarantine.notify.package";
const char* const kQuarantineItemNotify = "korva.quarantine.notify.item";
const char* const kRestoreNotify = "korva.quarantine.notify.restore";
const char* const kExtractionNotify = "korva.extraction.notify";
const char* const kScannerNotify = "korva.scanner.client_notify";
const char* const kHistoryNotify = "korva.history.notify";

const char* Text(const CMsgRequest& request, const char* name) { return request.GetValue(name).c_str(); }
int Int(const CMsgRequest& request, const char* name) { return request.GetValue(name).ToInteger(); }

ConfigChangeRecord BuildConfigRecord(int setting, const CStringValue& value)
{
    ConfigChangeRecord record{};
    record.setting = setting;
    record.type = g_ConfigSettings[setting].type;
    record.text = "";
    switch (record.type) {
    case kConfigText: record.text = value.c_str(); break;
    case kConfigBool: record.boolean = value.ToInteger() != 0; break;
    case kConfigInteger: record.integer = value.ToInteger(); break;
    case kConfigTime: record.time = value.ToInteger64(); break;
    case kConfigInteger64: record.integer64 = static_cast<std::int64_t>(value.ToUInteger64()); break;
    }
    return record;
}

}  // namespace

int SeverityNumber(const char* text)
{
    static const char* const words[] = {"low", "mild", "moderate", "high", "critical"};
    for (int i = 0; i < 5; ++i)
        if (std::strcmp(text, words[i]) == 0)
            return i;
    return 0;
}

int ItemStatusNumber(const char* text)
{
    if (std::strcmp(text, "found") == 0)
        return 1;
    if (std::strcmp(text, "restored") == 0)
        return 0;
    if (std::strcmp(text, "removed") == 0)
        return 2;
    return 3;  // "quarantined" and anything else
}

namespace Korva {

void CKorvaClientProvider::BuildMap()
{
    auto add = [this](const char* name, void (CServiceClient::*handler)(CMsgRequest&)) {
        AddProvider(std::string("root:") + name, [handler](CMsgRequest& request) {
            request.SetServed();
            (CServiceClient::Instance().*handler)(request);
            return true;
        });
    };
    add(kQuarantinePackageNotify, &CServiceClient::OnQuarantinePackage);
    add(kQuarantineItemNotify, &CServiceClient::OnQuarantineItem);
    add(kRestoreNotify, &CServiceClient::OnRestore);
    add(kConfigNotify, &CServiceClient::OnConfig);
    add(kExtractionNotify, &CServiceClient::OnExtraction);
    add(kScannerNotify, &CServiceClient::OnScanner);
    add(kHistoryNotify, &CServiceClient::OnHistory);
}

}  // namespace Korva

CServiceClient& CServiceClient::Instance()
{
    static CServiceClient* client = new CServiceClient();
    return *client;
}

bool CServiceClient::Connect(unsigned waitMs)
{
    std::unique_lock lock(m_lock);
    if (m_client)
        return true;  // one connection for the program's life
    if (!CKorvaUtilities::WaitForActiveServer(0, waitMs, nullptr)) {
        win::SetLastError(kErrorServiceNotActive);
        return false;
    }
    auto client = std::make_unique<CKorvaClient>();
    if (!client->Initialize(0))
        return false;
    auto provider = std::make_unique<Korva::CKorvaClientProvider>();
    if (!CMsgDispatcher::Instance().RegisterProvider("qvclient", provider.get(), 1))
        return false;
    CConfigSettingMap::Instance().Build();
    m_client = std::move(client);
    m_provider = std::move(provider);
    return true;
}

bool CServiceClient::IsConnected() const
{
    std::shared_lock lock(m_lock);
    return m_client != nullptr;
}

bool CServiceClient::Disconnect()
{
    std::unique_ptr<CKorvaClient> client;
    std::unique_ptr<Korva::CKorvaClientProvider> provider;
    {
        std::unique_lock lock(m_lock);
        if (!m_client)
            return false;
        client = std::move(m_client);
        provider = std::move(m_provider);
        m_subscribed.clear();
    }
    // Outside the lock: stopping the bus thread waits for a callback in
    // progress, which may itself need the lock.
    CMsgDispatcher& dispatcher = CMsgDispatcher::Instance();
    dispatcher.EnableNotifications(false);
    client->TermCallbacks();
    dispatcher.ShutDownNotificationQueue(/*wait=*/true);
    client.reset();
    dispatcher.DeleteTarget("qvclient");
    dispatcher.EnableNotifications(true);
    return true;
}

bool CServiceClient::Subscribe(const char* name)
{
    if (m_subscribed[name])
        return true;
    if (!m_client || !m_client->RegisterCallback(name))
        return false;
    m_subscribed[name] = true;
    return true;
}

template <typename Slot>
bool CServiceClient::Register(Slot& slot, typename Slot::Function f, void* context, const char* name)
{
    std::unique_lock lock(m_lock);
    if (f != nullptr && !Subscribe(name))
        return false;
    slot.context = context;
    slot.function = f;
    return true;
}

bool CServiceClient::RegisterConfigCallback(CallbackSlot<ConfigChangeRecord>::Function f, void* c)
{
    return Register(m_config, f, c, kConfigNotify);
}
bool CServiceClient::RegisterQuarantinePackageCallback(CallbackSlot<QuarantinePackageRecord>::Function f, void* c)
{
    return Register(m_quarantinePackage, f, c, kQuarantinePackageNotify);
}
bool CServiceClient::RegisterQuarantineItemCallback(CallbackSlot<QuarantineItemRecord>::Function f, void* c)
{
    return Register(m_quarantineItem, f, c, kQuarantineItemNotify);
}
bool CServiceClient::RegisterHistoryCallback(CallbackSlot<HistoryRecord>::Function f, void* c)
{
    return Register(m_history, f, c, kHistoryNotify);
}
bool CServiceClient::RegisterExtractionCallback(CallbackSlot<PackageActionRecord>::Function f, void* c)
{
    return Register(m_extraction, f, c, kExtractionNotify);
}
bool CServiceClient::RegisterRestorationCallback(CallbackSlot<PackageActionRecord>::Function f, void* c)
{
    return Register(m_restoration, f, c, kRestoreNotify);
}
bool CServiceClient::RegisterScannerProgressCallback(CallbackSlot<ScannerProgressRecord>::Function f, void* c)
{
    return Register(m_scannerProgress, f, c, kScannerNotify);
}
bool CServiceClient::RegisterScannerThreatCallback(CallbackSlot<ScannerThreatRecord>::Function f, void* c)
{
    return Register(m_scannerThreat, f, c, kScannerNotify);
}
bool CServiceClient::RegisterScannerStateCallback(ScannerStateSlot::Function f, void* c)
{
    return Register(m_scannerState, f, c, kScannerNotify);
}

void CServiceClient::OnQuarantinePackage(CMsgRequest& r)
{
    CallbackSlot<QuarantinePackageRecord> slot;
    {
        std::shared_lock lock(m_lock);
        slot = m_quarantinePackage;
    }
    if (slot.function == nullptr)
        return;
    const QuarantinePackageRecord record{Text(r, "package_code"), Int(r, "severity"), Text(r, "package_name"),
                                         Int(r, "package_quarantine_status"), Int(r, "package_source")};
    slot.function(record, slot.context);
}

void CServiceClient::OnQuarantineItem(CMsgRequest& r)
{
    CallbackSlot<QuarantineItemRecord> slot;
    {
        std::shared_lock lock(m_lock);
        slot = m_quarantineItem;
    }
    if (slot.function == nullptr)
        return;
    const QuarantineItemRecord record{Text(r, "item_code"), Text(r, "item_name"), Text(r, "class"), Text(r, "path"),
                                      Text(r, "item_data"), Int(r, "definition_id"),
                                      ItemStatusNumber(Text(r, "item_status")), Int(r, "target_source"),
                                      Text(r, "package_code"), Int(r, "severity"), Text(r, "package_name"),
                                      Int(r, "package_quarantine_status"), Int(r, "package_source")};
    slot.function(record, slot.context);
}

void CServiceClient::OnHistory(CMsgRequest& r)
{
    CallbackSlot<HistoryRecord> slot;
    {
        std::shared_lock lock(m_lock);
        slot = m_history;
    }
    if (slot.function == nullptr)
        return;
    const HistoryRecord record{Int(r, "source"), Int(r, "type"), Text(r, "message"), Text(r, "text"),
                               r.GetValue("timestamp").ToInteger64()};
    slot.function(record, slot.context);
}

void CServiceClient::OnRestore(CMsgRequest& r) { OnPackageAction(r, /*restoration=*/true); }
void CServiceClient::OnExtraction(CMsgRequest& r) { OnPackageAction(r, /*restoration=*/false); }

void CServiceClient::OnPackageAction(CMsgRequest& r, bool restoration)
{
    CallbackSlot<PackageActionRecord> slot;
    {
        std::shared_lock lock(m_lock);
        slot = restoration ? m_restoration : m_extraction;
    }
    if (slot.function == nullptr)
        return;
    PackageActionRecord record{};
    record.package_code = Text(r, "package_code");
    record.package_name = Text(r, "package_name");
    if (r.GetValue("class").ToString() == "package") {
        const char* done = restoration ? "restoration_complete" : "extraction_complete";
        const bool finished = r.GetValue("action").ToString() == done;
        record.kind = finished ? kPackageFinished : kPackageStarted;
        record.percent = finished ? 100.0 : 0.0;
        record.path = "";
        record.item_class = "";
    } else {
        record.kind = kItemProgress;
        record.path = Text(r, "path");
        // The item class is "class"; older senders wrote "clas".
        record.item_class = r.HasValue("class") ? Text(r, "class") : Text(r, "clas");
        record.percent = r.GetValue("percentage_complete").ToDouble();
    }
    slot.function(record, slot.context);
}

void CServiceClient::OnConfig(CMsgRequest& r)
{
    CallbackSlot<ConfigChangeRecord> slot;
    {
        std::shared_lock lock(m_lock);
        slot = m_config;
    }
    if (slot.function == nullptr)
        return;
    const CConfigSettingMap& map = CConfigSettingMap::Instance();
    const std::string path = r.GetValue("path").ToString();
    if (r.HasValue("name")) {
        const int setting = map.Lookup(path + "." + r.GetValue("name").ToString());
        if (setting != KCS_COUNT)
            slot.function(BuildConfigRecord(setting, r.GetValue("value")), slot.context);
    }
    const CMsgRowSets& rowSets = r.GetExParams();
    if (rowSets.empty())
        return;
    CDictionary row;
    if (!rowSets.front().GetRowData(0, row))
        return;
    for (const auto& [column, value] : row) {
        const int setting = map.Lookup(path + "." + column);
        if (setting != KCS_COUNT)
            slot.function(BuildConfigRecord(setting, value), slot.context);
    }
}

void CServiceClient::OnScanner(CMsgRequest& r)
{
    CallbackSlot<ScannerProgressRecord> progress;
    CallbackSlot<ScannerThreatRecord> threat;
    ScannerStateSlot state;
    {
        std::shared_lock lock(m_lock);
        progress = m_scannerProgress;
        threat = m_scannerThreat;
        state = m_scannerState;
    }
    if (progress.function == nullptr && threat.function == nullptr && state.function == nullptr)
        return;
    const std::string event = r.GetValue("scan_event").ToString();
    const std::string status = r.GetValue("status").ToString();
    if (event == "progress") {
        if (progress.function != nullptr) {
            const ScannerProgressRecord record{Text(r, "scan_item"), Text(r, "scan_scanner"), Int(r, "scan_total"),
                                               Int(r, "scan_percent"), Int(r, "scan_elements")};
            progress.function(record, progress.context);
        }
        return;
    }
    if (event == "threat_element_found") {
        if (threat.function != nullptr) {
            const ScannerThreatRecord record{Text(r, "package_code"), Text(r, "package_name"), Text(r, "package_type"),
                                             SeverityNumber(Text(r, "severity"))};
            threat.function(record, threat.context);
        }
        return;
    }
    int code = 0;
    if (event == "checking_for_updates")
        code = status == "begin" ? kScannerCheckingUpdates : status == "complete" ? kScannerUpdatesChecked : 0;
    else if (event == "scanner_initialized")
        code = kScannerInitialized;
    else if (event == "complete")
        code = kScannerComplete;
    else if (event == "exception")
        code = kScannerException;
    if (code != 0 && state.function != nullptr)
        state.function(code, state.context);
}
