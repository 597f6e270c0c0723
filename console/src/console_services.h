// The service requests the main window makes, behind one small interface so
// the window's logic can be tested with a recording fake. CBusConsoleServices
// sends them over the bus.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "servicelink/msg_results.h"

using NamedValues = std::vector<std::pair<std::string, std::string>>;

class IConsoleServices {
public:
    virtual ~IConsoleServices() = default;
    // "korva.scanner.query_status": true when `scan_status` is "running"; a
    // failed request reads as not running.
    virtual bool IsScanRunning() = 0;
    // "korva.quarantine.v2_query_detected_items_count"; 0 when it fails.
    virtual int DetectedItemCount() = 0;
    // Sends NAME with VALUES; the answer is not examined.
    virtual void Send(const std::string& name, const NamedValues& values = {}) = 0;
    // An integer of the external settings section (source system); FALLBACK
    // when it is absent or unreadable.
    virtual int ExternalInteger(const std::string& name, int fallback) = 0;

    // The requests of the scan pages and the item actions. The defaults
    // answer as a service that is not there would (failed, not active), so a
    // stand-in needs only what its test uses.
    // Sends NAME with VALUES and waits for the answer.
    virtual CMsgResults Query(const std::string& name, const NamedValues& values = {});
    // Sends NAME with VALUES without waiting for an answer.
    virtual void Post(const std::string& name, const NamedValues& values = {}) { Send(name, values); }
    // True while the service reports an update in progress.
    virtual bool IsUpdaterActive() { return false; }
};

class CBusConsoleServices : public IConsoleServices {
public:
    bool IsScanRunning() override;
    int DetectedItemCount() override;
    void Send(const std::string& name, const NamedValues& values = {}) override;
    int ExternalInteger(const std::string& name, int fallback) override;
    CMsgResults Query(const std::string& name, const NamedValues& values = {}) override;
    void Post(const std::string& name, const NamedValues& values = {}) override;
    bool IsUpdaterActive() override;
};
