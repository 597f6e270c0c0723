#include "config_store.h"

#include <map>
#include <set>
#include <sstream>

#include "config_defaults.h"

namespace korvad {

const char* SourceName(ConfigSource source) { return source == ConfigSource::User ? "user" : "system"; }

bool ParseSources(const std::string& text, const std::vector<ConfigSource>& fallback,
                  std::vector<ConfigSource>& sources)
{
    sources.clear();
    if (text.empty()) {
        sources = fallback;
        return true;
    }
    std::stringstream in(text);
    std::string word;
    while (std::getline(in, word, ',')) {
        const auto first = word.find_first_not_of(' ');
        const auto last = word.find_last_not_of(' ');
        word = first == std::string::npos ? std::string() : word.substr(first, last - first + 1);
        ConfigSource source;
        if (word == "user")
            source = ConfigSource::User;
        else if (word == "system")
            source = ConfigSource::System;
        else
            return false;
        bool seen = false;
        for (const ConfigSource s : sources)
            seen = seen || s == source;
        if (!seen)
            sources.push_back(source);
    }
    return !sources.empty();
}

std::optional<std::string> ConfigStore::Stored(const std::string& section, const std::string& key,
                                               ConfigSource source, const std::string& userId) const
{
    Statement select(m_db.Cached(
        "SELECT value FROM config_values WHERE section=?1 AND key=?2 AND source=?3 AND user_id=?4;"));
    select.Bind(1, section).Bind(2, key).Bind(3, std::string(SourceName(source)));
    select.Bind(4, source == ConfigSource::User ? userId : std::string());
    if (select.Step() == SQLITE_ROW)
        return select.Text(0);
    return std::nullopt;
}

std::optional<std::string> ConfigStore::Get(const ConfigScope& scope, const std::string& key) const
{
    for (const ConfigSource source : scope.sources)
        if (auto value = Stored(scope.section, key, source, scope.userId))
            return value;
    return DefaultValue(scope.section, key);
}

std::vector<std::pair<std::string, std::string>> ConfigStore::GetSection(const ConfigScope& scope) const
{
    std::vector<std::pair<std::string, std::string>> out;
    std::map<std::string, std::size_t> index;
    for (const ConfigDefault& d : ConfigDefaults()) {
        if (scope.section == d.section) {
            index[d.key] = out.size();
            out.emplace_back(d.key, d.value);
        }
    }
    // Lower-priority sources first, so later ones overwrite.
    for (auto it = scope.sources.rbegin(); it != scope.sources.rend(); ++it) {
        Statement select(m_db.Handle(),
                         "SELECT key, value FROM config_values WHERE section=?1 AND source=?2 AND user_id=?3 "
                         "ORDER BY key;");
        select.Bind(1, scope.section).Bind(2, std::string(SourceName(*it)));
        select.Bind(3, *it == ConfigSource::User ? scope.userId : std::string());
        while (select.Step() == SQLITE_ROW) {
            const std::string key = select.Text(0);
            const auto found = index.find(key);
            if (found != index.end()) {
                out[found->second].second = select.Text(1);
            } else {
                index[key] = out.size();
                out.emplace_back(key, select.Text(1));
            }
        }
    }
    return out;
}

ConfigStore::WriteResult ConfigStore::SetLocked(const ConfigScope& scope, const std::string& key,
                                                const std::string& value, std::string* error)
{
    const ConfigSource source = scope.sources.front();
    const std::string userId = source == ConfigSource::User ? scope.userId : std::string();
    const auto old = Stored(scope.section, key, source, userId);
    if (old && *old == value)
        return WriteResult::Unchanged;
    Statement upsert(m_db.Cached(
                     "INSERT INTO config_values(section, key, source, user_id, value, updated) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, strftime('%s', 'now')) "
                     "ON CONFLICT(section, key, source, user_id) DO UPDATE SET value=excluded.value, "
                     "updated=excluded.updated;"));
    upsert.Bind(1, scope.section).Bind(2, key).Bind(3, std::string(SourceName(source))).Bind(4, userId).Bind(5, value);
    if (upsert.Step() != SQLITE_DONE) {
        if (error != nullptr)
            *error = sqlite3_errmsg(m_db.Handle());
        return WriteResult::Failed;
    }
    return WriteResult::Changed;
}

ConfigStore::WriteResult ConfigStore::Set(const ConfigScope& scope, const std::string& key, const std::string& value,
                                          std::string* error)
{
    return SetLocked(scope, key, value, error);
}

bool ConfigStore::SetMany(const ConfigScope& scope, const std::vector<std::pair<std::string, std::string>>& values,
                          std::vector<std::pair<std::string, std::string>>& changed, std::string* error)
{
    changed.clear();
    if (!m_db.Exec("BEGIN IMMEDIATE;", error))
        return false;
    for (const auto& [key, value] : values) {
        const WriteResult result = SetLocked(scope, key, value, error);
        if (result == WriteResult::Failed) {
            m_db.Exec("ROLLBACK;");
            changed.clear();
            return false;
        }
        if (result == WriteResult::Changed)
            changed.emplace_back(key, value);
    }
    if (!m_db.Exec("COMMIT;", error)) {
        m_db.Exec("ROLLBACK;");
        changed.clear();
        return false;
    }
    return true;
}

}  // namespace korvad
