#include "quarantine_store.h"

#include <QUuid>
#include <ctime>

namespace korvad {

namespace {

constexpr const char* kItemColumns =
    "item_code, package_code, definition_id, class, path, item_name, item_data, target_info, target_source, "
    "status, time_quarantined, package_name, package_type, severity, vault_name, restore_data";

std::string Placeholders(std::size_t count, int first)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += (i == 0 ? "?" : ",?") + std::to_string(first + static_cast<int>(i));
    return out;
}

long long Now() { return static_cast<long long>(std::time(nullptr)); }

}  // namespace

int StatusNumber(const std::string& status)
{
    if (status == "found")
        return 1;
    if (status == "restored")
        return 0;
    if (status == "removed")
        return 2;
    return 3;
}

QuarantineStore::QuarantineStore(ServiceDatabase& db, std::shared_ptr<const Definitions> definitions)
    : m_db(db), m_definitions(std::move(definitions))
{
}

long long QuarantineStore::BeginScan(const std::string& scanType)
{
    Statement insert(m_db.Handle(), "INSERT INTO scans(scan_type, started) VALUES(?1, ?2)");
    insert.Bind(1, scanType).Bind(2, Now());
    if (insert.Step() != SQLITE_DONE)
        return -1;
    return sqlite3_last_insert_rowid(m_db.Handle());
}

void QuarantineStore::EndScan(long long scanId, const std::string& outcome)
{
    Statement update(m_db.Handle(), "UPDATE scans SET ended=?2, outcome=?3 WHERE id=?1");
    update.Bind(1, scanId).Bind(2, Now()).Bind(3, outcome);
    update.Step();
}

long long QuarantineStore::LastScanId() const
{
    Statement select(m_db.Handle(), "SELECT COALESCE(MAX(id), 0) FROM scans");
    return select.Step() == SQLITE_ROW ? select.Int64(0) : 0;
}

QuarantineStore::Recorded QuarantineStore::Record(long long scanId, const Finding& finding, std::string* itemCode)
{
    Statement existing(m_db.Cached(
        "SELECT item_code, status FROM quarantine_items WHERE class=?1 AND path=?2 AND definition_id=?3 "
        "AND status IN ('found', 'allowed') ORDER BY rowid DESC LIMIT 1"));
    existing.Bind(1, finding.itemClass).Bind(2, finding.path).Bind(3, finding.definitionId);
    if (existing.Step() == SQLITE_ROW) {
        const std::string code = existing.Text(0);
        const std::string status = existing.Text(1);
        existing.Reset();
        if (status == "allowed")
            return Recorded::Allowed;
        Statement update(m_db.Cached(
            "UPDATE quarantine_items SET scan_id=?2, item_data=?3, item_name=?4, target_info=?5 WHERE item_code=?1"));
        update.Bind(1, code).Bind(2, scanId).Bind(3, finding.itemData).Bind(4, finding.itemName).Bind(5, finding.targetInfo);
        if (update.Step() != SQLITE_DONE)
            return Recorded::Failed;
        if (itemCode != nullptr)
            *itemCode = code;
        return Recorded::Known;
    }
    const Package* package = m_definitions->Find(finding.packageCode);
    const std::string code = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    Statement insert(m_db.Cached(
        "INSERT INTO quarantine_items(item_code, package_code, definition_id, class, path, item_name, item_data, "
        "target_info, status, scan_id, time_found, package_name, package_type, severity) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, 'found', ?9, ?10, ?11, ?12, ?13)"));
    insert.Bind(1, code).Bind(2, finding.packageCode).Bind(3, finding.definitionId).Bind(4, finding.itemClass);
    insert.Bind(5, finding.path).Bind(6, finding.itemName).Bind(7, finding.itemData).Bind(8, finding.targetInfo);
    insert.Bind(9, scanId).Bind(10, Now());
    insert.Bind(11, package != nullptr ? package->name : std::string());
    insert.Bind(12, package != nullptr ? package->type : std::string());
    insert.Bind(13, static_cast<long long>(package != nullptr ? package->SeverityNumber() : 0));
    if (insert.Step() != SQLITE_DONE)
        return Recorded::Failed;
    if (itemCode != nullptr)
        *itemCode = code;
    return Recorded::New;
}

ItemRecord QuarantineStore::Read(const Statement& row) const
{
    ItemRecord r;
    r.itemCode = row.Text(0);
    r.packageCode = row.Text(1);
    r.definitionId = row.Int64(2);
    r.itemClass = row.Text(3);
    r.path = row.Text(4);
    r.itemName = row.Text(5);
    r.itemData = row.Text(6);
    r.targetInfo = row.Text(7);
    r.targetSource = row.Int(8);
    r.status = row.Text(9);
    r.timeQuarantined = row.Int64(10);
    r.packageType = row.Text(12);
    r.severity = row.Int(13);
    r.vaultName = row.Text(14);
    r.restoreData = row.Text(15);
    // A package the definitions no longer hold has no name: the pages then
    // say it is no longer targeted.
    const Package* package = m_definitions->Find(r.packageCode);
    r.packageName = package != nullptr ? package->name : std::string();
    if (package != nullptr) {
        r.packageType = package->type;
        r.severity = package->SeverityNumber();
    }
    return r;
}

std::vector<ItemRecord> QuarantineStore::Items(const std::vector<std::string>& statuses, std::size_t limit) const
{
    const std::string sql = std::string("SELECT ") + kItemColumns + " FROM quarantine_items WHERE status IN (" +
                            Placeholders(statuses.size(), 1) + ") ORDER BY package_code, rowid LIMIT " +
                            std::to_string(limit);
    Statement select(m_db.Handle(), sql.c_str());
    for (std::size_t i = 0; i < statuses.size(); ++i)
        select.Bind(static_cast<int>(i + 1), statuses[i]);
    std::vector<ItemRecord> out;
    while (select.Step() == SQLITE_ROW)
        out.push_back(Read(select));
    return out;
}

std::vector<ItemRecord> QuarantineStore::PackageItems(const std::string& packageCode,
                                                      const std::vector<std::string>& statuses) const
{
    const std::string sql = std::string("SELECT ") + kItemColumns +
                            " FROM quarantine_items WHERE package_code=?1 AND status IN (" +
                            Placeholders(statuses.size(), 2) + ") ORDER BY rowid";
    Statement select(m_db.Handle(), sql.c_str());
    select.Bind(1, packageCode);
    for (std::size_t i = 0; i < statuses.size(); ++i)
        select.Bind(static_cast<int>(i + 2), statuses[i]);
    std::vector<ItemRecord> out;
    while (select.Step() == SQLITE_ROW)
        out.push_back(Read(select));
    return out;
}

bool QuarantineStore::Item(const std::string& itemCode, ItemRecord& record) const
{
    const std::string sql = std::string("SELECT ") + kItemColumns + " FROM quarantine_items WHERE item_code=?1";
    Statement select(m_db.Handle(), sql.c_str());
    select.Bind(1, itemCode);
    if (select.Step() != SQLITE_ROW)
        return false;
    record = Read(select);
    return true;
}

long long QuarantineStore::Count(const std::vector<std::string>& statuses) const
{
    const std::string sql =
        "SELECT COUNT(*) FROM quarantine_items WHERE status IN (" + Placeholders(statuses.size(), 1) + ")";
    Statement select(m_db.Handle(), sql.c_str());
    for (std::size_t i = 0; i < statuses.size(); ++i)
        select.Bind(static_cast<int>(i + 1), statuses[i]);
    return select.Step() == SQLITE_ROW ? select.Int64(0) : 0;
}

std::vector<PackageCount> QuarantineStore::FoundPackages(long long scanId) const
{
    Statement select(m_db.Handle(),
                     "SELECT package_code, COUNT(*), MAX(package_type), MAX(severity) FROM quarantine_items "
                     "WHERE scan_id=?1 AND status='found' GROUP BY package_code ORDER BY MIN(rowid)");
    select.Bind(1, scanId);
    std::vector<PackageCount> out;
    while (select.Step() == SQLITE_ROW) {
        PackageCount count;
        count.packageCode = select.Text(0);
        count.count = select.Int64(1);
        count.packageType = select.Text(2);
        count.severity = select.Int(3);
        if (const Package* package = m_definitions->Find(count.packageCode)) {
            count.packageName = package->name;
            count.packageType = package->type;
            count.severity = package->SeverityNumber();
        }
        out.push_back(count);
    }
    return out;
}

int QuarantineStore::PackageStatus(const std::string& packageCode) const
{
    Statement select(m_db.Handle(), "SELECT status FROM quarantine_items WHERE package_code=?1");
    select.Bind(1, packageCode);
    bool any = false, found = false, removed = false, allowed = false;
    while (select.Step() == SQLITE_ROW) {
        any = true;
        const std::string status = select.Text(0);
        found = found || status == "found";
        removed = removed || status == "removed" || status == "quarantined";
        allowed = allowed || status == "allowed";
    }
    if (!any)
        return -1;
    return found ? 1 : removed ? 2 : allowed ? 3 : 0;
}

bool QuarantineStore::Update(const ItemRecord& record, std::string* error)
{
    Statement update(m_db.Cached(
        "UPDATE quarantine_items SET status=?2, time_quarantined=?3, vault_name=?4, restore_data=?5 WHERE item_code=?1"));
    update.Bind(1, record.itemCode).Bind(2, record.status).Bind(3, record.timeQuarantined);
    update.Bind(4, record.vaultName).Bind(5, record.restoreData);
    if (update.Step() == SQLITE_DONE)
        return true;
    if (error != nullptr)
        *error = std::string("cannot record the item: ") + sqlite3_errmsg(m_db.Handle());
    return false;
}

bool QuarantineStore::Delete(const std::string& itemCode, std::string* error)
{
    Statement remove(m_db.Handle(), "DELETE FROM quarantine_items WHERE item_code=?1");
    remove.Bind(1, itemCode);
    if (remove.Step() == SQLITE_DONE)
        return true;
    if (error != nullptr)
        *error = std::string("cannot delete the item: ") + sqlite3_errmsg(m_db.Handle());
    return false;
}

void QuarantineStore::AddFailed(const FailedItem& item)
{
    Statement insert(m_db.Handle(),
                     "INSERT OR REPLACE INTO failed_items(full_path, path, item_code, package_code, package_name, severity) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    insert.Bind(1, item.fullPath).Bind(2, item.path).Bind(3, item.itemCode).Bind(4, item.packageCode);
    insert.Bind(5, item.packageName).Bind(6, static_cast<long long>(item.severity));
    insert.Step();
}

std::vector<FailedItem> QuarantineStore::FailedItems() const
{
    Statement select(m_db.Handle(),
                     "SELECT full_path, path, item_code, package_code, package_name, severity FROM failed_items "
                     "ORDER BY rowid");
    std::vector<FailedItem> out;
    while (select.Step() == SQLITE_ROW)
        out.push_back({select.Text(0), select.Text(1), select.Text(2), select.Text(3), select.Text(4), select.Int(5)});
    return out;
}

bool QuarantineStore::RemoveFailed(const std::string& fullPath, FailedItem* item)
{
    for (const FailedItem& failed : FailedItems()) {
        if (failed.fullPath != fullPath)
            continue;
        if (item != nullptr)
            *item = failed;
        Statement remove(m_db.Handle(), "DELETE FROM failed_items WHERE full_path=?1");
        remove.Bind(1, fullPath);
        return remove.Step() == SQLITE_DONE;
    }
    return false;
}

void QuarantineStore::ClearFailed() { m_db.Exec("DELETE FROM failed_items;"); }

std::vector<QuarantineStore::OptimizeItem> QuarantineStore::OptimizeItems() const
{
    Statement select(m_db.Handle(), "SELECT id, key, type, data, state FROM optimize_items ORDER BY id");
    std::vector<OptimizeItem> out;
    while (select.Step() == SQLITE_ROW)
        out.push_back({select.Int64(0), select.Text(1), select.Text(2), select.Text(3), select.Text(4)});
    return out;
}

bool QuarantineStore::SetOptimizeState(long long id, const std::string& state)
{
    Statement update(m_db.Handle(), "UPDATE optimize_items SET state=?2 WHERE id=?1");
    update.Bind(1, id).Bind(2, state);
    return update.Step() == SQLITE_DONE && sqlite3_changes(m_db.Handle()) > 0;
}

bool QuarantineStore::DeleteOptimizeItem(long long id)
{
    Statement remove(m_db.Handle(), "DELETE FROM optimize_items WHERE id=?1");
    remove.Bind(1, id);
    return remove.Step() == SQLITE_DONE && sqlite3_changes(m_db.Handle()) > 0;
}

}  // namespace korvad
