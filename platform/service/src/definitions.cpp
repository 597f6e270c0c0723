#include "definitions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace korvad {

namespace {

constexpr std::size_t kMaxLineLength = 4096;
constexpr std::size_t kMaxPatternBytes = 1024;
constexpr const char* kSeverities[] = {"low", "mild", "moderate", "high", "critical"};

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

// Splits off the first blank-separated word.
std::string_view NextWord(std::string_view& rest)
{
    rest = Trim(rest);
    const auto end = rest.find_first_of(" \t");
    const std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : Trim(rest.substr(end));
    return word;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool ParseHex(std::string_view text, std::vector<std::uint8_t>& out)
{
    if (text.empty() || text.size() % 2 != 0)
        return false;
    out.clear();
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigit(text[i]);
        const int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

bool ParseUnsigned(std::string_view text, std::uint64_t& value)
{
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ValidVersion(std::string_view text)
{
    int parts = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto dot = text.find('.', start);
        const std::string_view part = text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        std::uint64_t number = 0;
        if (!ParseUnsigned(part, number) || number > 65535)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    return parts == 4;
}

// Package codes are what pages and requests carry: letters, digits, "-",
// "_", "." and ":", 1 to 128 characters.
bool ValidCode(std::string_view code)
{
    if (code.empty() || code.size() > 128)
        return false;
    return std::all_of(code.begin(), code.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == ':';
    });
}

// A domain or host name: letters, digits, "-", "." and "_", no blank.
bool ValidHostName(std::string_view name)
{
    if (name.empty() || name.size() > 253 || name.front() == '.' || name.back() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '.' || c == '_';
    });
}

class Parser {
public:
    bool Run(std::string_view text, Definitions& out)
    {
        if (text.size() > kMaxDefinitionsBytes)
            return Fail("the file is larger than 16 MiB");
        std::size_t start = 0;
        while (start < text.size()) {
            ++m_line;
            auto end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            const std::string_view line = text.substr(start, end - start);
            start = end + 1;
            if (line.size() > kMaxLineLength)
                return Fail("line longer than 4096 characters");
            for (const unsigned char c : line)
                if ((c < 0x20 && c != '\t' && c != '\r') || c == 0x7f)
                    return Fail("control character in the line");
            if (!Line(Trim(line)))
                return false;
        }
        ++m_line;
        if (m_inPackage)
            return Fail("package \"" + m_defs.packages.back().code + "\" has no \"end\"");
        if (!m_sawFormat)
            return Fail("no \"format 1\" line");
        if (m_defs.version.empty())
            return Fail("no \"version\" line");
        out = std::move(m_defs);
        return true;
    }

    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& message)
    {
        m_error = "line " + std::to_string(m_line) + ": " + message;
        return false;
    }

    bool Line(std::string_view line)
    {
        if (line.empty() || line.front() == '#')
            return true;
        std::string_view rest = line;
        const std::string keyword(NextWord(rest));
        if (!m_sawFormat) {
            if (keyword != "format")
                return Fail("the file must start with \"format 1\"");
            if (rest != "1")
                return Fail("unknown format \"" + std::string(rest) + "\" (this korvad reads format 1)");
            m_sawFormat = true;
            return true;
        }
        if (keyword == "version") {
            if (m_inPackage)
                return Fail("\"version\" inside a package");
            if (!m_defs.version.empty())
                return Fail("a second \"version\" line");
            if (!ValidVersion(rest))
                return Fail("the version is four numbers 0 to 65535 joined by \".\"");
            m_defs.version = std::string(rest);
            return true;
        }
        if (keyword == "package")
            return BeginPackage(rest);
        if (!m_inPackage)
            return Fail("\"" + keyword + "\" outside a package");
        Package& package = m_defs.packages.back();
        if (keyword == "end")
            return EndPackage(package, rest);
        if (keyword == "name" || keyword == "type" || keyword == "description") {
            std::string& field = keyword == "name" ? package.name : keyword == "type" ? package.type : package.description;
            if (!field.empty())
                return Fail("a second \"" + keyword + "\" in the package");
            if (rest.empty() && keyword != "description")
                return Fail("\"" + keyword + "\" needs a text");
            field = std::string(rest);
            return true;
        }
        if (keyword == "severity") {
            if (!package.severity.empty())
                return Fail("a second \"severity\" in the package");
            if (SeverityFromWord(rest) < 0)
                return Fail("severity is low, mild, moderate, high or critical");
            package.severity = std::string(rest);
            return true;
        }
        return Item(package, keyword, rest);
    }

    bool BeginPackage(std::string_view rest)
    {
        if (m_inPackage)
            return Fail("package inside package \"" + m_defs.packages.back().code + "\" (missing \"end\")");
        const std::string code(NextWord(rest));
        if (!rest.empty() || !ValidCode(code))
            return Fail("a package code is 1 to 128 letters, digits, \"-\", \"_\", \".\" or \":\"");
        if (!m_codes.insert(Lower(code)).second)
            return Fail("package \"" + code + "\" is defined twice");
        m_defs.packages.emplace_back();
        m_defs.packages.back().code = code;
        m_inPackage = true;
        return true;
    }

    bool EndPackage(Package& package, std::string_view rest)
    {
        if (!rest.empty())
            return Fail("\"end\" takes nothing");
        if (package.name.empty())
            return Fail("package \"" + package.code + "\" has no name");
        if (package.severity.empty())
            return Fail("package \"" + package.code + "\" has no severity");
        if (package.items.empty())
            return Fail("package \"" + package.code + "\" has no items");
        m_inPackage = false;
        return true;
    }

    bool Item(Package& package, const std::string& keyword, std::string_view rest)
    {
        static const std::map<std::string, MatchKind> kKinds = {
            {"content", MatchKind::Content},          {"sha256", MatchKind::Sha256},
            {"file_name", MatchKind::FileName},       {"registry_key", MatchKind::RegistryKey},
            {"registry_value", MatchKind::RegistryValue}, {"cookie", MatchKind::Cookie},
            {"hosts", MatchKind::Hosts},
        };
        const auto kind = kKinds.find(keyword);
        if (kind == kKinds.end())
            return Fail("unknown keyword \"" + keyword + "\"");
        DefinitionItem item;
        item.kind = kind->second;
        std::uint64_t id = 0;
        if (!ParseUnsigned(NextWord(rest), id) || id == 0 || id > 2147483647)
            return Fail("\"" + keyword + "\" needs a definition id (1 to 2147483647) first");
        item.id = static_cast<long long>(id);
        if (!m_ids.insert(item.id).second)
            return Fail("definition id " + std::to_string(id) + " is used twice");
        if (rest.empty())
            return Fail("\"" + keyword + "\" needs a pattern after its id");
        switch (item.kind) {
        case MatchKind::Content:
            if (rest.substr(0, 4) == "hex:") {
                if (!ParseHex(rest.substr(4), item.bytes))
                    return Fail("\"hex:\" needs pairs of hex digits (0-9, a-f)");
            } else if (rest.substr(0, 5) == "text:") {
                const std::string_view text = rest.substr(5);
                item.bytes.assign(text.begin(), text.end());
            } else {
                return Fail("a content pattern starts with \"hex:\" or \"text:\"");
            }
            if (item.bytes.size() < 4 || item.bytes.size() > kMaxPatternBytes)
                return Fail("a content pattern is 4 to 1024 bytes");
            break;
        case MatchKind::Sha256: {
            std::vector<std::uint8_t> digest;
            if (!ParseHex(NextWord(rest), digest) || digest.size() != 32)
                return Fail("sha256 needs 64 hex digits");
            std::copy(digest.begin(), digest.end(), item.sha256.begin());
            if (!rest.empty()) {
                std::uint64_t size = 0;
                if (!ParseUnsigned(rest, size))
                    return Fail("the size after a sha256 is a number of bytes");
                item.size = size;
            }
            break;
        }
        case MatchKind::FileName:
            if (rest.find('/') != std::string_view::npos || rest == "." || rest == ".." || rest.size() > 255)
                return Fail("a file name has no \"/\" and is at most 255 bytes");
            item.text = Lower(rest);
            break;
        case MatchKind::RegistryKey:
        case MatchKind::RegistryValue: {
            std::string_view keyText = rest;
            if (item.kind == MatchKind::RegistryValue) {
                const auto bar = rest.find('|');
                if (bar == std::string_view::npos)
                    return Fail("registry_value is \"<key>|<value name>\"");
                keyText = rest.substr(0, bar);
                item.valueName = std::string(rest.substr(bar + 1));
            }
            if (!win::ParseRootedKeyPath(keyText, item.hive, item.keyPath) || item.keyPath.empty())
                return Fail("a registry key starts with HKCU\\ or HKLM\\ and names a key below it");
            break;
        }
        case MatchKind::Cookie:
        case MatchKind::Hosts:
            if (!ValidHostName(rest))
                return Fail("\"" + keyword + "\" needs a domain or host name");
            item.text = Lower(rest);
            break;
        }
        package.items.push_back(std::move(item));
        return true;
    }

    Definitions m_defs;
    std::set<std::string> m_codes;
    std::set<long long> m_ids;
    std::size_t m_line = 0;
    bool m_sawFormat = false;
    bool m_inPackage = false;
    std::string m_error;
};

}  // namespace

const char* MatchKindName(MatchKind kind)
{
    switch (kind) {
    case MatchKind::Content: return "content";
    case MatchKind::Sha256: return "sha256";
    case MatchKind::FileName: return "file_name";
    case MatchKind::RegistryKey: return "registry_key";
    case MatchKind::RegistryValue: return "registry_value";
    case MatchKind::Cookie: return "cookie";
    case MatchKind::Hosts: return "hosts";
    }
    return "?";
}

int SeverityFromWord(std::string_view word)
{
    for (int i = 0; i < 5; ++i)
        if (word == kSeverities[i])
            return i;
    return -1;
}

int Package::SeverityNumber() const { return std::max(0, SeverityFromWord(severity)); }

const Package* Definitions::Find(std::string_view code) const
{
    for (const Package& package : packages)
        if (package.code == code)
            return &package;
    return nullptr;
}

bool ParseDefinitions(std::string_view text, Definitions& out, std::string* error)
{
    out = Definitions();
    Parser parser;
    if (parser.Run(text, out))
        return true;
    if (error != nullptr)
        *error = parser.Error();
    return false;
}

bool LoadDefinitions(const std::string& path, Definitions& out, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr)
            *error = "cannot open " + path;
        return false;
    }
    std::string text;
    text.resize(kMaxDefinitionsBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        if (error != nullptr)
            *error = "cannot read " + path;
        return false;
    }
    std::string parseError;
    if (!ParseDefinitions(text, out, &parseError)) {
        if (error != nullptr)
            *error = path + ": " + parseError;
        return false;
    }
    return true;
}

}  // namespace korvad
