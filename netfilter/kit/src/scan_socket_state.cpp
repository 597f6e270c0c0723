#include "kit/scan_socket_state.h"

#include <new>

void CStreamGroupDetection::Reset()
{
    m_groups.clear();
}

CStreamGroupDetection::GroupProgress* CStreamGroupDetection::Find(std::uint32_t id)
{
    for (GroupProgress& group : m_groups) {
        if (group.id == id)
            return &group;
    }
    return nullptr;
}

CStreamGroupDetection::GroupProgress& CStreamGroupDetection::Add(std::uint32_t id, bool ordered,
                                                                std::uint32_t expected)
{
    GroupProgress group;
    group.id = id;
    group.ordered = ordered;
    group.expected = expected;
    m_groups.push_back(group);
    return m_groups.back();
}

void CScanSocketState::Reset()
{
    CStreamGroupDetection::Reset();
    requestUrl[0] = '\0';
    firstBufferDone = false;
    classification = 0;
    noScan = false;
    rawCarry.Clear();
    inflatedCarry.Clear();
    normalisedCarry.Clear();
    inflater.reset();
    deflateOffset = 0;
    if (normaliser)
        normaliser->Reset();
    if (inflatedStore)
        inflatedStore->Reset();
    if (normalisedStore)
        normalisedStore->Reset();
    sendCopy.clear();
}

namespace nfkit {

CScanSocketState* ScanSocketList::FindOrCreate(KelmSocket socket)
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_states.find(socket);
    if (it != m_states.end())
        return it->second.get();
    try {
        auto state = std::make_unique<CScanSocketState>(socket);
        CScanSocketState* raw = state.get();
        m_states.emplace(socket, std::move(state));
        return raw;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void ScanSocketList::Remove(KelmSocket socket)
{
    std::unique_ptr<CScanSocketState> doomed;
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_states.find(socket);
    if (it == m_states.end())
        return;
    doomed = std::move(it->second);
    m_states.erase(it);
}

void ScanSocketList::Clear()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_states.clear();
}

std::size_t ScanSocketList::Size() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_states.size();
}

}  // namespace nfkit
