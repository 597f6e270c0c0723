#include "browser/addon_registry.h"

#include <algorithm>

namespace win {

std::string ClassKeyPath(REFCLSID clsid)
{
    return std::string(kClassesClsidKey) + "\\" + GuidToString(clsid);
}

LONG RegisterInprocServer(Hive hive, REFCLSID clsid, const std::string& name, const std::string& modulePath,
                          const std::string& threadingModel)
{
    RegKey classKey;
    LONG result = RegKey::Create(hive, ClassKeyPath(clsid), classKey);
    if (result != ERROR_SUCCESS)
        return result;
    if ((result = classKey.SetString("", name)) != ERROR_SUCCESS)
        return result;
    RegKey server;
    if ((result = classKey.CreateSubKey("InprocServer32", server)) != ERROR_SUCCESS)
        return result;
    if ((result = server.SetString("", modulePath)) != ERROR_SUCCESS)
        return result;
    return server.SetString("ThreadingModel", threadingModel);
}

LONG RegisterBrowserHelperObject(Hive hive, REFCLSID clsid)
{
    RegKey key;
    return RegKey::Create(hive, std::string(kBrowserHelperObjectsKey) + "\\" + GuidToString(clsid), key);
}

LONG UnregisterBrowserHelperObject(Hive hive, REFCLSID clsid)
{
    RegKey list;
    LONG result = RegKey::Open(hive, kBrowserHelperObjectsKey, list);
    if (result != ERROR_SUCCESS)
        return result;
    return list.DeleteTree(GuidToString(clsid));
}

std::vector<CLSID> EnumerateBrowserHelperObjects()
{
    std::vector<CLSID> classes;
    for (Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
        RegKey list;
        if (RegKey::Open(hive, kBrowserHelperObjectsKey, list) != ERROR_SUCCESS)
            continue;
        std::vector<std::string> names;
        if (list.EnumSubKeys(names) != ERROR_SUCCESS)
            continue;
        for (const std::string& name : names) {
            CLSID clsid;
            if (!ParseGuid(name, clsid))
                continue;
            if (std::find(classes.begin(), classes.end(), clsid) == classes.end())
                classes.push_back(clsid);
        }
    }
    return classes;
}

}  // namespace win
