// What the quarantine does to one item: removal (a file into the vault; a
// registry key or value, a cookie or a hosts line deleted after its restore
// copy is recorded), restoration, purging. Each step is recorded in the
// database before and after the change on disk, so a crash in between is
// settled by Reconcile on the next start.
#pragma once

#include <string>

#include "quarantine_store.h"
#include "scan_settings.h"
#include "vault.h"

namespace korvad {

class Quarantine {
public:
    Quarantine(QuarantineStore& store, Vault& vault, const ScanSettings& settings)
        : m_store(store), m_vault(vault), m_settings(settings)
    {
    }

    // Settles items a crash left between two states.
    void Reconcile();

    // ITEM must be "found" or "allowed"; it becomes "removed".
    bool Extract(ItemRecord& item, std::string* error);
    // ITEM must be "removed" (or "quarantined"); it becomes "restored".
    bool Restore(ItemRecord& item, std::string* error);
    // Forgets a removed item and deletes its vault copy.
    bool Purge(ItemRecord& item, std::string* error);
    bool HasVaultCopy(const ItemRecord& item) const { return m_vault.Contains(item.vaultName); }

private:
    bool ExtractRegistry(ItemRecord& item, std::string* error);
    bool RemoveLines(ItemRecord& item, const std::string& file, bool cookies, std::string* error);
    bool PutLinesBack(const ItemRecord& item, const std::string& file, std::string* error);

    QuarantineStore& m_store;
    Vault& m_vault;
    const ScanSettings& m_settings;
};

}  // namespace korvad
