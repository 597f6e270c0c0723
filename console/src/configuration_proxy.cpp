#include "configuration_proxy.h"

#include "korva_config_setting.h"

bool CConfigurationProxy::GetText(int setting, std::string& value)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(setting);
    if (it != m_entries.end()) {
        value = it->second.value.value.ToString();
        return true;
    }
    if (!m_accessor.ReadText(setting, value))
        return false;
    m_entries[setting] = Entry{CConfigurationValue{setting, kConfigText, CStringValue(value)}, false};
    return true;
}

bool CConfigurationProxy::GetBool(int setting, bool& value)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(setting);
    if (it != m_entries.end()) {
        value = it->second.value.value.ToInteger() != 0;
        return true;
    }
    if (!m_accessor.ReadBool(setting, value))
        return false;
    m_entries[setting] = Entry{CConfigurationValue{setting, kConfigBool, CStringValue(value ? "1" : "0")}, false};
    return true;
}

bool CConfigurationProxy::GetInteger(int setting, int& value)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(setting);
    if (it != m_entries.end()) {
        value = it->second.value.value.ToInteger();
        return true;
    }
    if (!m_accessor.ReadInteger(setting, value))
        return false;
    m_entries[setting] = Entry{CConfigurationValue{setting, kConfigInteger, CStringValue(value)}, false};
    return true;
}

// A set on a setting not yet cached counts as a change even when the value
// equals the service's: nothing is known about the service's value here.
void CConfigurationProxy::Store(int setting, int type, const std::string& text, bool changed)
{
    auto it = m_entries.find(setting);
    if (it == m_entries.end()) {
        m_entries[setting] = Entry{CConfigurationValue{setting, type, CStringValue(text)}, true};
        m_applied = false;
        return;
    }
    if (changed) {
        it->second.value.value = text;
        it->second.dirty = true;
        m_applied = false;
    }
}

void CConfigurationProxy::SetText(int setting, const std::string& value)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(setting);
    Store(setting, kConfigText, value, it != m_entries.end() && it->second.value.value.ToString() != value);
}

void CConfigurationProxy::SetBool(int setting, bool value)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(setting);
    const bool changed = it != m_entries.end() && (it->second.value.value.ToInteger() != 0) != value;
    Store(setting, kConfigBool, value ? "1" : "0", changed);
}

void CConfigurationProxy::SetInteger(int setting, int value)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(setting);
    const bool changed = it != m_entries.end() && it->second.value.value.ToInteger() != value;
    Store(setting, kConfigInteger, std::to_string(value), changed);
}

bool CConfigurationProxy::WriteEntry(const CConfigurationValue& v)
{
    switch (v.type) {
    case kConfigText:
        return m_accessor.WriteText(v.setting, v.value.ToString());
    case kConfigBool:
        return m_accessor.WriteBool(v.setting, v.value.ToInteger() != 0);
    case kConfigInteger:
        return m_accessor.WriteInteger(v.setting, v.value.ToInteger());
    case kConfigTime:
        return m_accessor.WriteTime(v.setting, v.value.ToInteger64());
    case kConfigInteger64:
        return m_accessor.WriteInteger64(v.setting, v.value.ToUInteger64());
    }
    return false;
}

bool CConfigurationProxy::Apply()
{
    std::lock_guard lock(m_mutex);
    if (m_applied)
        return true;
    bool allWritten = true;
    for (auto& [setting, entry] : m_entries) {
        if (!entry.dirty)
            continue;
        if (WriteEntry(entry.value))
            entry.dirty = false;
        else
            allWritten = false;
    }
    m_applied = allWritten;
    return allWritten;
}

bool CConfigurationProxy::WriteNow(int setting, const std::string& text)
{
    std::lock_guard lock(m_mutex);
    if (setting < 0 || setting >= KCS_COUNT)
        return false;
    const CConfigurationValue value{setting, g_ConfigSettings[setting].type, CStringValue(text)};
    if (!WriteEntry(value))
        return false;
    auto it = m_entries.find(setting);
    if (it != m_entries.end()) {
        it->second.value.value = text;
        it->second.dirty = false;
    }
    return true;
}

bool CConfigurationProxy::IsApplied() const
{
    std::lock_guard lock(m_mutex);
    return m_applied;
}

bool CConfigurationProxy::IsDirty(int setting) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_entries.find(setting);
    return it != m_entries.end() && it->second.dirty;
}

bool CConfigurationProxy::IsCached(int setting) const
{
    std::lock_guard lock(m_mutex);
    return m_entries.count(setting) != 0;
}
