#include "config_accessor.h"

#include <cstring>

#include "korva_config_setting.h"
#include "servicelink/korva_constants.h"
#include "servicelink/msg_request.h"
#include "win/system_info.h"

namespace {

bool RowHasType(int setting, int type)
{
    return setting >= 0 && setting < CConfigSettingMap::Instance().Count() && g_ConfigSettings[setting].type == type;
}

// Reads SETTING; the value is the column named like the key.
bool Read(int setting, int type, CStringValue& value)
{
    if (!RowHasType(setting, type))
        return false;
    const ConfigSettingRow& row = g_ConfigSettings[setting];
    CMsgRequest request(0);
    request["path"] = row.section;
    request["name"] = row.key;
    if (row.user) {
        request["cfg.source"] = NKorvaConstants::CONFIG_SOURCE_USERSYSTEM;
        request["user.sid"] = win::GetCurrentUserSid();
    } else {
        request["cfg.source"] = NKorvaConstants::CONFIG_SOURCE_SYSTEM;
    }
    const CMsgResults results = request.Execute("korva.config.get_value");
    if (!results.Succeeded())
        return false;
    value = results.GetCursor()[row.key];
    return true;
}

bool Write(int setting, int type, const std::string& text, std::optional<unsigned> timeout = std::nullopt)
{
    if (!RowHasType(setting, type))
        return false;
    const ConfigSettingRow& row = g_ConfigSettings[setting];
    CMsgRequest request(0);
    request["path"] = row.section;
    request["name"] = row.key;
    request["value"] = text;
    if (row.user) {
        request["cfg.source"] = NKorvaConstants::CONFIG_SOURCE_USER;
        request["user.sid"] = win::GetCurrentUserSid();
    } else {
        request["cfg.source"] = NKorvaConstants::CONFIG_SOURCE_SYSTEM;
    }
    if (timeout)
        request["timeout"] = *timeout;
    return request.Execute("korva.config.set_value").GetErrorCode() == 0;
}

}  // namespace

bool CServiceConfigAccessor::ReadText(int setting, std::string& value)
{
    CStringValue v;
    if (!Read(setting, kConfigText, v))
        return false;
    value = v.ToString();
    return true;
}

bool CServiceConfigAccessor::ReadText(int setting, char* buffer, std::size_t& length)
{
    std::string text;
    if (!ReadText(setting, text))
        return false;
    if (buffer == nullptr) {
        length = text.size() + 1;
        return true;
    }
    if (length == 0)
        return false;
    const std::size_t n = std::min(text.size(), length - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return true;
}

bool CServiceConfigAccessor::ReadBool(int setting, bool& value)
{
    CStringValue v;
    if (!Read(setting, kConfigBool, v))
        return false;
    value = v.ToInteger() != 0;
    return true;
}

bool CServiceConfigAccessor::ReadInteger(int setting, int& value)
{
    CStringValue v;
    if (!Read(setting, kConfigInteger, v))
        return false;
    value = v.ToInteger();
    return true;
}

bool CServiceConfigAccessor::ReadTime(int setting, std::int64_t& value)
{
    CStringValue v;
    if (!Read(setting, kConfigTime, v))
        return false;
    value = v.ToInteger64();
    return true;
}

bool CServiceConfigAccessor::WriteText(int setting, const std::string& value)
{
    return Write(setting, kConfigText, value);
}

bool CServiceConfigAccessor::WriteBool(int setting, bool value, std::optional<unsigned> timeout)
{
    return Write(setting, kConfigBool, value ? "1" : "0", timeout);
}

bool CServiceConfigAccessor::WriteInteger(int setting, int value)
{
    return Write(setting, kConfigInteger, std::to_string(value));
}

bool CServiceConfigAccessor::WriteTime(int setting, std::int64_t value)
{
    return Write(setting, kConfigTime, std::to_string(value));
}

bool CServiceConfigAccessor::WriteInteger64(int setting, std::uint64_t value)
{
    return Write(setting, kConfigInteger64, std::to_string(value));
}
