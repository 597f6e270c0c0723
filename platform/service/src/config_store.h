// The configuration store: values by section and key, each either the
// machine's ("system") or one user's ("user", keyed by user id), over the
// defaults of config_defaults.h.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "service_database.h"

namespace korvad {

enum class ConfigSource { System, User };

struct ConfigScope {
    std::string section;
    std::vector<ConfigSource> sources;  // read order; writes use the first
    std::string userId;                 // for user values
};

// Parses "user", "system", "user,system" (either order); an empty text
// gives FALLBACK. False for any other word.
bool ParseSources(const std::string& text, const std::vector<ConfigSource>& fallback,
                  std::vector<ConfigSource>& sources);
const char* SourceName(ConfigSource source);

class ConfigStore {
public:
    explicit ConfigStore(ServiceDatabase& db) : m_db(db) {}

    // The value of KEY from the first source that has one, else its
    // default; nullopt when there is neither.
    std::optional<std::string> Get(const ConfigScope& scope, const std::string& key) const;
    // Every key of the section: defaults first (in their order), then other
    // stored keys by name; user values over system values over defaults.
    std::vector<std::pair<std::string, std::string>> GetSection(const ConfigScope& scope) const;

    enum class WriteResult { Changed, Unchanged, Failed };
    // Writes one value to the scope's first source.
    WriteResult Set(const ConfigScope& scope, const std::string& key, const std::string& value, std::string* error);
    // Writes several values in one transaction (all or none); CHANGED gets
    // the keys whose stored value changed.
    bool SetMany(const ConfigScope& scope, const std::vector<std::pair<std::string, std::string>>& values,
                 std::vector<std::pair<std::string, std::string>>& changed, std::string* error);

private:
    std::optional<std::string> Stored(const std::string& section, const std::string& key, ConfigSource source,
                                      const std::string& userId) const;
    WriteResult SetLocked(const ConfigScope& scope, const std::string& key, const std::string& value,
                          std::string* error);
    ServiceDatabase& m_db;
};

}  // namespace korvad
