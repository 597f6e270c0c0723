#include "scan_engine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "registry_items.h"
#include "text_stores.h"
#include "win/state_root.h"

namespace korvad {

void ScanControl::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
}

void ScanControl::Pause()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_paused = true;
}

void ScanControl::Resume()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_paused = false;
    }
    m_wake.notify_all();
}

bool ScanControl::Paused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_paused;
}

bool ScanControl::Checkpoint()
{
    if (m_stop.load(std::memory_order_relaxed))
        return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [this] { return !m_paused || m_stop.load(); });
    return !m_stop.load();
}

namespace {

constexpr int kMaxDepth = 256;

// Folders a walk never enters: kernel views whose "files" are not files.
bool IsPseudoFolder(const std::string& path)
{
    return path == "/proc" || path == "/sys" || path == "/dev" || path == "/run";
}

std::string Join(const std::string& folder, const char* name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// Walks folders without following links. FILE_FN gets (folder fd, name,
// full path, stat) for each regular file; it decides whether to open it.
class Walker {
public:
    using FileFn = std::function<void(int dirFd, const char* name, const std::string& path, const struct stat& st)>;

    Walker(ScanControl& control, FileFn fn) : m_control(control), m_fn(std::move(fn))
    {
        // The quarantine vault holds what was removed; scanning it would
        // find everything again.
        struct stat st {};
        const std::string vault = (win::StateFolderPath(win::StateFolder::Service) / "vault").string();
        if (::stat(vault.c_str(), &st) == 0)
            m_visited.insert({st.st_dev, st.st_ino});
    }

    void Walk(const std::string& root, bool recursive)
    {
        if (IsPseudoFolder(root))
            return;
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !m_visited.insert({st.st_dev, st.st_ino}).second) {
            ::close(fd);
            return;
        }
        WalkFolder(fd, root, 0, recursive);
    }

private:
    // Takes FD over.
    void WalkFolder(int fd, const std::string& path, int depth, bool recursive)
    {
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            return;
        }
        while (m_control.Checkpoint()) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (entry == nullptr)
                break;
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            unsigned char type = entry->d_type;
            struct stat st {};
            if (type == DT_UNKNOWN) {  // d_type is trusted otherwise: the open checks again
                if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
            }
            if (type == DT_REG) {
                m_fn(::dirfd(dir), name, Join(path, name), st);
            } else if (type == DT_DIR && recursive && depth < kMaxDepth) {
                const std::string sub = Join(path, name);
                if (IsPseudoFolder(sub))
                    continue;
                const int subFd = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (subFd < 0)
                    continue;
                if (::fstat(subFd, &st) != 0 || !m_visited.insert({st.st_dev, st.st_ino}).second) {
                    ::close(subFd);
                    continue;
                }
                WalkFolder(subFd, sub, depth + 1, recursive);
            }
        }
        ::closedir(dir);
    }

    ScanControl& m_control;
    FileFn m_fn;
    std::set<std::pair<dev_t, ino_t>> m_visited;
};

// One finding of definition item ITEM of package PACKAGE: PATH is what the
// item is, ITEMNAME how it is shown.
Finding MakeFinding(const std::string& package, long long item, const char* itemClass, std::string path,
                    std::string itemName, std::string targetInfo)
{
    Finding finding;
    finding.packageCode = package;
    finding.definitionId = item;
    finding.itemClass = itemClass;
    finding.path = std::move(path);
    finding.itemName = std::move(itemName);
    finding.targetInfo = std::move(targetInfo);
    return finding;
}

Finding FileFinding(const FileHit& hit, const std::string& path, const std::string& targetInfo)
{
    return MakeFinding(hit.package->code, hit.item->id, "file", path, path, targetInfo);
}

bool AllDigits(const char* text)
{
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text)
        if (*text < '0' || *text > '9')
            return false;
    return true;
}

}  // namespace

ScanEngine::ScanEngine(std::shared_ptr<const Definitions> definitions, ScanSettings settings)
    : m_definitions(std::move(definitions)),
      m_settings(std::move(settings)),
      m_matcher(*m_definitions, m_settings.maxFileBytes)
{
}

void ScanEngine::Report(ScanObserver& observer, const std::string& scanner, const std::string& item, int base,
                        int span, std::uint64_t done, std::uint64_t total)
{
    ScanProgress progress;
    progress.scanner = scanner;
    progress.item = item;
    progress.elements = m_elements;
    progress.scannerPercent = total == 0 ? 100 : static_cast<int>(std::min<std::uint64_t>(100, done * 100 / total));
    progress.totalPercent = std::min(100, base + span * progress.scannerPercent / 100);
    observer.OnProgress(progress);
    if (m_settings.throttleMicros > 0 && !item.empty())
        ::usleep(m_settings.throttleMicros);
}

void ScanEngine::Run(const ScanJob& job, ScanControl& control, ScanObserver& observer)
{
    m_elements = 0;
    observer.OnInitialized();
    // The file scanner usually does most of the work, so it gets most of
    // the total bar.
    const bool hasFile = std::find(job.scanners.begin(), job.scanners.end(), "file") != job.scanners.end();
    const int others = static_cast<int>(job.scanners.size()) - (hasFile ? 1 : 0);
    const int fileSpan = hasFile ? (others == 0 ? 100 : 70) : 0;
    const int otherSpan = others == 0 ? 0 : (100 - fileSpan) / others;
    int base = 0;
    for (const std::string& scanner : job.scanners) {
        if (!control.Checkpoint())
            return;
        const int span = scanner == "file" ? fileSpan : otherSpan;
        if (scanner == "file")
            RunFile(job, control, observer, base, span);
        else if (scanner == "process")
            RunProcess(control, observer, base, span);
        else if (scanner == "registry")
            RunRegistry(control, observer, base, span);
        else if (scanner == "cookie")
            RunCookie(control, observer, base, span);
        else if (scanner == "hosts")
            RunHosts(control, observer, base, span);
        else
            Report(observer, scanner, "", base, span, 1, 1);  // no such objects on this system
        base += span;
    }
    if (!control.StopRequested())
        Report(observer, job.scanners.empty() ? std::string() : job.scanners.back(), "", 100, 0, 1, 1);
}

ScanTotals ScanEngine::ScanFolders(const std::vector<std::string>& folders,
                                   const std::vector<std::string>& partialFolders, ScanControl& control,
                                   const std::function<void(const std::string& path)>& onFile,
                                   const std::function<void(Finding)>& found)
{
    ScanTotals totals;
    std::vector<std::uint8_t> buffer;
    std::vector<FileHit> hits;
    const bool needsContent = m_matcher.NeedsContent();
    Walker walker(control, [&](int dirFd, const char* name, const std::string& path, const struct stat&) {
        ++totals.files;
        ++m_elements;
        onFile(path);
        hits.clear();
        if (needsContent) {
            const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            if (fd < 0) {
                m_matcher.MatchName(name, hits);  // unreadable: the name still tells
            } else {
                struct stat st {};
                if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
                    totals.bytes += m_matcher.Match(fd, static_cast<std::uint64_t>(st.st_size), name, buffer, hits);
                ::close(fd);
            }
        } else {
            m_matcher.MatchName(name, hits);
        }
        for (const FileHit& hit : hits)
            found(FileFinding(hit, path, {}));
    });
    for (const std::string& folder : folders)
        walker.Walk(folder, /*recursive=*/true);
    for (const std::string& folder : partialFolders)
        walker.Walk(folder, /*recursive=*/false);
    return totals;
}

void ScanEngine::RunFile(const ScanJob& job, ScanControl& control, ScanObserver& observer, int base, int span)
{
    // Count first (names only, no reads), so the bars mean something.
    std::uint64_t total = 0;
    {
        Walker counter(control, [&](int, const char*, const std::string&, const struct stat&) { ++total; });
        for (const std::string& folder : job.folders)
            counter.Walk(folder, true);
        for (const std::string& folder : job.partialFolders)
            counter.Walk(folder, false);
    }
    std::uint64_t done = 0;
    Report(observer, "file", "", base, span, 0, total);
    ScanFolders(
        job.folders, job.partialFolders, control,
        [&](const std::string& path) { Report(observer, "file", path, base, span, done++, std::max(total, done)); },
        [&](Finding finding) { observer.OnFinding(std::move(finding)); });
}

void ScanEngine::RunProcess(ScanControl& control, ScanObserver& observer, int base, int span)
{
    std::vector<std::pair<std::string, std::string>> processes;  // pid, executable
    if (DIR* dir = ::opendir(m_settings.procRoot.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (AllDigits(entry->d_name))
                processes.emplace_back(entry->d_name, std::string());
        ::closedir(dir);
    }
    std::set<std::string> seen;
    std::vector<std::uint8_t> buffer;
    std::vector<FileHit> hits;
    std::uint64_t done = 0;
    for (auto& [pid, exe] : processes) {
        if (!control.Checkpoint())
            return;
        ++done;
        const std::string link = m_settings.procRoot + "/" + pid + "/exe";
        char target[4096];
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
        if (length <= 0)
            continue;  // a kernel thread, or not ours to look at
        exe.assign(target, static_cast<std::size_t>(length));
        if (!seen.insert(exe).second)
            continue;
        ++m_elements;
        Report(observer, "process", exe, base, span, done, processes.size());
        // Read through /proc, so even a deleted or replaced executable is
        // the one that runs.
        const int fd = ::open(link.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st {};
        hits.clear();
        const std::string name = exe.substr(exe.rfind('/') + 1);
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            m_matcher.Match(fd, static_cast<std::uint64_t>(st.st_size), name, buffer, hits);
        ::close(fd);
        for (const FileHit& hit : hits)
            observer.OnFinding(FileFinding(hit, exe, "process " + pid));
    }
}

void ScanEngine::RunRegistry(ScanControl& control, ScanObserver& observer, int base, int span)
{
    std::vector<std::pair<const Package*, const DefinitionItem*>> items;
    for (const Package& package : m_definitions->packages)
        for (const DefinitionItem& item : package.items)
            if (item.kind == MatchKind::RegistryKey || item.kind == MatchKind::RegistryValue)
                items.emplace_back(&package, &item);
    std::uint64_t done = 0;
    for (const auto& [package, item] : items) {
        if (!control.Checkpoint())
            return;
        ++m_elements;
        const bool isValue = item->kind == MatchKind::RegistryValue;
        const std::string name = RegistryItemName(item->hive, item->keyPath, isValue ? &item->valueName : nullptr);
        Report(observer, "registry", name, base, span, done++, items.size());
        std::string xml;
        const bool exists = isValue ? RegistryValueXml(item->hive, item->keyPath, item->valueName, xml)
                                    : RegistryKeyXml(item->hive, item->keyPath, xml);
        if (!exists)
            continue;
        Finding finding = MakeFinding(package->code, item->id, "registry", name, name, {});
        finding.itemData = xml;
        observer.OnFinding(std::move(finding));
    }
}

void ScanEngine::RunCookie(ScanControl& control, ScanObserver& observer, int base, int span)
{
    std::vector<std::string> lines;
    if (!ReadLines(m_settings.cookieFile, lines, /*missingOk=*/true, nullptr))
        return;
    std::uint64_t done = 0;
    for (const std::string& line : lines) {
        if (!control.Checkpoint())
            return;
        ++done;
        CookieLine cookie;
        if (!ParseCookieLine(line, cookie))
            continue;
        ++m_elements;
        const std::string name = CookieItemName(cookie);
        Report(observer, "cookie", name, base, span, done, lines.size());
        for (const Package& package : m_definitions->packages) {
            for (const DefinitionItem& item : package.items) {
                if (item.kind != MatchKind::Cookie || !DomainMatches(cookie.domain, item.text))
                    continue;
                observer.OnFinding(MakeFinding(package.code, item.id, "cookie", name, name, m_settings.cookieFile));
            }
        }
    }
}

void ScanEngine::RunHosts(ScanControl& control, ScanObserver& observer, int base, int span)
{
    std::vector<std::string> lines;
    if (!ReadLines(m_settings.hostsFile, lines, /*missingOk=*/true, nullptr))
        return;
    std::uint64_t done = 0;
    std::set<long long> reported;  // one item per definition: the quarantine removes every line of that host
    for (const std::string& line : lines) {
        if (!control.Checkpoint())
            return;
        ++done;
        ++m_elements;
        Report(observer, "hosts", line, base, span, done, lines.size());
        for (const std::string& host : HijackedHosts(line)) {
            for (const Package& package : m_definitions->packages) {
                for (const DefinitionItem& item : package.items) {
                    if (item.kind != MatchKind::Hosts || item.text != host || !reported.insert(item.id).second)
                        continue;
                    observer.OnFinding(MakeFinding(package.code, item.id, "hosts", host, line, m_settings.hostsFile));
                }
            }
        }
    }
}

}  // namespace korvad
