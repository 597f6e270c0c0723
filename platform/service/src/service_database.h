// korvad's SQLite database: opening, the schema version and the migrations
// that bring an older file up to date on start.
#pragma once

#include <sqlite3.h>
#include <map>
#include <string>

namespace korvad {

// The schema version this build writes. Each migration step raises the
// version by one inside its own transaction, so a crash mid-way leaves the
// file at the last completed version.
inline constexpr int kSchemaVersion = 4;

class ServiceDatabase {
public:
    ServiceDatabase() = default;
    ~ServiceDatabase();
    ServiceDatabase(const ServiceDatabase&) = delete;
    ServiceDatabase& operator=(const ServiceDatabase&) = delete;

    // Opens (creating) the file at PATH and migrates it. Refuses a file whose
    // version is newer than this build knows, rather than guess at it.
    bool Open(const std::string& path, std::string* error);
    sqlite3* Handle() const { return m_db; }
    int Version() const;

    // Runs SQL (no results); false with ERROR on failure.
    bool Exec(const char* sql, std::string* error = nullptr);

    // A prepared statement kept for the life of the database, reset and
    // unbound, for the statements every request runs (preparing costs more
    // than running them). SQL must be a string literal; null on error.
    sqlite3_stmt* Cached(const char* sql);

private:
    bool Migrate(std::string* error);
    sqlite3* m_db = nullptr;
    std::map<const char*, sqlite3_stmt*> m_cache;
};

// A statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    // Uses a statement of ServiceDatabase::Cached; it is reset, not
    // finalized, when this object ends.
    explicit Statement(sqlite3_stmt* cached) : m_stmt(cached), m_owned(false) {}
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_stmt != nullptr; }
    Statement& Bind(int index, const std::string& text);
    Statement& Bind(int index, long long value);
    int Step();  // SQLITE_ROW, SQLITE_DONE or an error
    std::string Text(int column) const;
    int Int(int column) const;
    long long Int64(int column) const;
    void Reset();

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_owned = true;
};

}  // namespace korvad
