#include "startup_checks.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "servicelink/string_value.h"
#include "win/registry.h"
#include "win/system_info.h"

bool ParentProcessRefused()
{
    const win::DWORD parent = win::GetParentProcessId();
    if (parent == 0)
        return false;
    std::string path = win::GetProcessImagePath(parent);
    std::transform(path.begin(), path.end(), path.begin(), [](unsigned char c) { return std::tolower(c); });
    return path.find("nmctxth.exe") != std::string::npos;
}

bool IsZoneKeyName(const std::string& name)
{
    if (name.empty())
        return true;
    if (name.size() == 1 && std::isdigit(static_cast<unsigned char>(name[0])))
        return true;
    const int value = CStringValue(name).ToInteger();
    return value >= 1 && value <= 9;
}

void CleanSecurityZones()
{
    win::RegKey zones;
    if (win::RegKey::Open(win::Hive::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones",
                          zones) != win::ERROR_SUCCESS)
        return;
    std::vector<std::string> names;
    if (zones.EnumSubKeys(names) != win::ERROR_SUCCESS)
        return;
    for (const std::string& name : names)
        if (!IsZoneKeyName(name))
            zones.DeleteTree(name);
}
