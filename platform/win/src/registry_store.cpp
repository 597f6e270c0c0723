#include "registry_store.h"

#include "win/state_root.h"

#include <map>
#include <string>
#include <unistd.h>

namespace win {

RegKey::Store::~Store()
{
    // A connection inherited through fork() belongs to the parent; closing it
    // here could disturb the parent's locks, so the child leaves it alone.
    if (db != nullptr && owner == ::getpid())
        sqlite3_close_v2(db);
}

namespace detail {
namespace {

// Long enough to ride out a burst of writers from several processes; each
// write holds the lock for one short transaction only.
constexpr int kBusyTimeoutMs = 30000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key, folded));";

int Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Some lock conflicts answer SQLITE_BUSY at once instead of calling the busy
// handler: switching a new file to WAL while another process does the same,
// and recovering the WAL index after a crash. Those steps hold no lock of
// ours when they fail, so they are simply tried again for up to the busy
// time-out.
template <typename Step>
int RetryWhileBusy(Step step)
{
    int rc = step();
    for (int waited = 0; (rc & 0xFF) == SQLITE_BUSY && waited < kBusyTimeoutMs; waited += 5) {
        ::usleep(5000);
        rc = step();
    }
    return rc;
}

std::shared_ptr<RegKey::Store> Open(const std::filesystem::path& file, LONG& error)
{
    auto store = std::make_shared<RegKey::Store>();
    store->file = file;
    store->owner = ::getpid();
    int rc = sqlite3_open_v2(file.c_str(), &store->db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = ErrorFromSqlite(rc, ERROR_CANTOPEN);
        return nullptr;
    }
    sqlite3_extended_result_codes(store->db, 0);
    sqlite3_busy_timeout(store->db, kBusyTimeoutMs);
    // WAL lets readers go on while one process writes; FULL makes every
    // committed transaction durable before the call returns.
    rc = RetryWhileBusy([&] { return Exec(store->db, "PRAGMA journal_mode=WAL"); });
    if (rc == SQLITE_OK)
        rc = Exec(store->db, "PRAGMA synchronous=FULL");
    if (rc == SQLITE_OK) {
        rc = RetryWhileBusy([&] {
            WriteTransaction txn(store->db);
            int step = txn.beginResult();
            if (step == SQLITE_OK)
                step = Exec(store->db, kSchema);
            if (step == SQLITE_OK)
                step = txn.Commit();
            return step;
        });
    }
    if (rc != SQLITE_OK) {
        error = ErrorFromSqlite(rc, ERROR_CANTOPEN);
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return store;
}

}  // namespace

const char* HiveFileName(Hive hive)
{
    return hive == Hive::LocalMachine ? "HKLM.db" : "HKCU.db";
}

LONG ErrorFromSqlite(int rc, LONG fallback)
{
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERROR_TIMEOUT;
    case SQLITE_NOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
        return ERROR_BADDB;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return ERROR_ACCESS_DENIED;
    case SQLITE_CANTOPEN:
        return ERROR_CANTOPEN;
    case SQLITE_IOERR:
    case SQLITE_FULL:
        return ERROR_REGISTRY_IO_FAILED;
    case SQLITE_TOOBIG:
        return ERROR_INVALID_PARAMETER;
    default:
        return fallback;
    }
}

std::shared_ptr<RegKey::Store> OpenHiveStore(Hive hive, LONG& error)
{
    // One connection per hive file and process, kept while any key uses it.
    // The file path includes the state root, so a test that moves the root
    // gets a new connection.
    static std::mutex cacheMutex;
    static std::map<std::string, std::weak_ptr<RegKey::Store>> cache;

    const std::filesystem::path file = StateFolderPath(StateFolder::Registry) / HiveFileName(hive);
    std::lock_guard<std::mutex> lock(cacheMutex);
    auto it = cache.find(file.string());
    if (it != cache.end()) {
        if (auto store = it->second.lock(); store && store->owner == ::getpid()) {
            error = ERROR_SUCCESS;
            return store;
        }
    }
    auto store = Open(file, error);
    if (store)
        cache[file.string()] = store;
    return store;
}

Statement::Statement(sqlite3* db, const char* sql)
{
    prepareRc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    if (prepareRc_ != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

void Statement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(stmt_, index, value);
}

void Statement::Bind(int index, std::string_view text)
{
    sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void Statement::BindBlob(int index, const void* data, std::size_t size)
{
    // A zero-length blob must still be a blob, not NULL (the column is NOT NULL).
    static const char empty = 0;
    sqlite3_bind_blob64(stmt_, index, size ? data : &empty, size, SQLITE_TRANSIENT);
}

int Statement::Step()
{
    return sqlite3_step(stmt_);
}

void Statement::Reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::Int(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

std::string Statement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::vector<std::uint8_t> Statement::Blob(int column) const
{
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    if (data == nullptr || size <= 0)
        return {};
    return std::vector<std::uint8_t>(data, data + size);
}

WriteTransaction::WriteTransaction(sqlite3* db)
    : db_(db)
    , beginRc_(RetryWhileBusy([db] { return Exec(db, "BEGIN IMMEDIATE"); }))
{
}

WriteTransaction::~WriteTransaction()
{
    if (beginRc_ == SQLITE_OK && !done_)
        Exec(db_, "ROLLBACK");
}

int WriteTransaction::Commit()
{
    int rc = Exec(db_, "COMMIT");
    if (rc == SQLITE_OK)
        done_ = true;
    return rc;
}

}  // namespace detail
}  // namespace win
