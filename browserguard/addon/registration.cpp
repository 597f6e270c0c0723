#include "browserguard/registration.h"

#include "browser/addon_registry.h"
#include "win/registry.h"

namespace browserguard {
namespace {

constexpr const char* kClasses = "Software\\Classes";

long WriteProgId(const std::string& name, const std::string& curVer) {
  win::RegKey key;
  long result = win::RegKey::Create(win::Hive::LocalMachine, std::string(kClasses) + "\\" + name, key);
  if (result != win::ERROR_SUCCESS) return result;
  if ((result = key.SetString("", kClassName)) != win::ERROR_SUCCESS) return result;
  win::RegKey sub;
  if ((result = key.CreateSubKey("CLSID", sub)) != win::ERROR_SUCCESS) return result;
  if ((result = sub.SetString("", win::GuidToString(CLSID_BrowserHelper))) != win::ERROR_SUCCESS) return result;
  if (curVer.empty()) return win::ERROR_SUCCESS;
  win::RegKey current;
  if ((result = key.CreateSubKey("CurVer", current)) != win::ERROR_SUCCESS) return result;
  return current.SetString("", curVer);
}

long DeleteBelowClasses(const std::string& name) {
  win::RegKey classes;
  if (win::RegKey::Open(win::Hive::LocalMachine, kClasses, classes) != win::ERROR_SUCCESS)
    return win::ERROR_SUCCESS;
  const long result = classes.DeleteTree(name);
  return result == win::ERROR_FILE_NOT_FOUND ? win::ERROR_SUCCESS : result;
}

}  // namespace

long RegisterServer(const std::string& modulePath) {
  const std::string clsid = win::GuidToString(CLSID_BrowserHelper);
  const std::string libid = win::GuidToString(LIBID_TAVRELBHOLib);
  long result = DeleteBelowClasses("CLSID\\" + clsid);
  if (result != win::ERROR_SUCCESS) return result;
  result = win::RegisterInprocServer(win::Hive::LocalMachine, CLSID_BrowserHelper, kClassName, modulePath, "Both");
  if (result != win::ERROR_SUCCESS) return result;
  win::RegKey classKey;
  if ((result = win::RegKey::Open(win::Hive::LocalMachine, win::ClassKeyPath(CLSID_BrowserHelper), classKey)) !=
      win::ERROR_SUCCESS)
    return result;
  const struct {
    const char* sub;
    std::string value;
  } subKeys[] = {
      {"ProgID", kProgId},
      {"VersionIndependentProgID", kVersionIndependentProgId},
      {"Programmable", {}},
      {"TypeLib", libid},
  };
  for (const auto& entry : subKeys) {
    win::RegKey sub;
    if ((result = classKey.CreateSubKey(entry.sub, sub)) != win::ERROR_SUCCESS) return result;
    if (!entry.value.empty() && (result = sub.SetString("", entry.value)) != win::ERROR_SUCCESS) return result;
  }
  if ((result = WriteProgId(kProgId, {})) != win::ERROR_SUCCESS) return result;
  if ((result = WriteProgId(kVersionIndependentProgId, kProgId)) != win::ERROR_SUCCESS) return result;
  // The type library record: its name and where it lives (the module itself).
  win::RegKey typeLib;
  if ((result = win::RegKey::Create(win::Hive::LocalMachine,
                                    std::string(kClasses) + "\\TypeLib\\" + libid + "\\1.0", typeLib)) !=
      win::ERROR_SUCCESS)
    return result;
  if ((result = typeLib.SetString("", kTypeLibraryName)) != win::ERROR_SUCCESS) return result;
  win::RegKey location;
  if ((result = typeLib.CreateSubKey("0\\linux64", location)) != win::ERROR_SUCCESS) return result;
  return location.SetString("", modulePath);
}

long UnregisterServer() {
  for (const std::string& name :
       {"CLSID\\" + win::GuidToString(CLSID_BrowserHelper), std::string(kProgId), std::string(kVersionIndependentProgId),
        "TypeLib\\" + win::GuidToString(LIBID_TAVRELBHOLib)}) {
    const long result = DeleteBelowClasses(name);
    if (result != win::ERROR_SUCCESS) return result;
  }
  return win::ERROR_SUCCESS;
}

long InstallAsBrowserHelper() {
  return win::RegisterBrowserHelperObject(win::Hive::LocalMachine, CLSID_BrowserHelper);
}

long UninstallAsBrowserHelper() {
  const long result = win::UnregisterBrowserHelperObject(win::Hive::LocalMachine, CLSID_BrowserHelper);
  return result == win::ERROR_FILE_NOT_FOUND ? win::ERROR_SUCCESS : result;
}

}  // namespace browserguard
