// Registry keys over the hive store (see registry_store.h for the layout).
#include "win/registry.h"

#include "case_fold.h"
#include "registry_store.h"

#include <cstring>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace win {

using detail::FoldCase;
using detail::kRootKeyId;
using detail::Statement;
using detail::WriteTransaction;

namespace {

// Path components between "\" separators; empty components (doubled or
// leading separators) are skipped.
std::vector<std::string_view> SplitKeyPath(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string JoinKeyPath(const std::string& base, std::string_view rest)
{
    std::string joined = base;
    for (std::string_view part : SplitKeyPath(rest)) {
        if (!joined.empty())
            joined += '\\';
        joined += part;
    }
    return joined;
}

// ERROR_SUCCESS when key ID still exists, ERROR_KEY_DELETED when it was
// deleted meanwhile.
LONG CheckKey(sqlite3* db, std::int64_t id)
{
    if (id == kRootKeyId)
        return ERROR_SUCCESS;
    Statement st(db, "SELECT 1 FROM keys WHERE id=?1");
    if (!st.ok())
        return detail::ErrorFromSqlite(st.prepareResult(), ERROR_CANTREAD);
    st.Bind(1, id);
    const int rc = st.Step();
    if (rc == SQLITE_ROW)
        return ERROR_SUCCESS;
    if (rc == SQLITE_DONE)
        return ERROR_KEY_DELETED;
    return detail::ErrorFromSqlite(rc, ERROR_CANTREAD);
}

// One call's hold on a key of a store: the handle must be open and belong
// to this process (a connection is not used after fork()), the store's lock
// is held for the whole call, a write runs in one write transaction, and the
// key must still exist (unless the caller checks that itself later).
// error() is ERROR_SUCCESS when all of that holds; then db() is usable.
class LockedKey {
public:
    enum class Access { Read, Write };
    enum class KeyCheck { Now, Later };

    LockedKey(const std::shared_ptr<RegKey::Store>& store, std::int64_t id, Access access,
              KeyCheck check = KeyCheck::Now)
    {
        if (!store || store->owner != ::getpid()) {
            error_ = ERROR_INVALID_HANDLE;
            return;
        }
        lock_ = std::unique_lock<std::mutex>(store->mutex);
        db_ = store->db;
        if (access == Access::Write) {
            transaction_.emplace(db_);
            if (transaction_->beginResult() != SQLITE_OK) {
                error_ = detail::ErrorFromSqlite(transaction_->beginResult(), ERROR_CANTWRITE);
                return;
            }
        }
        if (check == KeyCheck::Now)
            error_ = CheckKey(db_, id);
    }

    LONG error() const { return error_; }
    sqlite3* db() const { return db_; }
    // Commits the write transaction (Access::Write only).
    int Commit() { return transaction_->Commit(); }

private:
    // Declared before the transaction, so the transaction ends (rolled back
    // unless committed) while the lock is still held.
    std::unique_lock<std::mutex> lock_;
    std::optional<WriteTransaction> transaction_;
    sqlite3* db_ = nullptr;
    LONG error_ = ERROR_SUCCESS;
};

// Walks PARTS down from key BASE. Sets ID to the key found, or to -1 with
// ERROR_FILE_NOT_FOUND when a component is missing.
LONG FindKey(sqlite3* db, std::int64_t base, const std::vector<std::string_view>& parts, std::int64_t& id)
{
    Statement st(db, "SELECT id FROM keys WHERE parent=?1 AND folded=?2");
    if (!st.ok())
        return detail::ErrorFromSqlite(st.prepareResult(), ERROR_CANTREAD);
    id = base;
    for (std::string_view part : parts) {
        st.Reset();
        st.Bind(1, id);
        st.Bind(2, FoldCase(part));
        const int rc = st.Step();
        if (rc == SQLITE_DONE) {
            id = -1;
            return ERROR_FILE_NOT_FOUND;
        }
        if (rc != SQLITE_ROW)
            return detail::ErrorFromSqlite(rc, ERROR_CANTREAD);
        id = st.Int(0);
    }
    return ERROR_SUCCESS;
}

// Deletes the values and subkeys of key ID, and with SELF also the key's
// own row. Runs inside the caller's transaction.
int DeleteBelow(sqlite3* db, std::int64_t id, bool self)
{
    static constexpr const char* kDeleteValues =
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent=sub.id) "
        "DELETE FROM vals WHERE key IN (SELECT id FROM sub)";
    static constexpr const char* kDeleteKeys =
        "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent=sub.id) "
        "DELETE FROM keys WHERE id IN (SELECT id FROM sub) AND (?2 OR id<>?1)";
    Statement values(db, kDeleteValues);
    if (!values.ok())
        return values.prepareResult();
    values.Bind(1, id);
    int rc = values.Step();
    if (rc != SQLITE_DONE)
        return rc;
    Statement keys(db, kDeleteKeys);
    if (!keys.ok())
        return keys.prepareResult();
    keys.Bind(1, id);
    keys.Bind(2, static_cast<std::int64_t>(self ? 1 : 0));
    rc = keys.Step();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

std::vector<std::uint8_t> BytesOf(std::string_view text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string TextOf(const std::vector<std::uint8_t>& data)
{
    std::size_t size = data.size();
    // Text written as raw bytes may carry the terminating NULs of C strings.
    while (size > 0 && data[size - 1] == 0)
        --size;
    return std::string(reinterpret_cast<const char*>(data.data()), size);
}

}  // namespace

RegKey::RegKey() = default;
RegKey::~RegKey() = default;
RegKey::RegKey(RegKey&& other) noexcept = default;
RegKey& RegKey::operator=(RegKey&& other) noexcept = default;

RegKey::RegKey(std::shared_ptr<Store> store, std::int64_t id, Hive hive, std::string path)
    : store_(std::move(store))
    , id_(id)
    , hive_(hive)
    , path_(std::move(path))
{
}

bool RegKey::IsOpen() const
{
    return store_ != nullptr;
}

void RegKey::Close()
{
    store_.reset();
    id_ = -1;
    path_.clear();
}

Hive RegKey::hive() const
{
    return hive_;
}

const std::string& RegKey::path() const
{
    return path_;
}

LONG RegKey::CreateBelow(const std::shared_ptr<Store>& store, std::int64_t base, Hive hive,
                         const std::string& basePath, std::string_view path, RegKey& key, bool* existed)
{
    const std::vector<std::string_view> parts = SplitKeyPath(path);
    std::int64_t id = base;
    bool found = true;
    {
        LockedKey locked(store, base, LockedKey::Access::Write);
        if (locked.error() != ERROR_SUCCESS)
            return locked.error();
        sqlite3* db = locked.db();
        Statement find(db, "SELECT id FROM keys WHERE parent=?1 AND folded=?2");
        Statement insert(db, "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3)");
        if (!find.ok() || !insert.ok())
            return detail::ErrorFromSqlite(find.ok() ? insert.prepareResult() : find.prepareResult(), ERROR_CANTWRITE);
        for (std::string_view part : parts) {
            const std::string folded = FoldCase(part);
            if (found) {
                find.Reset();
                find.Bind(1, id);
                find.Bind(2, folded);
                const int rc = find.Step();
                if (rc == SQLITE_ROW) {
                    id = find.Int(0);
                    continue;
                }
                if (rc != SQLITE_DONE)
                    return detail::ErrorFromSqlite(rc, ERROR_CANTREAD);
                found = false;
            }
            insert.Reset();
            insert.Bind(1, id);
            insert.Bind(2, part);
            insert.Bind(3, folded);
            const int rc = insert.Step();
            if (rc != SQLITE_DONE)
                return detail::ErrorFromSqlite(rc, ERROR_CANTWRITE);
            id = sqlite3_last_insert_rowid(db);
        }
        if (!found) {
            const int rc = locked.Commit();
            if (rc != SQLITE_OK)
                return detail::ErrorFromSqlite(rc, ERROR_CANTWRITE);
        }
    }
    if (existed != nullptr)
        *existed = found;
    key = RegKey(store, id, hive, JoinKeyPath(basePath, path));
    return ERROR_SUCCESS;
}

LONG RegKey::OpenBelow(const std::shared_ptr<Store>& store, std::int64_t base, Hive hive,
                       const std::string& basePath, std::string_view path, RegKey& key)
{
    std::int64_t id = -1;
    {
        LockedKey locked(store, base, LockedKey::Access::Read);
        if (locked.error() != ERROR_SUCCESS)
            return locked.error();
        const LONG error = FindKey(locked.db(), base, SplitKeyPath(path), id);
        if (error != ERROR_SUCCESS)
            return error;
    }
    key = RegKey(store, id, hive, JoinKeyPath(basePath, path));
    return ERROR_SUCCESS;
}

LONG RegKey::Create(Hive hive, std::string_view path, RegKey& key, bool* existed)
{
    LONG error = ERROR_SUCCESS;
    auto store = detail::OpenHiveStore(hive, error);
    if (!store)
        return error;
    return CreateBelow(store, kRootKeyId, hive, std::string(), path, key, existed);
}

LONG RegKey::Open(Hive hive, std::string_view path, RegKey& key)
{
    LONG error = ERROR_SUCCESS;
    auto store = detail::OpenHiveStore(hive, error);
    if (!store)
        return error;
    return OpenBelow(store, kRootKeyId, hive, std::string(), path, key);
}

LONG RegKey::CreateSubKey(std::string_view name, RegKey& key, bool* existed) const
{
    if (!store_)
        return ERROR_INVALID_HANDLE;
    return CreateBelow(store_, id_, hive_, path_, name, key, existed);
}

LONG RegKey::OpenSubKey(std::string_view name, RegKey& key) const
{
    if (!store_)
        return ERROR_INVALID_HANDLE;
    return OpenBelow(store_, id_, hive_, path_, name, key);
}

LONG RegKey::ReadValue(std::string_view name, DWORD& type, std::vector<std::uint8_t>& data) const
{
    // The key is checked only when the value is missing: a found value
    // proves the key exists.
    LockedKey locked(store_, id_, LockedKey::Access::Read, LockedKey::KeyCheck::Later);
    if (locked.error() != ERROR_SUCCESS)
        return locked.error();
    Statement st(locked.db(), "SELECT type, data FROM vals WHERE key=?1 AND folded=?2");
    if (!st.ok())
        return detail::ErrorFromSqlite(st.prepareResult(), ERROR_CANTREAD);
    st.Bind(1, id_);
    st.Bind(2, FoldCase(name));
    const int rc = st.Step();
    if (rc == SQLITE_ROW) {
        type = static_cast<DWORD>(st.Int(0));
        data = st.Blob(1);
        return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE)
        return detail::ErrorFromSqlite(rc, ERROR_CANTREAD);
    const LONG error = CheckKey(locked.db(), id_);
    return error == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : error;
}

LONG RegKey::QueryValue(std::string_view name, DWORD& type, std::vector<std::uint8_t>& data) const
{
    return ReadValue(name, type, data);
}

LONG RegKey::QueryString(std::string_view name, std::string& value, bool expand) const
{
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    const LONG error = ReadValue(name, type, data);
    if (error != ERROR_SUCCESS)
        return error;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_UNSUPPORTED_TYPE;
    value = TextOf(data);
    if (expand && type == REG_EXPAND_SZ)
        value = ExpandEnvironmentStrings(value);
    return ERROR_SUCCESS;
}

LONG RegKey::QueryDword(std::string_view name, DWORD& value) const
{
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    const LONG error = ReadValue(name, type, data);
    if (error != ERROR_SUCCESS)
        return error;
    if (type != REG_DWORD)
        return ERROR_UNSUPPORTED_TYPE;
    if (data.size() != 4)
        return ERROR_INVALID_DATA;
    value = static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 | static_cast<DWORD>(data[2]) << 16 |
            static_cast<DWORD>(data[3]) << 24;
    return ERROR_SUCCESS;
}

LONG RegKey::QueryQword(std::string_view name, std::uint64_t& value) const
{
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    const LONG error = ReadValue(name, type, data);
    if (error != ERROR_SUCCESS)
        return error;
    if (type != REG_QWORD)
        return ERROR_UNSUPPORTED_TYPE;
    if (data.size() != 8)
        return ERROR_INVALID_DATA;
    value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | data[static_cast<std::size_t>(i)];
    return ERROR_SUCCESS;
}

LONG RegKey::QueryBinary(std::string_view name, std::vector<std::uint8_t>& value) const
{
    DWORD type = REG_NONE;
    return ReadValue(name, type, value);
}

LONG RegKey::QueryMultiString(std::string_view name, std::vector<std::string>& value) const
{
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    const LONG error = ReadValue(name, type, data);
    if (error != ERROR_SUCCESS)
        return error;
    if (type != REG_MULTI_SZ)
        return ERROR_UNSUPPORTED_TYPE;
    value.clear();
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = start;
        while (end < data.size() && data[end] != 0)
            ++end;
        if (end == start)
            break;  // the empty text that ends the list
        value.emplace_back(reinterpret_cast<const char*>(data.data()) + start, end - start);
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

LONG RegKey::SetValue(std::string_view name, DWORD type, const std::vector<std::uint8_t>& data) const
{
    LockedKey locked(store_, id_, LockedKey::Access::Write);
    if (locked.error() != ERROR_SUCCESS)
        return locked.error();
    sqlite3* db = locked.db();
    // A value keeps the spelling of its first creation, as keys do.
    Statement st(db,
                 "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                 "ON CONFLICT(key, folded) DO UPDATE SET type=excluded.type, data=excluded.data");
    if (!st.ok())
        return detail::ErrorFromSqlite(st.prepareResult(), ERROR_CANTWRITE);
    st.Bind(1, id_);
    st.Bind(2, name);
    st.Bind(3, FoldCase(name));
    st.Bind(4, static_cast<std::int64_t>(type));
    st.BindBlob(5, data.data(), data.size());
    int rc = st.Step();
    if (rc != SQLITE_DONE)
        return detail::ErrorFromSqlite(rc, ERROR_CANTWRITE);
    rc = locked.Commit();
    return detail::ErrorFromSqlite(rc, ERROR_CANTWRITE);
}

LONG RegKey::SetString(std::string_view name, std::string_view value, DWORD type) const
{
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_PARAMETER;
    return SetValue(name, type, BytesOf(value));
}

LONG RegKey::SetDword(std::string_view name, DWORD value) const
{
    std::vector<std::uint8_t> data(4);
    for (std::size_t i = 0; i < 4; ++i)
        data[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return SetValue(name, REG_DWORD, data);
}

LONG RegKey::SetQword(std::string_view name, std::uint64_t value) const
{
    std::vector<std::uint8_t> data(8);
    for (std::size_t i = 0; i < 8; ++i)
        data[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return SetValue(name, REG_QWORD, data);
}

LONG RegKey::SetBinary(std::string_view name, const std::vector<std::uint8_t>& value) const
{
    return SetValue(name, REG_BINARY, value);
}

LONG RegKey::SetMultiString(std::string_view name, const std::vector<std::string>& value) const
{
    std::vector<std::uint8_t> data;
    for (const std::string& text : value) {
        if (text.empty() || text.find('\0') != std::string::npos)
            return ERROR_INVALID_PARAMETER;
        data.insert(data.end(), text.begin(), text.end());
        data.push_back(0);
    }
    data.push_back(0);
    return SetValue(name, REG_MULTI_SZ, data);
}

LONG RegKey::DeleteValue(std::string_view name) const
{
    LockedKey locked(store_, id_, LockedKey::Access::Write);
    if (locked.error() != ERROR_SUCCESS)
        return locked.error();
    sqlite3* db = locked.db();
    Statement st(db, "DELETE FROM vals WHERE key=?1 AND folded=?2");
    if (!st.ok())
        return detail::ErrorFromSqlite(st.prepareResult(), ERROR_CANTWRITE);
    st.Bind(1, id_);
    st.Bind(2, FoldCase(name));
    int rc = st.Step();
    if (rc != SQLITE_DONE)
        return detail::ErrorFromSqlite(rc, ERROR_CANTWRITE);
    if (sqlite3_changes(db) == 0)
        return ERROR_FILE_NOT_FOUND;
    rc = locked.Commit();
    return detail::ErrorFromSqlite(rc, ERROR_CANTWRITE);
}

LONG RegKey::EnumSubKeys(std::vector<std::string>& names) const
{
    LockedKey locked(store_, id_, LockedKey::Access::Read);
    if (locked.error() != ERROR_SUCCESS)
        return locked.error();
    Statement st(locked.db(), "SELECT name FROM keys WHERE parent=?1 ORDER BY folded");
    if (!st.ok())
        return detail::ErrorFromSqlite(st.prepareResult(), ERROR_CANTREAD);
    st.Bind(1, id_);
    names.clear();
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW)
        names.push_back(st.Text(0));
    return rc == SQLITE_DONE ? ERROR_SUCCESS : detail::ErrorFromSqlite(rc, ERROR_CANTREAD);
}

LONG RegKey::EnumValues(std::vector<RegValue>& values) const
{
    LockedKey locked(store_, id_, LockedKey::Access::Read);
    if (locked.error() != ERROR_SUCCESS)
        return locked.error();
    Statement st(locked.db(), "SELECT name, type, data FROM vals WHERE key=?1 ORDER BY folded");
    if (!st.ok())
        return detail::ErrorFromSqlite(st.prepareResult(), ERROR_CANTREAD);
    st.Bind(1, id_);
    values.clear();
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW)
        values.push_back(RegValue{st.Text(0), static_cast<DWORD>(st.Int(1)), st.Blob(2)});
    return rc == SQLITE_DONE ? ERROR_SUCCESS : detail::ErrorFromSqlite(rc, ERROR_CANTREAD);
}

LONG RegKey::DeleteSubKey(std::string_view name) const
{
    LockedKey locked(store_, id_, LockedKey::Access::Write);
    if (locked.error() != ERROR_SUCCESS)
        return locked.error();
    sqlite3* db = locked.db();
    std::int64_t target = -1;
    const LONG error = FindKey(db, id_, SplitKeyPath(name), target);
    if (error != ERROR_SUCCESS)
        return error;
    if (target == kRootKeyId)
        return ERROR_ACCESS_DENIED;
    Statement children(db, "SELECT 1 FROM keys WHERE parent=?1 LIMIT 1");
    if (!children.ok())
        return detail::ErrorFromSqlite(children.prepareResult(), ERROR_CANTREAD);
    children.Bind(1, target);
    const int rc = children.Step();
    if (rc == SQLITE_ROW)
        return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE)
        return detail::ErrorFromSqlite(rc, ERROR_CANTREAD);
    int drc = DeleteBelow(db, target, /*self=*/true);
    if (drc == SQLITE_OK)
        drc = locked.Commit();
    return detail::ErrorFromSqlite(drc, ERROR_CANTWRITE);
}

LONG RegKey::DeleteTree(std::string_view name) const
{
    LockedKey locked(store_, id_, LockedKey::Access::Write);
    if (locked.error() != ERROR_SUCCESS)
        return locked.error();
    sqlite3* db = locked.db();
    const std::vector<std::string_view> parts = SplitKeyPath(name);
    std::int64_t target = -1;
    const LONG error = FindKey(db, id_, parts, target);
    if (error != ERROR_SUCCESS)
        return error;
    const bool self = !parts.empty() && target != kRootKeyId;
    int rc = DeleteBelow(db, target, self);
    if (rc == SQLITE_OK)
        rc = locked.Commit();
    return detail::ErrorFromSqlite(rc, ERROR_CANTWRITE);
}

}  // namespace win
