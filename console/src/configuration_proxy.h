// The cache through which pages edit settings and then apply or discard them
// as one batch.
//
// Each cached entry remembers whether it holds a change the service does not
// have (dirty). Apply writes only dirty entries; an entry whose write failed
// stays dirty and Apply reports the failure. Values that were only read are
// never written back. WriteNow writes at once and keeps the cache in step.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "config_accessor.h"
#include "servicelink/string_value.h"

struct CConfigurationValue {
    int setting = 0;
    int type = 0;
    CStringValue value;  // the text form
};

class CConfigurationProxy {
public:
    explicit CConfigurationProxy(IConfigAccessor& accessor) : m_accessor(accessor) {}

    bool GetText(int setting, std::string& value);
    bool GetBool(int setting, bool& value);
    bool GetInteger(int setting, int& value);

    void SetText(int setting, const std::string& value);
    void SetBool(int setting, bool value);
    void SetInteger(int setting, int value);

    // Writes every dirty entry; true when all writes succeeded.
    bool Apply();
    // Writes one setting at once (text form by its row type) and updates the
    // cache; false when the write failed (the cache is then unchanged).
    bool WriteNow(int setting, const std::string& text);

    bool IsApplied() const;
    bool IsDirty(int setting) const;
    bool IsCached(int setting) const;

private:
    struct Entry {
        CConfigurationValue value;
        bool dirty = false;
    };
    void Store(int setting, int type, const std::string& text, bool changed);
    bool WriteEntry(const CConfigurationValue& value);

    IConfigAccessor& m_accessor;
    mutable std::recursive_mutex m_mutex;
    bool m_applied = true;
    std::map<int, Entry> m_entries;
};
