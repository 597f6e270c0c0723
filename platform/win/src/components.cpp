#include "win/components.h"

#include "win/state_root.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <strings.h>

namespace win {
namespace {

// Larger files are no components list of ours; they are not read.
constexpr std::streamsize kMaxFileSize = 1 << 20;

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool IsHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

INSTALLSTATE ParseState(std::string_view text)
{
    static constexpr struct {
        const char* name;
        INSTALLSTATE state;
    } kStates[] = {
        {"local", INSTALLSTATE_LOCAL},
        {"source", INSTALLSTATE_SOURCE},
        {"absent", INSTALLSTATE_ABSENT},
        {"advertised", INSTALLSTATE_ADVERTISED},
    };
    const std::string value(text);
    for (const auto& entry : kStates) {
        if (::strcasecmp(value.c_str(), entry.name) == 0)
            return entry.state;
    }
    for (const auto& entry : kStates) {
        if (value == std::to_string(entry.state))
            return entry.state;
    }
    return INSTALLSTATE_UNKNOWN;
}

std::string ReadComponentsFile()
{
    std::ifstream file(ComponentsFilePath(), std::ios::binary);
    if (!file)
        return {};
    std::string text(static_cast<std::size_t>(kMaxFileSize) + 1, '\0');
    file.read(text.data(), kMaxFileSize + 1);
    if (file.gcount() > kMaxFileSize)
        return {};
    text.resize(static_cast<std::size_t>(file.gcount()));
    return text;
}

}  // namespace

std::filesystem::path ComponentsFilePath()
{
    return StateFolderPath(StateFolder::Config) / "components.ini";
}

std::string NormalizeComponentCode(std::string_view code)
{
    code = Trim(code);
    if (code.size() == 38 && code.front() == '{' && code.back() == '}')
        code = code.substr(1, 36);
    if (code.size() != 36)
        return {};
    std::string canonical = "{";
    for (std::size_t i = 0; i < code.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? code[i] != '-' : !IsHex(code[i]))
            return {};
        canonical += static_cast<char>(std::toupper(static_cast<unsigned char>(code[i])));
    }
    return canonical + "}";
}

std::map<std::string, ComponentEntry> ParseComponents(std::string_view text)
{
    std::map<std::string, ComponentEntry> entries;
    std::string current;  // canonical code of the open section; empty when none is usable
    bool stateGiven = false;
    const auto finish = [&] {
        if (current.empty())
            return;
        ComponentEntry& entry = entries[current];
        if (!stateGiven)
            entry.state = entry.path.empty() ? INSTALLSTATE_UNKNOWN : INSTALLSTATE_LOCAL;
    };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            finish();
            current = NormalizeComponentCode(line.substr(1, line.size() - 2));
            stateGiven = false;
            if (!current.empty())
                entries[current] = ComponentEntry{};
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current.empty() || equals == std::string_view::npos)
            continue;
        const std::string key(Trim(line.substr(0, equals)));
        const std::string_view value = Trim(line.substr(equals + 1));
        if (::strcasecmp(key.c_str(), "path") == 0) {
            entries[current].path.assign(value);
        } else if (::strcasecmp(key.c_str(), "state") == 0) {
            entries[current].state = ParseState(value);
            stateGiven = true;
        }
    }
    finish();
    // Sections that said nothing usable do not count as entries.
    for (auto it = entries.begin(); it != entries.end();) {
        if (it->second.state == INSTALLSTATE_UNKNOWN)
            it = entries.erase(it);
        else
            ++it;
    }
    return entries;
}

INSTALLSTATE GetComponentPath(std::string_view componentCode, std::string& path)
{
    path.clear();
    const std::string code = NormalizeComponentCode(componentCode);
    if (code.empty())
        return INSTALLSTATE_INVALIDARG;
    const auto entries = ParseComponents(ReadComponentsFile());
    const auto it = entries.find(code);
    if (it == entries.end())
        return INSTALLSTATE_UNKNOWN;
    if (it->second.state == INSTALLSTATE_LOCAL || it->second.state == INSTALLSTATE_SOURCE)
        path = it->second.path;
    return it->second.state;
}

std::string ComponentPath(std::string_view componentCode)
{
    std::string path;
    GetComponentPath(componentCode, path);
    return path;
}

}  // namespace win
