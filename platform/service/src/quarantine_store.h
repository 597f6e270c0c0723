// The quarantine's records in the service database: scans, the items they
// found and each item's status ("found", "allowed", "removed", "restored";
// "quarantined" is accepted from older records and read like "removed"),
// the removals that failed, and the optimization rows. Main thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "definitions.h"
#include "scan_engine.h"
#include "service_database.h"

namespace korvad {

struct ItemRecord {
    std::string itemCode;
    std::string packageCode;
    long long definitionId = 0;
    std::string itemClass;
    std::string path;
    std::string itemName;
    std::string itemData;
    std::string targetInfo;
    int targetSource = 0;
    std::string status;
    long long timeQuarantined = 0;
    std::string packageName;  // empty when the package is no longer in the definitions
    std::string packageType;
    int severity = 0;
    std::string vaultName;
    std::string restoreData;
};

struct PackageCount {
    std::string packageCode;
    std::string packageName;
    std::string packageType;
    int severity = 0;
    long long count = 0;
};

struct FailedItem {
    std::string fullPath;
    std::string path;
    std::string itemCode;
    std::string packageCode;
    std::string packageName;
    int severity = 0;
};

class QuarantineStore {
public:
    QuarantineStore(ServiceDatabase& db, std::shared_ptr<const Definitions> definitions);

    long long BeginScan(const std::string& scanType);
    void EndScan(long long scanId, const std::string& outcome);
    long long LastScanId() const;

    enum class Recorded { New, Known, Allowed, Failed };
    // Records FINDING of scan SCAN_ID. An item already found (same class,
    // path and definition) is kept and moved to this scan; an allowed one
    // is not reported again.
    Recorded Record(long long scanId, const Finding& finding, std::string* itemCode);

    // Items with one of STATUSES, the items of one package one after the
    // other (packages by code, items in the order they were found); at most
    // LIMIT rows.
    std::vector<ItemRecord> Items(const std::vector<std::string>& statuses, std::size_t limit) const;
    std::vector<ItemRecord> PackageItems(const std::string& packageCode, const std::vector<std::string>& statuses) const;
    bool Item(const std::string& itemCode, ItemRecord& record) const;
    long long Count(const std::vector<std::string>& statuses) const;
    // One row per package with items of scan SCAN_ID still "found".
    std::vector<PackageCount> FoundPackages(long long scanId) const;
    // The package's state as a number ("found" 1, "removed" 2, "allowed" 3,
    // "restored" 0); -1 when the package has no items.
    int PackageStatus(const std::string& packageCode) const;

    bool Update(const ItemRecord& record, std::string* error);
    bool Delete(const std::string& itemCode, std::string* error);

    void AddFailed(const FailedItem& item);
    std::vector<FailedItem> FailedItems() const;
    bool RemoveFailed(const std::string& fullPath, FailedItem* item);
    void ClearFailed();

    struct OptimizeItem {
        long long id;
        std::string key, type, data, state;
    };
    std::vector<OptimizeItem> OptimizeItems() const;
    bool SetOptimizeState(long long id, const std::string& state);
    bool DeleteOptimizeItem(long long id);

    const Definitions& definitions() const { return *m_definitions; }
    ServiceDatabase& database() { return m_db; }

private:
    ItemRecord Read(const Statement& row) const;
    ServiceDatabase& m_db;
    std::shared_ptr<const Definitions> m_definitions;
};

// The item status number clients read: "found" 1, "restored" 0, "removed" 2,
// anything else 3.
int StatusNumber(const std::string& status);

}  // namespace korvad
