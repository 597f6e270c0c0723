// The add-on's identity and its class registration: the keys the browser
// reads to find the library by class id, the programmatic ids, and the type
// library record. Listing the class as a browser helper object is the
// installer's job (InstallAsBrowserHelper), not the server's.
#pragma once

#include <string>

#include "browser/com.h"

namespace browserguard {

inline constexpr win::CLSID CLSID_BrowserHelper = win::MakeGuid("5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B3");
inline constexpr win::GUID LIBID_TAVRELBHOLib = win::MakeGuid("5B7C2E31-91AD-4F3A-8C66-2D9E14A7F0B3");
inline constexpr win::IID IID_IBrowserHelper = win::MakeGuid("5B7C2E3F-91AD-4F3A-8C66-2D9E14A7F0B3");

inline constexpr const char* kProgId = "TavrelBHO.BrowserHelper.1";
inline constexpr const char* kVersionIndependentProgId = "TavrelBHO.BrowserHelper";
inline constexpr const char* kClassName = "BrowserHelper Class";
inline constexpr const char* kTypeLibraryName = "TavrelBHO 4.3 Type Library";

// Writes the class key (removed and made again), both programmatic ids and
// the type library record under HKLM\Software\Classes, naming MODULE_PATH as
// the in-process server. Answers a registry error code (0 on success).
long RegisterServer(const std::string& modulePath);
// Removes what RegisterServer wrote; the CLSID key itself stays.
long UnregisterServer();

// What an installer adds so the browser loads the object into every window.
long InstallAsBrowserHelper();
long UninstallAsBrowserHelper();

}  // namespace browserguard
