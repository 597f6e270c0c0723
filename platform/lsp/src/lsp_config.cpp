#include "lsp_config.h"

#include "win/state_root.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace lsp {
namespace {

constexpr const char* kConfigFileName = "kelmlsp.conf";

std::string_view Trim(std::string_view text)
{
    const char* blanks = " \t\r\n";
    std::size_t start = text.find_first_not_of(blanks);
    if (start == std::string_view::npos)
        return {};
    std::size_t end = text.find_last_not_of(blanks);
    return text.substr(start, end - start + 1);
}

bool ParseWord(std::string_view text, uint32_t& out)
{
    std::string copy(Trim(text));
    if (copy.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long value = std::strtoul(copy.c_str(), &end, 0);
    if (errno != 0 || end == nullptr || *end != '\0' || copy[0] == '-' || value > 0xFFFFFFFFul)
        return false;
    out = static_cast<uint32_t>(value);
    return true;
}

std::string Anchor(std::string_view path, const std::string& baseFolder)
{
    if (path.empty() || path.front() == '/' || baseFolder.empty())
        return std::string(path);
    return baseFolder + "/" + std::string(path);
}

// Applies one setting; returns false for an unknown key or a bad number.
bool Apply(std::string_view key, std::string_view value, const std::string& baseFolder, LspConfig& config)
{
    struct PathKey {
        const char* name;
        std::string LspConfig::*field;
    };
    static const PathKey kPaths[] = {
        {"hazard_plugin", &LspConfig::hazardPlugin}, {"host_plugin", &LspConfig::hostPlugin},
        {"detection_file", &LspConfig::detectionFile}, {"site_database", &LspConfig::siteDatabase},
        {"log_file", &LspConfig::logFile},
    };
    struct WordKey {
        const char* name;
        uint32_t LspConfig::*field;
    };
    static const WordKey kWords[] = {
        {"exploit_filter", &LspConfig::exploitFilter}, {"site_filter", &LspConfig::siteFilter},
        {"trace_level", &LspConfig::traceLevel}, {"database_poll_ms", &LspConfig::databasePollMs},
    };
    for (const PathKey& entry : kPaths) {
        if (key == entry.name) {
            config.*entry.field = Anchor(value, baseFolder);
            return true;
        }
    }
    for (const WordKey& entry : kWords) {
        if (key == entry.name)
            return ParseWord(value, config.*entry.field);
    }
    return false;
}

std::string ShimFolder()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DefaultConfigPath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::string path = info.dli_fname;
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FolderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string DefaultConfigPath()
{
    const char* overridePath = std::getenv("KELM_LSP_CONFIG");
    if (overridePath != nullptr && *overridePath != '\0')
        return overridePath;
    return (win::StateFolderPath(win::StateFolder::Config) / kConfigFileName).string();
}

void ParseConfigText(std::string_view text, const std::string& baseFolder, LspConfig& config)
{
    int lineNumber = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        std::size_t hash = line.find('#');
        if (hash != std::string_view::npos)
            line = line.substr(0, hash);
        line = Trim(line);
        if (line.empty())
            continue;
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos ||
            !Apply(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)), baseFolder, config)) {
            config.problems.push_back("line " + std::to_string(lineNumber) + " ignored: " + std::string(line));
        }
    }
}

LspConfig LoadConfig()
{
    LspConfig config;
    std::string configFolder = win::StateFolderPath(win::StateFolder::Config).string();
    std::string shimFolder = ShimFolder();
    config.hazardPlugin = Anchor("libkelmhazardfilter.so", shimFolder);
    config.hostPlugin = Anchor("libkelmhostfilter.so", shimFolder);
    config.detectionFile = configFolder + "/detections.dat";
    config.siteDatabase = configFolder + "/sites.dat";
    config.logFile = (win::StateFolderPath(win::StateFolder::Logs) / "kelmlsp.log").string();

    std::string path = DefaultConfigPath();
    std::ifstream in(path);
    if (in) {
        std::stringstream text;
        text << in.rdbuf();
        config.configFile = path;
        ParseConfigText(text.str(), FolderOf(path), config);
    }

    static const char* const kVariables[][2] = {
        {"KELM_LSP_HAZARD_PLUGIN", "hazard_plugin"}, {"KELM_LSP_HOST_PLUGIN", "host_plugin"},
        {"KELM_LSP_DETECTION_FILE", "detection_file"}, {"KELM_LSP_SITE_DATABASE", "site_database"},
        {"KELM_LSP_EXPLOIT_FILTER", "exploit_filter"}, {"KELM_LSP_SITE_FILTER", "site_filter"},
        {"KELM_LSP_TRACE_LEVEL", "trace_level"}, {"KELM_LSP_DATABASE_POLL_MS", "database_poll_ms"},
        {"KELM_LSP_LOG_FILE", "log_file"},
    };
    for (const auto& variable : kVariables) {
        const char* value = std::getenv(variable[0]);
        if (value == nullptr)
            continue;
        // Relative paths from the environment are taken as they are, from
        // the program's working folder, as a shell user expects.
        if (!Apply(variable[1], value, std::string(), config))
            config.problems.push_back(std::string(variable[0]) + " ignored: " + value);
    }
    return config;
}

}  // namespace lsp
