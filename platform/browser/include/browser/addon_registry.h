// Where browser add-ons are registered, so the browser finds and loads them.
//
// An add-on is an in-process server (com_runtime.h) whose class is listed as
// a browser helper object:
//
//   HKLM\Software\Classes\CLSID\{clsid}                  default = class name
//   HKLM\Software\Classes\CLSID\{clsid}\InprocServer32   default = library path,
//                                                        ThreadingModel = "Both"
//   HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{clsid}
//
// (The class keys may live under HKCU\Software\Classes instead; the helper
// object list is read from HKLM and then HKCU, so a per-user installation
// works too.) The add-on's own registration writes its class keys; the
// installer writes the helper-object key. Every browser (window or tab)
// gets one object of every listed class, sited before its first navigation.
#pragma once

#include "browser/com.h"
#include "win/registry.h"

#include <string>
#include <vector>

namespace win {

// "Software\Classes\CLSID"
inline constexpr const char* kClassesClsidKey = "Software\\Classes\\CLSID";
// "Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects"
inline constexpr const char* kBrowserHelperObjectsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";

// "Software\Classes\CLSID\{clsid}"
std::string ClassKeyPath(REFCLSID clsid);

// Writes the class key of an in-process server under HIVE: the default
// value NAME, and InprocServer32 with MODULE_PATH and THREADING_MODEL.
LONG RegisterInprocServer(Hive hive, REFCLSID clsid, const std::string& name, const std::string& modulePath,
                          const std::string& threadingModel = "Both");
// Lists CLSID as a browser helper object under HIVE (what an installer does).
LONG RegisterBrowserHelperObject(Hive hive, REFCLSID clsid);
LONG UnregisterBrowserHelperObject(Hive hive, REFCLSID clsid);

// The helper objects listed in HKLM, then those listed only in HKCU, each
// in key order. Subkeys whose names are not class identifiers are skipped.
std::vector<CLSID> EnumerateBrowserHelperObjects();

}  // namespace win
