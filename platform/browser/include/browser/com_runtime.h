// Creating objects by class identifier, as CoCreateInstance does.
//
// A class comes from one of two places, looked up in this order:
//   1. a class object registered in this process with CoRegisterClassObject
//      (the browser registers CLSID_InternetExplorer this way, so an add-on
//      creates a new browser window with CoCreateInstance);
//   2. an in-process server in the registry: the default value of
//      "Software\Classes\CLSID\{clsid}\InprocServer32" in HKCU, else in
//      HKLM (the per-user registration wins, as the merged class root of
//      Windows has it), naming a shared library that exports
//          extern "C" HRESULT DllGetClassObject(REFCLSID, REFIID, void**);
//      The library is loaded once (dlopen) and stays loaded for the life of
//      the process.
// Failures answer an HRESULT and are never thrown: REGDB_E_CLASSNOTREG (no
// such class), CO_E_DLLNOTFOUND (the library does not load),
// CO_E_ERRORINDLL (it has no DllGetClassObject), or the library's own
// answer. The registry is trusted: it is written by installers and the user.
#pragma once

#include "browser/com.h"

#include <string>

namespace win {

// The exports of an in-process server (a shared library).
using PFN_DllGetClassObject = HRESULT (*)(REFCLSID clsid, REFIID riid, void** ppv);
using PFN_DllCanUnloadNow = HRESULT (*)();
using PFN_DllRegisterServer = HRESULT (*)();

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID riid, void** ppv);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);

// Registers FACTORY for CLSID in this process (holding a reference) and sets
// *COOKIE; CoRevokeClassObject(cookie) takes it back. A second registration
// of the same class hides the first until it is revoked.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie);
HRESULT CoRevokeClassObject(DWORD cookie);

// The shared library registered for CLSID (expanded), or empty when none.
std::string FindInprocServer(REFCLSID clsid);

// The path of the shared library or program that contains ADDRESS (a
// function or object of that module): what an in-process server writes as
// its InprocServer32 value. Empty when unknown.
std::string ModulePathOf(const void* address);

}  // namespace win
