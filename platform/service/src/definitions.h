// The threat definitions korvad scans with: packages (a code, a name, a
// type, a severity) each with the items that identify it on a machine.
//
// The file format is korvad's own line-based text (see the README,
// "Definitions"). Parsing never trusts the file: every error names its line
// and nothing of a bad file is used.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/registry.h"

namespace korvad {

enum class MatchKind {
    Content,        // bytes anywhere in a file's first bytes
    Sha256,         // the file's SHA-256 (optionally only files of one size)
    FileName,       // a file's name, without regard to case
    RegistryKey,    // a key of the registry stand-in exists
    RegistryValue,  // a named value of a key exists
    Cookie,         // a cookie of a domain (or its subdomains)
    Hosts,          // a hosts-file line sending a host name elsewhere
};

const char* MatchKindName(MatchKind kind);

struct DefinitionItem {
    long long id = 0;  // the definition id, unique across the file
    MatchKind kind = MatchKind::Content;
    std::string text;                 // file name, cookie domain, host name (lower case)
    std::vector<std::uint8_t> bytes;  // content pattern
    using hash_t = std::array<std::uint8_t, 32>;
    hash_t sha256{};
    std::optional<std::uint64_t> size;  // Sha256: only files of this size
    win::Hive hive = win::Hive::CurrentUser;
    std::string keyPath;    // registry key below the hive
    std::string valueName;  // RegistryValue
};

struct Package {
    std::string code;
    std::string name;
    std::string type;      // e.g. "Adware" or "Spyware,Trojan"
    std::string severity;  // "low", "mild", "moderate", "high" or "critical"
    std::string description;
    std::vector<DefinitionItem> items;

    // 0 (low) to 4 (critical).
    int SeverityNumber() const;
};

struct Definitions {
    std::string version;  // four dotted numbers
    std::vector<Package> packages;

    const Package* Find(std::string_view code) const;
};

// Largest definitions file accepted.
inline constexpr std::size_t kMaxDefinitionsBytes = 16u << 20;

// Parses TEXT; false with ERROR ("line N: ...") on the first problem, and
// then OUT is left empty.
bool ParseDefinitions(std::string_view text, Definitions& out, std::string* error);
bool LoadDefinitions(const std::string& path, Definitions& out, std::string* error);

// "low" 0 ... "critical" 4; -1 for another word.
int SeverityFromWord(std::string_view word);

}  // namespace korvad
