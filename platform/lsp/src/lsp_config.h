// The shim's settings: where the two plug-ins and their databases are, the
// two setting words handed to them and the trace level.
//
// They come from the file "kelmlsp.conf" in the state root's config folder
// (or the file named by KELM_LSP_CONFIG), one "key = value" a line, "#"
// starting a comment; every key can be overridden by an environment variable.
// Relative paths in the file are relative to the file's folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lsp {

struct LspConfig {
    std::string hazardPlugin;      // hazard_plugin     KELM_LSP_HAZARD_PLUGIN
    std::string hostPlugin;        // host_plugin       KELM_LSP_HOST_PLUGIN
    std::string detectionFile;     // detection_file    KELM_LSP_DETECTION_FILE
    std::string siteDatabase;      // site_database     KELM_LSP_SITE_DATABASE
    uint32_t exploitFilter = 1;    // exploit_filter    KELM_LSP_EXPLOIT_FILTER
    uint32_t siteFilter = 1;       // site_filter       KELM_LSP_SITE_FILTER
    uint32_t traceLevel = 0;       // trace_level       KELM_LSP_TRACE_LEVEL
    uint32_t databasePollMs = 1000;  // database_poll_ms  KELM_LSP_DATABASE_POLL_MS
    std::string logFile;           // log_file          KELM_LSP_LOG_FILE
    std::string configFile;        // the file read (empty when none was found)
    std::vector<std::string> problems;  // lines that could not be used, for the log
};

// The configuration file's path: KELM_LSP_CONFIG, or "kelmlsp.conf" in the
// state root's config folder.
std::string DefaultConfigPath();

// Parses the file's TEXT into CONFIG; BASEFOLDER anchors relative paths.
void ParseConfigText(std::string_view text, const std::string& baseFolder, LspConfig& config);

// Defaults, then the file, then the environment. Unset paths default to:
// plug-ins beside the shim, databases in the config folder ("detections.dat",
// "sites.dat"), the log in the state root's log folder ("kelmlsp.log").
LspConfig LoadConfig();

}  // namespace lsp
