// qvbrowserguard-register: registers the add-on library (its class keys) and,
// as an installer would, lists it as a browser helper object, in the
// registry of the current state root.
//
//   qvbrowserguard-register [--unregister] [--no-helper] LIBRARY
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "browser/com_runtime.h"
#include "browserguard/registration.h"

int main(int argc, char** argv) {
  bool unregister = false;
  bool helper = true;
  std::string library;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--unregister") == 0) unregister = true;
    else if (std::strcmp(argv[i], "--no-helper") == 0) helper = false;
    else if (argv[i][0] != '-' && library.empty()) library = argv[i];
    else {
      std::fprintf(stderr, "usage: qvbrowserguard-register [--unregister] [--no-helper] LIBRARY\n");
      return 2;
    }
  }
  if (library.empty()) {
    std::fprintf(stderr, "usage: qvbrowserguard-register [--unregister] [--no-helper] LIBRARY\n");
    return 2;
  }
  void* module = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "qvbrowserguard-register: %s\n", ::dlerror());
    return 1;
  }
  auto entry = reinterpret_cast<win::PFN_DllRegisterServer>(
      ::dlsym(module, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
  if (entry == nullptr) {
    std::fprintf(stderr, "qvbrowserguard-register: %s has no registration entry\n", library.c_str());
    return 1;
  }
  const win::HRESULT hr = entry();
  if (win::FAILED(hr)) {
    std::fprintf(stderr, "qvbrowserguard-register: registration failed (0x%08x)\n", static_cast<unsigned>(hr));
    return 1;
  }
  if (helper) {
    const long result = unregister ? browserguard::UninstallAsBrowserHelper() : browserguard::InstallAsBrowserHelper();
    if (result != 0) {
      std::fprintf(stderr, "qvbrowserguard-register: helper object list not written (%ld)\n", result);
      return 1;
    }
  }
  std::printf("qvbrowserguard-register: %s %s\n", library.c_str(), unregister ? "unregistered" : "registered");
  return 0;
}
