#include "servicelink/korva_config.h"

#include <cstring>

#include "servicelink/korva_constants.h"
#include "servicelink/msg_request.h"

using namespace NKorvaConstants;

namespace {

bool IsAbsoluteSection(const char* section) { return std::strncmp(section, "korva.", 6) == 0; }

}  // namespace

CKorvaConfig::CKorvaConfig(const char* section, const char* source, CKorvaClient* /*client*/)
    : m_section(section != nullptr ? section : ""), m_source(source != nullptr ? source : "")
{
}

std::string CKorvaConfig::ResolveSection(const char* section) const
{
    if (section == nullptr || *section == '\0')
        return m_section;
    if (IsAbsoluteSection(section) || m_section.empty())
        return section;
    return m_section + "." + section;
}

int CKorvaConfig::GetValue(const char* name, CStringValue& value, const char* section, const char* source) const
{
    if (name == nullptr || *name == '\0')
        return KORVA_E_INVALID_ARGUMENTS;
    CMsgRequest request(0);
    request["path"] = ResolveSection(section);
    request["name"] = name;
    const std::string src = source != nullptr ? source : m_source;
    if (!src.empty())
        request["cfg.source"] = src;
    const CMsgResults results = request.Execute("korva.config.get_value");
    if (results.Failed())
        return results.GetErrorCode();
    CMsgCursor cursor = results.GetCursor();
    value = cursor.HasValue(name) ? cursor[name] : cursor["value"];
    return KORVA_OK;
}

int CKorvaConfig::GetValues(CDictionary& values, const char* section, const char* source) const
{
    CMsgRequest request(0);
    request["path"] = ResolveSection(section);
    const std::string src = source != nullptr ? source : m_source;
    if (!src.empty())
        request["cfg.source"] = src;
    const CMsgResults results = request.Execute("korva.config.get_values");
    if (results.Failed())
        return results.GetErrorCode();
    results.GetCursor().GetRowData(values);
    return KORVA_OK;
}

int CKorvaConfig::SetValue(const char* name, const CStringValue& value, const char* section,
                           const char* source) const
{
    if (name == nullptr || *name == '\0')
        return KORVA_E_INVALID_ARGUMENTS;
    CMsgRequest request(0);
    request["path"] = ResolveSection(section);
    request["name"] = name;
    request["value"] = value;
    const std::string src = source != nullptr ? source : m_source;
    if (!src.empty())
        request["cfg.source"] = src;
    return request.Execute("korva.config.set_value").GetErrorCode();
}

int CKorvaConfig::SetValues(const CDictionary& values, const char* section, const char* source) const
{
    CMsgRequest request(0);
    request["path"] = ResolveSection(section);
    const std::string src = source != nullptr ? source : m_source;
    if (!src.empty())
        request["cfg.source"] = src;
    CMsgRowSet row("values");
    row.AddRow(values);
    request.SetExParams(std::move(row));
    return request.Execute("korva.config.set_values").GetErrorCode();
}
