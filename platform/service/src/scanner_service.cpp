#include "scanner_service.h"

#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <ctime>
#include <map>
#include <set>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "config_store.h"
#include "quarantine_store.h"
#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;
using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

namespace {

constexpr const char* kNotification = "korva.scanner.client_notify";
constexpr const char* kOptionsSection = "korva.applications.tavrel.system.options";
constexpr int kTickMs = 50;
constexpr std::size_t kMaxScanners = 32;
constexpr std::size_t kMaxFolders = 256;

const char* const kScanTypes[] = {"quick", "intelligent", "full", "custom"};
// What the fixed scan types run, in this order, besides the names they send.
const char* const kDefaultScanners[] = {"quarantine", "process", "registry", "cookie", "hosts", "file"};

const char* SeverityWord(int number)
{
    static const char* const kWords[] = {"low", "mild", "moderate", "high", "critical"};
    return kWords[std::clamp(number, 0, 4)];
}

std::vector<std::string> SplitList(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        std::string part = text.substr(start, end - start);
        const auto first = part.find_first_not_of(' ');
        const auto last = part.find_last_not_of(' ');
        part = first == std::string::npos ? std::string() : part.substr(first, last - first + 1);
        if (!part.empty())
            out.push_back(part);
        start = end + 1;
    }
    return out;
}

bool ValidScannerName(const std::string& name)
{
    return !name.empty() && name.size() <= 32 &&
           std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::islower(c) || c == '_'; });
}

// Folders of a custom scan: absolute paths, comma-separated; "none" (what
// the scan page sends when no folder is ticked) means no folder.
bool ParseFolders(const std::string& text, std::vector<std::string>& folders, std::string& error)
{
    for (std::string folder : SplitList(text)) {
        if (folder == "none")
            continue;
        if (folder.front() != '/') {
            error = "folders are absolute paths: \"" + folder + "\"";
            return false;
        }
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    if (folders.size() > kMaxFolders) {
        error = "at most 256 folders";
        return false;
    }
    return true;
}

}  // namespace

// What the worker leaves for the main thread.
struct ScannerService::Mailbox {
    std::mutex mutex;
    bool initialized = false;
    bool finished = false;
    std::string exception;
    std::optional<ScanProgress> progress;
    std::vector<ScanProgress> scannerStarts;  // the first report of each scanner
    std::string scanner;
    std::vector<Finding> findings;
};

class ScannerService::Observer : public ScanObserver {
public:
    explicit Observer(std::shared_ptr<Mailbox> mailbox) : m_mailbox(std::move(mailbox)) {}
    void OnInitialized() override
    {
        std::lock_guard<std::mutex> lock(m_mailbox->mutex);
        m_mailbox->initialized = true;
    }
    void OnProgress(const ScanProgress& progress) override
    {
        std::lock_guard<std::mutex> lock(m_mailbox->mutex);
        // Every scanner shows up at least once, however fast it was done.
        if (progress.scanner != m_mailbox->scanner) {
            m_mailbox->scanner = progress.scanner;
            m_mailbox->scannerStarts.push_back(progress);
        }
        m_mailbox->progress = progress;
    }
    void OnFinding(Finding finding) override
    {
        std::lock_guard<std::mutex> lock(m_mailbox->mutex);
        m_mailbox->findings.push_back(std::move(finding));
    }

private:
    std::shared_ptr<Mailbox> m_mailbox;
};

ScannerService::ScannerService(ServiceContext& context, QuarantineStore& store,
                               std::shared_ptr<const Definitions> definitions, ScanSettings settings)
    : m_context(context), m_store(store), m_definitions(std::move(definitions)), m_settings(std::move(settings))
{
    m_timer.setInterval(kTickMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Drain(); });
}

ScannerService::~ScannerService()
{
    if (m_control)
        m_control->Stop();
    if (m_worker.joinable())
        m_worker.join();
}

void ScannerService::Notify(CDictionary values)
{
    m_context.server.SendNotification(kNotification, values);
}

ServiceAnswer ScannerService::Start(const ServiceCall& call)
{
    const CMsgRequest& request = call.request;
    if (m_running)
        return ServiceAnswer::Error(KORVA_E_NOT_ALLOWED, "a scan is already running");
    // The scan page sends start without waiting for the answer, so a refusal
    // is also told through the notification the main window listens to.
    const auto refuse = [this](const std::string& message) {
        CDictionary values;
        values["status"] = "failed_to_launch";
        values["message"] = message;
        Notify(values);
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, message);
    };
    const std::string type = request.GetValue("scan_type").ToString();
    int typeNumber = -1;
    for (int i = 0; i < 4; ++i)
        if (type == kScanTypes[i])
            typeNumber = i;
    if (typeNumber < 0)
        return refuse("`scan_type` is quick, intelligent, full or custom");

    ScanJob job;
    std::vector<std::string> requested = SplitList(request.GetValue("scanners").ToString());
    if (requested.size() > kMaxScanners)
        return refuse("too many scanners");
    for (const std::string& name : requested)
        if (!ValidScannerName(name))
            return refuse("bad scanner name \"" + name + "\"");
    const auto add = [&job](const std::string& name) {
        if (std::find(job.scanners.begin(), job.scanners.end(), name) == job.scanners.end())
            job.scanners.push_back(name);
    };
    if (type == "custom") {
        std::string error;
        if (!ParseFolders(request.GetValue("directories").ToString(), job.folders, error) ||
            !ParseFolders(request.GetValue("partial_directories").ToString(), job.partialFolders, error))
            return refuse(error);
        // The file scanner runs only when there is a folder to walk: the
        // page asks for it even when its folder list is "none".
        const bool anyFolder = !job.folders.empty() || !job.partialFolders.empty();
        for (const std::string& name : requested)
            if (name != "file" || anyFolder)
                add(name);
        if (anyFolder)
            add("file");
    } else {
        job.folders = type == "full" ? m_settings.fullFolders : m_settings.quickFolders;
        for (const char* name : kDefaultScanners)
            add(name);
        for (const std::string& name : requested)
            add(name);
    }
    if (request.GetValue("enable_virus_scan").ToInteger() != 0)
        add("virus");

    m_scanId = m_store.BeginScan(type);
    if (m_scanId < 0)
        return refuse("cannot record the scan");
    m_running = true;
    m_initializedSent = false;
    m_completeSent = false;
    m_scanType = type;
    m_scanTypeNumber = typeNumber;
    m_last = ScanProgress();
    m_packageOrder.clear();
    qInfo("scan %lld (%s) started by %s", m_scanId, type.c_str(), call.sender.c_str());

    // There is no definitions updater in korvad: the check ends at once.
    CDictionary check;
    check["scan_event"] = "checking_for_updates";
    check["status"] = "begin";
    Notify(check);
    check["status"] = "complete";
    Notify(check);

    m_mailbox = std::make_shared<Mailbox>();
    m_control = std::make_unique<ScanControl>();
    m_observer = std::make_unique<Observer>(m_mailbox);
    if (m_worker.joinable())
        m_worker.join();
    m_workerTid = 0;
    m_worker = std::thread([this, job, nice = m_nice, mailbox = m_mailbox, control = m_control.get(),
                            observer = m_observer.get()] {
        m_workerTid = static_cast<int>(::syscall(SYS_gettid));
        if (nice != 0)
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(m_workerTid.load()), nice);
        std::string exception;
        try {
            ScanEngine engine(m_definitions, m_settings);
            engine.Run(job, *control, *observer);
        } catch (const std::exception& e) {
            exception = e.what();
        } catch (...) {
            exception = "unknown failure";
        }
        std::lock_guard<std::mutex> lock(mailbox->mutex);
        mailbox->exception = exception;
        mailbox->finished = true;
    });
    m_timer.start();
    CDictionary row;
    row["scan_id"] = static_cast<std::int64_t>(m_scanId);
    return ServiceAnswer::Row("scan", row);
}

void ScannerService::Drain()
{
    if (!m_mailbox)
        return;
    bool initialized = false, finished = false;
    std::string exception;
    std::optional<ScanProgress> progress;
    std::vector<ScanProgress> starts;
    std::vector<Finding> findings;
    {
        std::lock_guard<std::mutex> lock(m_mailbox->mutex);
        initialized = m_mailbox->initialized;
        finished = m_mailbox->finished;
        exception = m_mailbox->exception;
        progress.swap(m_mailbox->progress);
        starts.swap(m_mailbox->scannerStarts);
        findings.swap(m_mailbox->findings);
    }
    if (initialized && !m_initializedSent) {
        m_initializedSent = true;
        CDictionary values;
        values["scan_event"] = "scanner_initialized";
        Notify(values);
    }
    // Threats of this tick, one notification per package with its count.
    std::map<std::string, long long> counts;
    std::vector<std::string> order;
    // One transaction per tick: a scan that finds thousands of items does
    // not pay a commit for each.
    const bool batch = !findings.empty() && m_store.database().Exec("BEGIN IMMEDIATE;");
    for (const Finding& finding : findings) {
        const auto recorded = m_store.Record(m_scanId, finding, nullptr);
        if (recorded == QuarantineStore::Recorded::Allowed)
            continue;
        if (recorded == QuarantineStore::Recorded::Failed) {
            qWarning("cannot record a finding in %s", finding.path.c_str());
            continue;
        }
        if (counts[finding.packageCode]++ == 0)
            order.push_back(finding.packageCode);
    }
    if (batch && !m_store.database().Exec("COMMIT;")) {
        qWarning("cannot record this tick's findings");
        m_store.database().Exec("ROLLBACK;");
        counts.clear();
        order.clear();
    }
    for (const std::string& code : order) {
        const Package* package = m_definitions->Find(code);
        CDictionary values;
        values["scan_event"] = "threat_element_found";
        values["package_code"] = code;
        values["package_name"] = package != nullptr ? package->name : std::string();
        values["package_type"] = package != nullptr ? package->type : std::string();
        values["severity"] = SeverityWord(package != nullptr ? package->SeverityNumber() : 0);
        values["found_item_count"] = static_cast<std::int64_t>(counts[code]);
        Notify(values);
        if (std::find(m_packageOrder.begin(), m_packageOrder.end(), code) == m_packageOrder.end()) {
            m_packageOrder.push_back(code);
            CDictionary notice;
            notice["package_code"] = code;
            notice["severity"] = package != nullptr ? package->SeverityNumber() : 0;
            notice["package_name"] = package != nullptr ? package->name : std::string();
            notice["package_quarantine_status"] = 1;
            notice["package_source"] = 0;
            m_context.server.SendNotification("korva.quarantine.notify.package", notice);
        }
    }
    // The latest progress of this tick, after the start of each scanner
    // that began within it (all but the last of those are otherwise lost).
    if (progress) {
        for (std::size_t i = 0; i + 1 < starts.size(); ++i)
            NotifyProgress(starts[i]);
        m_last = *progress;
        NotifyProgress(m_last);
    }
    if (finished) {
        m_timer.stop();
        if (m_worker.joinable())
            m_worker.join();
        const bool stopped = m_control && m_control->StopRequested();
        const std::string outcome = !exception.empty() ? "exception" : stopped ? "stopped" : "complete";
        m_store.EndScan(m_scanId, outcome);
        RecordLastScan();
        m_running = false;
        m_mailbox.reset();
        if (!m_completeSent) {
            m_completeSent = true;
            CDictionary values;
            values["scan_event"] = exception.empty() ? "complete" : "exception";
            values["status"] = outcome;
            if (!exception.empty())
                values["message"] = exception;
            values["scan_elements"] = static_cast<std::int64_t>(m_last.elements);
            values["threat_count"] = static_cast<std::int64_t>(m_packageOrder.size());
            Notify(values);
        }
        qInfo("scan %lld %s: %llu elements, %zu packages", m_scanId, outcome.c_str(),
              static_cast<unsigned long long>(m_last.elements), m_packageOrder.size());
    }
}

void ScannerService::NotifyProgress(const ScanProgress& progress)
{
    CDictionary values;
    values["scan_event"] = "progress";
    values["scan_item"] = progress.item;
    values["scan_scanner"] = progress.scanner;
    values["scan_total"] = progress.totalPercent;
    values["scan_percent"] = progress.scannerPercent;
    values["scan_elements"] = static_cast<std::int64_t>(progress.elements);
    Notify(values);
}

void ScannerService::RecordLastScan()
{
    const ConfigScope scope{kOptionsSection, {ConfigSource::System}, {}};
    const std::pair<const char*, std::string> values[] = {
        {"last_scan_time", std::to_string(static_cast<long long>(std::time(nullptr)))},
        {"last_scan_type", m_scanType},
    };
    for (const auto& [key, value] : values) {
        std::string error;
        if (m_context.config.Set(scope, key, value, &error) != ConfigStore::WriteResult::Changed)
            continue;
        CDictionary notice;
        notice["path"] = kOptionsSection;
        notice["cfg.source"] = "system";
        notice["name"] = key;
        notice["value"] = value;
        m_context.server.SendNotification(kConfigNotification, notice);
    }
}

ServiceAnswer ScannerService::Stop(const ServiceCall& call)
{
    const CStringValue& delay = call.request.GetValue("delay");
    if (call.request.HasValue("delay") && (delay.ToInteger() < 0 || delay.ToString().size() > 10))
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`delay` is a number of seconds");
    if (!m_running || !m_control)
        return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no scan is running");
    // The worker stops at its next file; the end is announced from the
    // mailbox like any other end.
    m_control->Stop();
    return ServiceAnswer{};
}

ServiceAnswer ScannerService::Pause(const ServiceCall&)
{
    if (!m_running || !m_control)
        return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no scan is running");
    m_control->Pause();
    return ServiceAnswer{};
}

ServiceAnswer ScannerService::Resume(const ServiceCall&)
{
    if (!m_running || !m_control)
        return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no scan is running");
    m_control->Resume();
    return ServiceAnswer{};
}

ServiceAnswer ScannerService::QueryStatus(const ServiceCall&)
{
    CDictionary row;
    row["scan_status"] = m_running ? "running" : "not_running";
    row["scan_type"] = m_running ? std::to_string(m_scanTypeNumber) : std::string();
    row["scan_type_name"] = m_running ? m_scanType : std::string();
    row["scan_initialized"] = m_running && m_initializedSent ? 1 : 0;
    row["scan_paused"] = m_running && m_control && m_control->Paused() ? 1 : 0;
    row["last_scan_elements"] = static_cast<std::int64_t>(m_last.elements);
    row["last_scan_total"] = m_last.totalPercent;
    row["last_scan_percent"] = m_last.scannerPercent;
    row["last_scan_item"] = m_last.item;
    row["last_scan_scanner"] = m_last.scanner;
    return ServiceAnswer::Row("status", row);
}

void ScannerService::ApplyNice()
{
    const int tid = m_workerTid.load();
    if (m_running && tid > 0 && ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), m_nice) != 0)
        qWarning("cannot set the scanner's nice level to %d", m_nice);
}

// With the control panel showing the scan it runs at normal priority;
// without a window to show it, in the background. Only the worker thread's
// nice level changes.
ServiceAnswer ScannerService::UpdatePriority(const ServiceCall& call)
{
    if (!call.request.HasValue("set_ui_mode"))
        return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`set_ui_mode` is 1 or 0");
    m_nice = call.request.GetValue("set_ui_mode").ToInteger() != 0 ? 0 : 10;
    ApplyNice();
    CDictionary row;
    const int tid = m_workerTid.load();
    errno = 0;
    const int actual = m_running && tid > 0 ? ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid)) : m_nice;
    row["nice"] = actual;
    return ServiceAnswer::Row("priority", row);
}

}  // namespace korvad
