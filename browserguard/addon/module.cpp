// The library's entry points: the class factory the browser asks for the
// add-on object, registration, and what happens when the library is loaded
// and unloaded.
#include <QCoreApplication>
#include <QString>
#include <atomic>
#include <filesystem>

#include "addon_state.h"
#include "browser/com_object.h"
#include "browser/com_ptr.h"
#include "browser/com_runtime.h"
#include "browser_helper.h"
#include "browserguard/click_monitor.h"
#include "browserguard/registration.h"

#define QV_EXPORT extern "C" __attribute__((visibility("default")))

namespace browserguard {
namespace {

std::atomic<long> g_serverLocks{0};

// The library refuses to live in the desktop shell's process.
bool HostRefused() {
  static const bool refused = [] {
    std::error_code ec;
    const std::string host = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    return QString::fromStdString(host).toLower().contains(QLatin1String("explorer.exe"));
  }();
  return refused;
}

class CBrowserHelperFactory final : public win::CComObjectImpl<win::IClassFactory> {
 public:
  win::HRESULT CreateInstance(win::IUnknown* outer, win::REFIID riid, void** ppv) override {
    if (ppv == nullptr) return win::E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return win::CLASS_E_NOAGGREGATION;
    win::CComPtr<win::IUnknown> object;
    object.Attach(static_cast<win::IObjectWithSite*>(new CBrowserHelper()));
    return object->QueryInterface(riid, ppv);
  }
  win::HRESULT LockServer(win::BOOL lock) override {
    if (lock) ++g_serverLocks;
    else --g_serverLocks;
    return win::S_OK;
  }
};

__attribute__((destructor)) void OnUnload() {
  // At process exit the host's objects are gone already: the hooks and
  // interceptions go with the process, and releasing what the tables hold
  // would touch freed objects. Only an unload while the host lives cleans up.
  if (QCoreApplication::instance() == nullptr) return;
  ClickMonitor::Process().SetJudge(nullptr);
  ClickMonitor::Process().DetachAll();
  RemoveInterceptions();
}

}  // namespace
}  // namespace browserguard

using namespace browserguard;

QV_EXPORT win::HRESULT DllGetClassObject(win::REFCLSID clsid, win::REFIID riid, void** ppv) {
  if (ppv == nullptr) return win::E_POINTER;
  *ppv = nullptr;
  if (HostRefused()) return win::CO_E_ERRORINDLL;
  if (clsid != CLSID_BrowserHelper) return win::CLASS_E_CLASSNOTAVAILABLE;
  win::CComPtr<win::IClassFactory> factory;
  factory.Attach(new CBrowserHelperFactory());
  return factory->QueryInterface(riid, ppv);
}

QV_EXPORT win::HRESULT DllCanUnloadNow() {
  return CBrowserHelper::LiveCount() == 0 && g_serverLocks == 0 ? win::S_OK : win::S_FALSE;
}

QV_EXPORT win::HRESULT DllRegisterServer() {
  if (HostRefused()) return win::CO_E_ERRORINDLL;
  const std::string path = win::ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
  if (path.empty()) return win::E_UNEXPECTED;
  return RegisterServer(path) == 0 ? win::S_OK : win::E_FAIL;
}

QV_EXPORT win::HRESULT DllUnregisterServer() {
  if (HostRefused()) return win::CO_E_ERRORINDLL;
  return UnregisterServer() == 0 ? win::S_OK : win::E_FAIL;
}
