// Where every program of the suite keeps its files.
//
// One environment variable, KELM_STATE_ROOT, moves all of it: when set, every
// folder below lives under that root, so tests run isolated and in parallel.
// When it is not set the folders follow the XDG base directories.
#pragma once

#include <filesystem>
#include <string>

namespace win {

// The environment variable that moves every folder of the suite.
inline constexpr const char* kStateRootVariable = "KELM_STATE_ROOT";

enum class StateFolder {
    Registry,  // registry hives (SQLite files)
    Runtime,   // per-login-session objects: events, window sockets, message table
    Service,   // the service's database and quarantine vault
    Logs,      // log files
    Config,    // small configuration files (installer components, plug-in host)
};

// The folder for KIND, created (with parents) when missing. Never empty: when
// nothing else is usable it falls back to a folder under /tmp named after the
// user id.
std::filesystem::path StateFolderPath(StateFolder kind);

// The machine-wide runtime folder used for objects whose names start with
// "Global\": shared by every login session on the machine.
std::filesystem::path GlobalRuntimePath();

}  // namespace win
