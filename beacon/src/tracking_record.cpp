#include "tracking_record.h"

namespace beacon {

TrackingRecord::TrackingRecord()
{
    m_open = win::RegKey::Create(win::Hive::LocalMachine, kTrackingKey, m_key, nullptr) == win::ERROR_SUCCESS;
}

bool TrackingRecord::IsReported(const TrackPoint& point) const
{
    win::DWORD value = 0;
    if (!m_open || m_key.QueryDword(point.registryValue, value) != win::ERROR_SUCCESS)
        return false;
    return value != 0;
}

void TrackingRecord::Record(const TrackPoint& point, bool reported)
{
    if (m_open)
        m_key.SetDword(point.registryValue, reported ? 1 : 0);
}

std::string TrackingRecord::DefaultServer() const
{
    std::string server;
    if (m_open && m_key.QueryString(kServerValue, server) == win::ERROR_SUCCESS && !server.empty())
        return server;
    return kBuiltInServer;
}

std::uint32_t TrackingRecord::TimeoutSeconds() const
{
    win::DWORD seconds = 0;
    if (m_open && m_key.QueryDword(kTimeoutValue, seconds) == win::ERROR_SUCCESS)
        return seconds;
    return kDefaultTimeoutSeconds;
}

}  // namespace beacon
