// Reads and writes the service's configuration store by section and key.
//
// The object has its own section and source; each call may name another.
// A null section or source means the object's own. A section that does not
// start with "korva." is relative: it is appended to the object's section
// with a dot ("system.options.enforcers" under "korva.applications.tavrel").
// Every call returns 0 on success or an error code of NKorvaConstants.
#pragma once

#include <string>

#include "servicelink/string_value.h"
#include "servicelink/value_accessor.h"

class CKorvaClient;

class CKorvaConfig {
public:
    CKorvaConfig(const char* section, const char* source, CKorvaClient* client = nullptr);

    int GetValue(const char* name, CStringValue& value, const char* section = nullptr,
                 const char* source = nullptr) const;
    // Every value of the section, in the service's order.
    int GetValues(CDictionary& values, const char* section = nullptr, const char* source = nullptr) const;
    int SetValue(const char* name, const CStringValue& value, const char* section = nullptr,
                 const char* source = nullptr) const;
    // Writes all VALUES to the section in one request.
    int SetValues(const CDictionary& values, const char* section = nullptr, const char* source = nullptr) const;

    // The full section name a call with SECTION addresses.
    std::string ResolveSection(const char* section) const;

private:
    std::string m_section;
    std::string m_source;
};
