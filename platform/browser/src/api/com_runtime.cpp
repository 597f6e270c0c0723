// Class objects: the ones registered in this process, then in-process
// servers from the registry, loaded once and kept for the process's life
// (an add-on's code may still be on a stack or referenced by a live object
// when the last of its objects goes, so it is never unloaded).

#include "browser/com_runtime.h"

#include "browser/addon_registry.h"
#include "browser/com_ptr.h"
#include "win/registry.h"

#include <dlfcn.h>

#include <QDebug>

#include <map>
#include <mutex>
#include <vector>

namespace win {
namespace {

struct Registration {
    DWORD cookie;
    CLSID clsid;
    CComPtr<IUnknown> factory;
};

struct Runtime {
    std::mutex mutex;
    std::vector<Registration> registered;  // newest last
    DWORD nextCookie = 1;
    std::map<std::string, void*> modules;  // path -> dlopen handle
};

Runtime& TheRuntime()
{
    static Runtime* runtime = new Runtime;  // never destroyed: objects may outlive static destruction
    return *runtime;
}

HRESULT LoadInprocServer(const std::string& path, PFN_DllGetClassObject& entry)
{
    Runtime& runtime = TheRuntime();
    void* handle = nullptr;
    {
        std::lock_guard lock(runtime.mutex);
        auto it = runtime.modules.find(path);
        if (it != runtime.modules.end())
            handle = it->second;
    }
    if (handle == nullptr) {
        // Outside the lock: the library's constructors may create objects.
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            qWarning("com: cannot load %s: %s", path.c_str(), ::dlerror());
            return CO_E_DLLNOTFOUND;
        }
        std::lock_guard lock(runtime.mutex);
        runtime.modules.emplace(path, handle);
    }
    entry = reinterpret_cast<PFN_DllGetClassObject>(::dlsym(handle, "DllGetClassObject"));
    if (entry == nullptr) {
        qWarning("com: %s has no DllGetClassObject", path.c_str());
        return CO_E_ERRORINDLL;
    }
    return S_OK;
}

}  // namespace

std::string FindInprocServer(REFCLSID clsid)
{
    std::string key = ClassKeyPath(clsid) + "\\InprocServer32";
    for (Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
        RegKey server;
        if (RegKey::Open(hive, key, server) != ERROR_SUCCESS)
            continue;
        std::string path;
        if (server.QueryString("", path, /*expand=*/true) == ERROR_SUCCESS && !path.empty())
            return path;
    }
    return {};
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    Runtime& runtime = TheRuntime();
    CComPtr<IUnknown> registered;
    {
        std::lock_guard lock(runtime.mutex);
        for (auto it = runtime.registered.rbegin(); it != runtime.registered.rend(); ++it) {
            if (it->clsid == clsid) {
                registered = it->factory;
                break;
            }
        }
    }
    if (registered)
        return registered->QueryInterface(riid, ppv);
    if ((context & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    std::string path = FindInprocServer(clsid);
    if (path.empty())
        return REGDB_E_CLASSNOTREG;
    PFN_DllGetClassObject entry = nullptr;
    HRESULT hr = LoadInprocServer(path, entry);
    if (FAILED(hr))
        return hr;
    hr = entry(clsid, riid, ppv);
    if (FAILED(hr) || *ppv == nullptr) {
        *ppv = nullptr;
        return FAILED(hr) ? hr : E_UNEXPECTED;
    }
    return hr;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    CComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    if (FAILED(hr))
        *ppv = nullptr;
    return hr;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD, DWORD, DWORD* cookie)
{
    if (factory == nullptr || cookie == nullptr)
        return E_INVALIDARG;
    Runtime& runtime = TheRuntime();
    std::lock_guard lock(runtime.mutex);
    Registration registration{runtime.nextCookie++, clsid, CComPtr<IUnknown>(factory)};
    *cookie = registration.cookie;
    runtime.registered.push_back(std::move(registration));
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie)
{
    Runtime& runtime = TheRuntime();
    CComPtr<IUnknown> released;
    std::lock_guard lock(runtime.mutex);
    for (auto it = runtime.registered.begin(); it != runtime.registered.end(); ++it) {
        if (it->cookie == cookie) {
            released = std::move(it->factory);
            runtime.registered.erase(it);
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

std::string ModulePathOf(const void* address)
{
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return {};
    return info.dli_fname;
}

}  // namespace win
