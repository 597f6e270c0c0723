#include "scan_settings.h"

#include <cstdlib>
#include <fstream>

#include "win/state_root.h"

namespace korvad {

namespace {

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool Apply(ScanSettings& settings, const std::string& key, const std::string& value)
{
    if (key == "definitions") {
        settings.definitionsPath = value;
        settings.definitionsChosen = true;
    } else if (key == "quick_folders") {
        settings.quickFolders = SplitFolderList(value);
    } else if (key == "full_folders") {
        settings.fullFolders = SplitFolderList(value);
    } else if (key == "hosts_file") {
        settings.hostsFile = value;
        settings.hostsFileWritable = true;
    } else if (key == "cookie_file") {
        settings.cookieFile = value;
    } else if (key == "max_file_size") {
        char* end = nullptr;
        const unsigned long long bytes = std::strtoull(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || bytes == 0)
            return false;
        settings.maxFileBytes = bytes;
    } else if (key == "scan_throttle_us") {
        char* end = nullptr;
        const unsigned long micros = std::strtoul(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || micros > 1000000)
            return false;
        settings.throttleMicros = static_cast<std::uint32_t>(micros);
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> ExistingHomeFolders(std::initializer_list<const char*> names)
{
    std::vector<std::string> out;
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0')
        return out;
    for (const char* name : names) {
        const std::filesystem::path path = std::filesystem::path(home) / name;
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec))
            out.push_back(path.string());
    }
    return out;
}

}  // namespace

std::filesystem::path DefaultDemoArea()
{
    return win::StateFolderPath(win::StateFolder::Service).parent_path() / "demo-area";
}

std::filesystem::path DefaultCookieFile()
{
    return win::StateFolderPath(win::StateFolder::Config) / "kelmbrowse" / "cookies.txt";
}

std::vector<std::string> SplitFolderList(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find(':', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string part = Trim(text.substr(start, end - start));
        if (!part.empty())
            out.push_back(part);
        start = end + 1;
    }
    return out;
}

ScanSettings LoadScanSettings(const std::string& configPath, const std::string& programDir, std::string* error)
{
    ScanSettings settings;
    settings.definitionsPath = (std::filesystem::path(programDir) / "korvad-sample.defs").string();
    // Small, predictable defaults: nothing walks the whole machine unless
    // a configuration says so.
    settings.quickFolders = ExistingHomeFolders({"Downloads", "Desktop"});
    settings.quickFolders.insert(settings.quickFolders.begin(), DefaultDemoArea().string());
    settings.fullFolders = ExistingHomeFolders({""});
    settings.fullFolders.insert(settings.fullFolders.begin(), DefaultDemoArea().string());
    settings.cookieFile = DefaultCookieFile().string();

    const std::string path =
        configPath.empty() ? (win::StateFolderPath(win::StateFolder::Config) / "korvad.conf").string() : configPath;
    std::ifstream in(path);
    std::string line;
    int number = 0;
    while (in && std::getline(in, line)) {
        ++number;
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        const auto eq = line.find('=');
        const std::string key = eq == std::string::npos ? line : Trim(line.substr(0, eq));
        const std::string value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
        if (eq == std::string::npos || !Apply(settings, key, value)) {
            if (error != nullptr && error->empty())
                *error = path + ":" + std::to_string(number) + ": not a setting: " + line;
        }
    }

    const std::pair<const char*, const char*> kVariables[] = {
        {"KORVAD_DEFINITIONS", "definitions"}, {"KORVAD_QUICK_FOLDERS", "quick_folders"},
        {"KORVAD_FULL_FOLDERS", "full_folders"}, {"KORVAD_HOSTS_FILE", "hosts_file"},
        {"KORVAD_COOKIE_FILE", "cookie_file"}, {"KORVAD_MAX_FILE_SIZE", "max_file_size"},
        {"KORVAD_SCAN_THROTTLE_US", "scan_throttle_us"},
    };
    for (const auto& [variable, key] : kVariables) {
        const char* value = std::getenv(variable);
        if (value != nullptr && !Apply(settings, key, value) && error != nullptr && error->empty())
            *error = std::string(variable) + ": bad value \"" + value + "\"";
    }
    return settings;
}

}  // namespace korvad
