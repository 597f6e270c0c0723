#include "servicelink/korva_client.h"

#include <algorithm>

#include "servicelink/korva_utilities.h"
#include "servicelink/msg_dispatcher.h"

CKorvaClient::CKorvaClient() = default;

CKorvaClient::~CKorvaClient() { TermCallbacks(); }

bool CKorvaClient::Initialize(unsigned /*flags*/)
{
    // The service must be there now; waiting for it is WaitForActiveServer's.
    const bool ok = CKorvaUtilities::WaitForActiveServer(0, 0, nullptr);
    std::lock_guard lock(m_mutex);
    m_initialized = ok;
    return ok;
}

bool CKorvaClient::IsInitialized() const
{
    std::lock_guard lock(m_mutex);
    return m_initialized;
}

bool CKorvaClient::RegisterCallback(std::string_view name)
{
    std::lock_guard lock(m_mutex);
    if (!m_initialized || name.empty())
        return false;
    if (!CMsgDispatcher::Instance().Subscribe(name))
        return false;
    m_names.emplace_back(name);
    return true;
}

bool CKorvaClient::UnregisterCallback(std::string_view name)
{
    std::lock_guard lock(m_mutex);
    const auto it = std::find(m_names.begin(), m_names.end(), name);
    if (it == m_names.end())
        return false;
    m_names.erase(it);
    return CMsgDispatcher::Instance().Unsubscribe(name);
}

void CKorvaClient::TermCallbacks()
{
    std::vector<std::string> names;
    {
        std::lock_guard lock(m_mutex);
        names.swap(m_names);
    }
    for (const std::string& name : names)
        CMsgDispatcher::Instance().Unsubscribe(name);
}
