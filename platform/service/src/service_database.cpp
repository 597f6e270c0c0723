#include "service_database.h"

#include <QtGlobal>

namespace korvad {

namespace {

// Version 1 kept only machine-wide values; version 2 adds the source and
// the per-user values, carrying every old value over as a "system" value.
const char* const kMigrations[] = {
    // to version 1
    "CREATE TABLE settings("
    "  section TEXT NOT NULL,"
    "  key TEXT NOT NULL,"
    "  value TEXT NOT NULL,"
    "  PRIMARY KEY(section, key));",
    // to version 2
    "CREATE TABLE config_values("
    "  section TEXT NOT NULL,"
    "  key TEXT NOT NULL,"
    "  source TEXT NOT NULL CHECK(source IN ('system', 'user')),"
    "  user_id TEXT NOT NULL DEFAULT '',"
    "  value TEXT NOT NULL,"
    "  updated INTEGER NOT NULL DEFAULT (strftime('%s', 'now')),"
    "  PRIMARY KEY(section, key, source, user_id));"
    "INSERT INTO config_values(section, key, source, user_id, value)"
    "  SELECT section, key, 'system', '', value FROM settings;"
    "DROP TABLE settings;",
    // to version 3: popups the browser add-on asked about, and per-site blankets
    "CREATE TABLE popups("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  url TEXT NOT NULL UNIQUE,"
    "  domain TEXT NOT NULL,"
    "  state TEXT NOT NULL CHECK(state IN ('allowed', 'blocked')),"
    "  user_state TEXT NOT NULL DEFAULT '' CHECK(user_state IN ('', 'allow', 'block')),"
    "  hits INTEGER NOT NULL DEFAULT 0,"
    "  last_hit INTEGER);"
    "CREATE INDEX popups_domain ON popups(domain);"
    "CREATE TABLE popup_blankets("
    "  domain TEXT PRIMARY KEY,"
    "  state TEXT NOT NULL CHECK(state IN ('allow', 'block')));",
    // to version 4: scans, the items they found and what the quarantine did
    // with them (vault file or restore copy), failed removals, optimizations
    "CREATE TABLE scans("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  scan_type TEXT NOT NULL,"
    "  started INTEGER NOT NULL,"
    "  ended INTEGER,"
    "  outcome TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE quarantine_items("
    "  item_code TEXT PRIMARY KEY,"
    "  package_code TEXT NOT NULL,"
    "  definition_id INTEGER NOT NULL,"
    "  class TEXT NOT NULL,"
    "  path TEXT NOT NULL,"
    "  item_name TEXT NOT NULL,"
    "  item_data TEXT NOT NULL DEFAULT '',"
    "  target_info TEXT NOT NULL DEFAULT '',"
    "  target_source INTEGER NOT NULL DEFAULT 0,"
    "  status TEXT NOT NULL CHECK(status IN ('found', 'quarantined', 'removed', 'restored', 'allowed')),"
    "  scan_id INTEGER,"
    "  time_found INTEGER NOT NULL,"
    "  time_quarantined INTEGER NOT NULL DEFAULT 0,"
    "  package_name TEXT NOT NULL DEFAULT '',"
    "  package_type TEXT NOT NULL DEFAULT '',"
    "  severity INTEGER NOT NULL DEFAULT 0,"
    "  vault_name TEXT NOT NULL DEFAULT '',"
    "  restore_data TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX quarantine_items_key ON quarantine_items(class, path, definition_id);"
    "CREATE INDEX quarantine_items_package ON quarantine_items(package_code, status);"
    "CREATE INDEX quarantine_items_scan ON quarantine_items(scan_id);"
    "CREATE TABLE failed_items("
    "  full_path TEXT PRIMARY KEY,"
    "  path TEXT NOT NULL,"
    "  item_code TEXT NOT NULL,"
    "  package_code TEXT NOT NULL,"
    "  package_name TEXT NOT NULL,"
    "  severity INTEGER NOT NULL);"
    "CREATE TABLE optimize_items("
    "  id INTEGER PRIMARY KEY,"
    "  key TEXT NOT NULL,"
    "  type TEXT NOT NULL,"
    "  data TEXT NOT NULL,"
    "  state TEXT NOT NULL DEFAULT 'optimized' CHECK(state IN ('optimized', 'restored')));",
};
static_assert(sizeof(kMigrations) / sizeof(kMigrations[0]) == kSchemaVersion);

}  // namespace

ServiceDatabase::~ServiceDatabase()
{
    for (auto& [sql, stmt] : m_cache)
        sqlite3_finalize(stmt);
    if (m_db != nullptr)
        sqlite3_close(m_db);
}

bool ServiceDatabase::Exec(const char* sql, std::string* error)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error != nullptr)
        *error = message != nullptr ? message : "unknown SQLite error";
    sqlite3_free(message);
    return false;
}

sqlite3_stmt* ServiceDatabase::Cached(const char* sql)
{
    const auto it = m_cache.find(sql);
    if (it != m_cache.end())
        return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    m_cache.emplace(sql, stmt);
    return stmt;
}

int ServiceDatabase::Version() const
{
    Statement version(m_db, "PRAGMA user_version;");
    return version.Step() == SQLITE_ROW ? version.Int(0) : -1;
}

bool ServiceDatabase::Open(const std::string& path, std::string* error)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        if (error != nullptr)
            *error = "cannot open " + path + ": " + (m_db != nullptr ? sqlite3_errmsg(m_db) : "out of memory");
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    // WAL keeps every commit atomic and survives a crash of the service; a
    // power cut may lose the last commits but never leaves a torn file.
    if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;", error))
        return false;
    return Migrate(error);
}

bool ServiceDatabase::Migrate(std::string* error)
{
    const int version = Version();
    if (version < 0) {
        if (error != nullptr)
            *error = "cannot read the schema version";
        return false;
    }
    if (version > kSchemaVersion) {
        if (error != nullptr)
            *error = "the database has schema version " + std::to_string(version) + ", newer than this korvad (" +
                     std::to_string(kSchemaVersion) + ")";
        return false;
    }
    for (int step = version; step < kSchemaVersion; ++step) {
        const std::string sql = std::string("BEGIN IMMEDIATE;") + kMigrations[step] +
                                "PRAGMA user_version=" + std::to_string(step + 1) + ";COMMIT;";
        if (!Exec(sql.c_str(), error)) {
            Exec("ROLLBACK;");
            if (error != nullptr)
                *error = "migration to schema version " + std::to_string(step + 1) + " failed: " + *error;
            return false;
        }
        qInfo("database migrated to schema version %d", step + 1);
    }
    return true;
}

Statement::Statement(sqlite3* db, const char* sql)
{
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
        m_stmt = nullptr;
}

Statement::~Statement()
{
    if (m_stmt == nullptr)
        return;
    if (m_owned) {
        sqlite3_finalize(m_stmt);
    } else {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

Statement& Statement::Bind(int index, const std::string& text)
{
    if (m_stmt != nullptr)
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::Bind(int index, long long value)
{
    if (m_stmt != nullptr)
        sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

int Statement::Step() { return m_stmt != nullptr ? sqlite3_step(m_stmt) : SQLITE_MISUSE; }

std::string Statement::Text(int column) const
{
    const unsigned char* text = m_stmt != nullptr ? sqlite3_column_text(m_stmt, column) : nullptr;
    if (text == nullptr)
        return {};
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
}

int Statement::Int(int column) const { return m_stmt != nullptr ? sqlite3_column_int(m_stmt, column) : 0; }

long long Statement::Int64(int column) const
{
    return m_stmt != nullptr ? sqlite3_column_int64(m_stmt, column) : 0;
}

void Statement::Reset()
{
    if (m_stmt != nullptr) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

}  // namespace korvad
