// The scanner proper: runs one scan job on the calling thread (korvad runs
// it on a worker thread) and reports to an observer. It only reads: files,
// /proc, the registry stand-in, the cookie and hosts files. Nothing it
// finds is touched; the quarantine acts later on the recorded items.
//
// Walking never follows symbolic links (so there are no link loops), skips
// a folder reached twice (bind mounts), /proc, /sys and /dev, files it
// cannot open, and reads each file only up to the configured size.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "definitions.h"
#include "file_matcher.h"
#include "scan_settings.h"

namespace korvad {

// One thing the scan found, ready to be recorded as a quarantine item.
struct Finding {
    std::string packageCode;
    long long definitionId = 0;
    std::string itemClass;  // "file", "registry", "cookie", "hosts"
    std::string path;       // what the item is: a file path, key path, cookie or host
    std::string itemName;   // how it is shown
    std::string itemData;   // registry items: the XML form
    std::string targetInfo;
};

struct ScanProgress {
    std::string scanner;
    std::string item;
    std::uint64_t elements = 0;  // elements examined so far, all scanners
    int totalPercent = 0;
    int scannerPercent = 0;
};

class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    virtual void OnInitialized() = 0;
    virtual void OnProgress(const ScanProgress& progress) = 0;
    virtual void OnFinding(Finding finding) = 0;
};

// Stop and pause, shared between the worker and the thread answering
// requests.
class ScanControl {
public:
    void Stop();
    void Pause();
    void Resume();
    bool Paused() const;
    bool StopRequested() const { return m_stop.load(std::memory_order_relaxed); }
    // Waits while paused; false once a stop was asked.
    bool Checkpoint();

private:
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_paused = false;
};

struct ScanJob {
    std::vector<std::string> scanners;        // in the order they run
    std::vector<std::string> folders;         // walked with everything below
    std::vector<std::string> partialFolders;  // only the files directly inside
};

struct ScanTotals {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

class ScanEngine {
public:
    ScanEngine(std::shared_ptr<const Definitions> definitions, ScanSettings settings);

    // Runs JOB; returns when it is done or stopped.
    void Run(const ScanJob& job, ScanControl& control, ScanObserver& observer);

    // The file scanner alone (the benchmark's entry): walks FOLDERS and
    // matches every regular file; FOUND gets each hit.
    ScanTotals ScanFolders(const std::vector<std::string>& folders, const std::vector<std::string>& partialFolders,
                           ScanControl& control, const std::function<void(const std::string& path)>& onFile,
                           const std::function<void(Finding)>& found);

private:
    void RunFile(const ScanJob& job, ScanControl& control, ScanObserver& observer, int base, int span);
    void RunProcess(ScanControl& control, ScanObserver& observer, int base, int span);
    void RunRegistry(ScanControl& control, ScanObserver& observer, int base, int span);
    void RunCookie(ScanControl& control, ScanObserver& observer, int base, int span);
    void RunHosts(ScanControl& control, ScanObserver& observer, int base, int span);
    void Report(ScanObserver& observer, const std::string& scanner, const std::string& item, int base, int span,
                std::uint64_t done, std::uint64_t total);

    std::shared_ptr<const Definitions> m_definitions;
    ScanSettings m_settings;
    FileMatcher m_matcher;
    std::uint64_t m_elements = 0;
};

}  // namespace korvad
