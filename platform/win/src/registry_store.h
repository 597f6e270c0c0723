// The SQLite file behind one hive, shared by every open key of that hive in
// this process.
//
// Layout (one file per hive, "HKCU.db" and "HKLM.db"):
//   keys(id, parent, name, folded)   id 0 is the hive's root and has no row;
//                                    (parent, folded) is unique
//   vals(key, name, folded, type, data)   (key, folded) is unique
// "folded" is the case-folded name, so lookups ignore case while "name" keeps
// the spelling of the first creation. Ids are never reused (AUTOINCREMENT), so
// a key that was deleted and created again is a different key, and an old
// handle answers ERROR_KEY_DELETED.
#pragma once

#include "win/registry.h"

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/types.h>

namespace win {

struct RegKey::Store {
    std::mutex mutex;  // one statement sequence at a time on the connection
    sqlite3* db = nullptr;
    pid_t owner = 0;   // a connection must not be used after fork()
    std::filesystem::path file;

    ~Store();
};

namespace detail {

inline constexpr std::int64_t kRootKeyId = 0;

// The store of HIVE under the current state root, opened (and its schema
// created) on first use. Returns null and sets ERROR on failure.
std::shared_ptr<RegKey::Store> OpenHiveStore(Hive hive, LONG& error);

// The hive file name: "HKCU.db" or "HKLM.db".
const char* HiveFileName(Hive hive);

// Maps an SQLite result code to a registry error code.
LONG ErrorFromSqlite(int rc, LONG fallback);

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    int prepareResult() const { return prepareRc_; }
    void Bind(int index, std::int64_t value);
    void Bind(int index, std::string_view text);
    void BindBlob(int index, const void* data, std::size_t size);
    int Step();  // SQLITE_ROW, SQLITE_DONE or an error
    void Reset();
    std::int64_t Int(int column) const;
    std::string Text(int column) const;
    std::vector<std::uint8_t> Blob(int column) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepareRc_ = SQLITE_OK;
};

// BEGIN IMMEDIATE on construction (waiting out other writers up to the busy
// time-out); ROLLBACK on destruction unless Commit() succeeded.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    int beginResult() const { return beginRc_; }
    int Commit();

private:
    sqlite3* db_;
    int beginRc_;
    bool done_ = false;
};

}  // namespace detail
}  // namespace win
