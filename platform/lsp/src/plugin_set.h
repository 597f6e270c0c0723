// The filter plug-ins the shim has loaded, looked up by their exported names.
#pragma once

#include <kelm/netfilter_plugin.h>

#include <string>
#include <vector>

namespace lsp {

struct LoadedPlugin {
    std::string path;
    std::string name;  // from GetPluginInfo
    void* handle = nullptr;
    GetPluginInfoFn getPluginInfo = nullptr;
    InitPluginFn initPlugin = nullptr;
    InitPlugin2Fn initPlugin2 = nullptr;
    SetTraceFn setTrace = nullptr;
    TermPluginFn termPlugin = nullptr;
    LSPP_SendFn send = nullptr;
    LSPP_RecvFn recv = nullptr;
    LSPP_CloseSocketFn closeSocket = nullptr;
    LSPP_BindFn bind = nullptr;        // site filter only
    LSPP_ConnectFn connect = nullptr;  // site filter only
};

// Loads the plug-in at PATH and looks up its exports. On failure returns
// false with the reason in ERROR and leaves nothing loaded. GetPluginInfo,
// InitPlugin, InitPlugin2, LSPP_Send, LSPP_Recv and LSPP_CloseSocket are
// required; the others are used when present.
bool LoadPlugin(const std::string& path, LoadedPlugin& plugin, std::string& error);

// Starts a loaded plug-in in the order its exports require: GetPluginInfo,
// InitPlugin, SetTrace (when TRACE is given), InitPlugin2.
void StartPlugin(LoadedPlugin& plugin, FilterHostContext* context, GMCTraceLog* trace);

}  // namespace lsp
