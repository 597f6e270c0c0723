// Which milestones were reported: one DWORD per track point under
// HKLM\Software\KLMS\Tavrel\Tracking (1 reported, 0 last attempt failed,
// missing never tried), plus the beacon's own settings beside them.
#pragma once

#include <cstdint>
#include <string>

#include "tracking_address.h"
#include "win/registry.h"

namespace beacon {

inline constexpr const char* kTrackingKey = "Software\\KLMS\\Tavrel\\Tracking";
// Settings read from the tracking key: the server used when no "qvsite:" is
// given, and how long a load may take before it is recorded as failed.
inline constexpr const char* kServerValue = "server";
inline constexpr const char* kTimeoutValue = "timeout_seconds";
inline constexpr const char* kBuiltInServer = "http://tracking.tavrel.example";
inline constexpr std::uint32_t kDefaultTimeoutSeconds = 60;

class TrackingRecord {
public:
    // Opens the tracking key, creating it when missing. When that fails every
    // track point reads as not reported and nothing is written.
    TrackingRecord();

    bool isOpen() const { return m_open; }
    bool IsReported(const TrackPoint& point) const;
    void Record(const TrackPoint& point, bool reported);

    std::string DefaultServer() const;
    std::uint32_t TimeoutSeconds() const;

private:
    win::RegKey m_key;
    bool m_open = false;
};

}  // namespace beacon
