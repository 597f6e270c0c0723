#include "servicelink/value_accessor.h"

namespace {
const CStringValue kEmpty;
}

bool CDictionary::HasValue(std::string_view name) const
{
    return m_index.find(std::string(name)) != m_index.end();
}

const CStringValue& CDictionary::GetValue(std::string_view name) const
{
    const auto it = m_index.find(std::string(name));
    return it == m_index.end() ? kEmpty : m_entries[it->second].second;
}

void CDictionary::SetValue(std::string_view name, CStringValue value)
{
    (*this)[name] = std::move(value);
}

CStringValue& CDictionary::operator[](std::string_view name)
{
    std::string key(name);
    const auto it = m_index.find(key);
    if (it != m_index.end())
        return m_entries[it->second].second;
    m_index.emplace(key, m_entries.size());
    m_entries.emplace_back(std::move(key), CStringValue());
    return m_entries.back().second;
}

bool CDictionary::RemoveValue(std::string_view name)
{
    const auto it = m_index.find(std::string(name));
    if (it == m_index.end())
        return false;
    const std::size_t removed = it->second;
    m_index.erase(it);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(removed));
    for (auto& [key, index] : m_index)
        if (index > removed)
            --index;
    return true;
}

void CDictionary::RemoveAll()
{
    m_entries.clear();
    m_index.clear();
}
