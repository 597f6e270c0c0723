#include "servicelink/msg_provider.h"

bool CMsgProvider::OnNotify(CMsgRequest& /*request*/) { return false; }

void CMsgProvider::AddProvider(std::string fullName, Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_map.push_back(Entry{std::move(fullName), std::move(handler), nullptr});
}

void CMsgProvider::AddProvider(std::string fullName, std::shared_ptr<CMsgProvider> handler)
{
    std::lock_guard lock(m_mutex);
    m_map.push_back(Entry{std::move(fullName), nullptr, std::move(handler)});
}

bool CMsgProvider::Dispatch(std::string_view fullName, CMsgRequest& request)
{
    Handler handler;
    std::shared_ptr<CMsgProvider> aggregate;
    {
        std::lock_guard lock(m_mutex);
        for (const Entry& entry : m_map) {
            if (entry.fullName == fullName) {
                handler = entry.handler;
                aggregate = entry.aggregate;
                break;
            }
        }
    }
    // Handlers run outside the map's lock so one may add entries.
    if (handler)
        return handler(request);
    if (aggregate)
        return aggregate->OnNotify(request);
    return false;
}

bool CMsgProvider::Handles(std::string_view fullName) const
{
    std::lock_guard lock(m_mutex);
    for (const Entry& entry : m_map)
        if (entry.fullName == fullName)
            return true;
    return false;
}

std::vector<std::string> CMsgProvider::GetNotificationNames() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> names;
    for (const Entry& entry : m_map) {
        const auto colon = entry.fullName.find(':');
        names.push_back(colon == std::string::npos ? entry.fullName : entry.fullName.substr(colon + 1));
    }
    return names;
}
