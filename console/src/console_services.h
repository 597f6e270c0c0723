// The service requests the main window makes, behind one small interface so
// the window's logic can be tested with a recording fake. CBusConsoleServices
// sends them over the bus.
#pragma once

#include <string>
#include <utility>
#include <vector>

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
};

class CBusConsoleServices : public IConsoleServices {
public:
    bool IsScanRunning() override;
    int DetectedItemCount() override;
    void Send(const std::string& name, const NamedValues& values = {}) override;
    int ExternalInteger(const std::string& name, int fallback) override;
};
