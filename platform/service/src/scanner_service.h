// The scanner as the bus sees it: starts a scan on a worker thread, answers
// pause, resume, stop and status, and turns what the worker reports into
// "korva.scanner.client_notify" notifications and quarantine records.
//
// The worker never touches the database or the bus. It leaves its reports
// in a small locked mailbox; a 50 ms timer on the main thread drains it, so
// progress reaches clients at most 20 times a second (plus one report for
// each scanner that started and ended within a tick), threats of one
// package within one tick travel as one notification with their count, and
// the end of a scan is announced exactly once, after everything it found.
#pragma once

#include <QTimer>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bus/bus_server.h"
#include "definitions.h"
#include "request_handlers.h"
#include "scan_engine.h"
#include "scan_settings.h"

namespace korvad {

class QuarantineStore;

class ScannerService {
public:
    ScannerService(ServiceContext& context, QuarantineStore& store, std::shared_ptr<const Definitions> definitions,
                   ScanSettings settings);
    ~ScannerService();
    ScannerService(const ScannerService&) = delete;
    ScannerService& operator=(const ScannerService&) = delete;

    bus::ServiceAnswer Start(const bus::ServiceCall& call);
    bus::ServiceAnswer Stop(const bus::ServiceCall& call);
    bus::ServiceAnswer Pause(const bus::ServiceCall& call);
    bus::ServiceAnswer Resume(const bus::ServiceCall& call);
    bus::ServiceAnswer QueryStatus(const bus::ServiceCall& call);
    bus::ServiceAnswer UpdatePriority(const bus::ServiceCall& call);

    bool Running() const { return m_running; }

private:
    struct Mailbox;
    class Observer;

    void Drain();
    void Finish();
    void Notify(CDictionary values);
    void NotifyProgress(const ScanProgress& progress);
    void ApplyNice();
    void RecordLastScan();

    ServiceContext& m_context;
    QuarantineStore& m_store;
    std::shared_ptr<const Definitions> m_definitions;
    ScanSettings m_settings;

    QTimer m_timer;
    std::shared_ptr<Mailbox> m_mailbox;
    std::unique_ptr<ScanControl> m_control;
    std::unique_ptr<Observer> m_observer;
    std::thread m_worker;
    std::atomic<int> m_workerTid{0};
    int m_nice = 0;

    bool m_running = false;
    bool m_initializedSent = false;
    bool m_completeSent = false;
    long long m_scanId = -1;
    int m_scanTypeNumber = 0;
    std::string m_scanType;
    ScanProgress m_last;
    std::vector<std::string> m_packageOrder;  // packages reported this scan, first-seen order
};

}  // namespace korvad
