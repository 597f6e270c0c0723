#include "plugin_set.h"

#include <dlfcn.h>

#include <cstring>

namespace lsp {
namespace {

template <typename Fn>
void Find(void* handle, const char* name, Fn& slot)
{
    slot = reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

bool LoadPlugin(const std::string& path, LoadedPlugin& plugin, std::string& error)
{
    plugin = LoadedPlugin();
    if (path.empty()) {
        error = "no plug-in path configured";
        return false;
    }
    // RTLD_LOCAL keeps the two plug-ins' copies of their kit apart.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot be loaded";
        return false;
    }
    plugin.path = path;
    plugin.handle = handle;
    Find(handle, "GetPluginInfo", plugin.getPluginInfo);
    Find(handle, "InitPlugin", plugin.initPlugin);
    Find(handle, "InitPlugin2", plugin.initPlugin2);
    Find(handle, "SetTrace", plugin.setTrace);
    Find(handle, "TermPlugin", plugin.termPlugin);
    Find(handle, "LSPP_Send", plugin.send);
    Find(handle, "LSPP_Recv", plugin.recv);
    Find(handle, "LSPP_CloseSocket", plugin.closeSocket);
    Find(handle, "LSPP_Bind", plugin.bind);
    Find(handle, "LSPP_Connect", plugin.connect);
    if (plugin.getPluginInfo == nullptr || plugin.initPlugin == nullptr || plugin.initPlugin2 == nullptr ||
        plugin.send == nullptr || plugin.recv == nullptr || plugin.closeSocket == nullptr) {
        error = path + ": not a filter plug-in (exports missing)";
        dlclose(handle);
        plugin = LoadedPlugin();
        return false;
    }
    return true;
}

void StartPlugin(LoadedPlugin& plugin, FilterHostContext* context, GMCTraceLog* trace)
{
    FilterPluginInfo info;
    std::memset(&info, 0, sizeof info);
    if (plugin.getPluginInfo(&info) == KELM_FILTER_PASS) {
        info.name[sizeof info.name - 1] = '\0';
        plugin.name = info.name;
    }
    plugin.initPlugin();
    if (trace != nullptr && plugin.setTrace != nullptr)
        plugin.setTrace(trace);
    plugin.initPlugin2(context);
}

}  // namespace lsp
