#include "quarantine.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>

#include "registry_items.h"
#include "text_stores.h"

namespace korvad {

namespace {

bool SetError(std::string* error, const std::string& text)
{
    if (error != nullptr)
        *error = text;
    return false;
}

const DefinitionItem* FindDefinition(const Definitions& definitions, long long id)
{
    for (const Package& package : definitions.packages)
        for (const DefinitionItem& item : package.items)
            if (item.id == id)
                return &item;
    return nullptr;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

}  // namespace

void Quarantine::Reconcile()
{
    for (ItemRecord& item : m_store.Items({"found", "allowed"}, 1000000)) {
        if (item.vaultName.empty())
            continue;
        if (m_vault.Contains(item.vaultName)) {
            item.status = "removed";
            item.timeQuarantined = static_cast<long long>(std::time(nullptr));
        } else {
            item.vaultName.clear();
        }
        m_store.Update(item, nullptr);
    }
    for (ItemRecord& item : m_store.Items({"removed", "quarantined"}, 1000000)) {
        struct stat st {};
        if (item.itemClass == "file" && !m_vault.Contains(item.vaultName) && ::lstat(item.path.c_str(), &st) == 0) {
            item.status = "restored";
            item.vaultName.clear();
            m_store.Update(item, nullptr);
        }
    }
}

bool Quarantine::Extract(ItemRecord& item, std::string* error)
{
    if (item.status != "found" && item.status != "allowed")
        return SetError(error, "the item is " + item.status + ", not found or allowed");
    const std::string before = item.status;
    if (item.itemClass == "file") {
        // The vault name is recorded first: should korvad die mid-move,
        // the next start finds the file in the vault and knows whose it is.
        item.vaultName = item.itemCode;
        if (!m_store.Update(item, error))
            return false;
        if (!m_vault.MoveIn(item.path, item.vaultName, error)) {
            item.vaultName.clear();
            m_store.Update(item, nullptr);
            return false;
        }
    } else if (item.itemClass == "registry") {
        if (!ExtractRegistry(item, error))
            return false;
    } else if (item.itemClass == "cookie") {
        if (!RemoveLines(item, m_settings.cookieFile, /*cookies=*/true, error))
            return false;
    } else if (item.itemClass == "hosts") {
        if (!m_settings.hostsFileWritable)
            return SetError(error, "korvad does not edit " + m_settings.hostsFile +
                                       " (choose a hosts file with hosts_file= to let it)");
        if (!RemoveLines(item, m_settings.hostsFile, /*cookies=*/false, error))
            return false;
    } else {
        return SetError(error, "items of class \"" + item.itemClass + "\" cannot be removed");
    }
    item.status = "removed";
    item.timeQuarantined = static_cast<long long>(std::time(nullptr));
    if (!m_store.Update(item, error)) {
        item.status = before;
        return false;
    }
    return true;
}

bool Quarantine::ExtractRegistry(ItemRecord& item, std::string* error)
{
    const DefinitionItem* definition = FindDefinition(m_store.definitions(), item.definitionId);
    if (definition == nullptr)
        return SetError(error, "the definitions no longer name this registry item");
    const bool isValue = definition->kind == MatchKind::RegistryValue;
    std::string snapshot;
    const bool saved = isValue ? SnapshotRegistryValue(definition->hive, definition->keyPath, definition->valueName,
                                                       snapshot, error)
                               : SnapshotRegistryKey(definition->hive, definition->keyPath, snapshot, error);
    if (!saved)
        return false;
    item.restoreData = snapshot;
    if (!m_store.Update(item, error))
        return false;
    return isValue ? DeleteRegistryValue(definition->hive, definition->keyPath, definition->valueName, error)
                   : DeleteRegistryKey(definition->hive, definition->keyPath, error);
}

bool Quarantine::RemoveLines(ItemRecord& item, const std::string& file, bool cookies, std::string* error)
{
    std::vector<std::string> lines;
    if (!ReadLines(file, lines, /*missingOk=*/false, error))
        return false;
    std::vector<std::string> kept, removed;
    for (const std::string& line : lines) {
        bool match = false;
        if (cookies) {
            CookieLine cookie;
            match = ParseCookieLine(line, cookie) && CookieItemName(cookie) == item.path;
        } else {
            const auto hosts = HijackedHosts(line);
            match = std::find(hosts.begin(), hosts.end(), item.path) != hosts.end();
        }
        (match ? removed : kept).push_back(line);
    }
    std::string restore;
    for (const std::string& line : removed)
        restore += line + "\n";
    item.restoreData = restore;
    if (!m_store.Update(item, error))
        return false;
    if (removed.empty())
        return true;  // already gone
    return WriteLinesAtomically(file, kept, error);
}

bool Quarantine::PutLinesBack(const ItemRecord& item, const std::string& file, std::string* error)
{
    std::vector<std::string> lines;
    if (!ReadLines(file, lines, /*missingOk=*/true, error))
        return false;
    bool changed = false;
    for (const std::string& line : SplitLines(item.restoreData)) {
        if (std::find(lines.begin(), lines.end(), line) == lines.end()) {
            lines.push_back(line);
            changed = true;
        }
    }
    return !changed || WriteLinesAtomically(file, lines, error);
}

bool Quarantine::Restore(ItemRecord& item, std::string* error)
{
    if (item.status != "removed" && item.status != "quarantined")
        return SetError(error, "the item is " + item.status + ", not removed");
    bool ok = false;
    if (item.itemClass == "file")
        ok = m_vault.MoveOut(item.vaultName, item.path, error);
    else if (item.itemClass == "registry")
        ok = RestoreRegistrySnapshot(item.restoreData, error);
    else if (item.itemClass == "cookie")
        ok = PutLinesBack(item, m_settings.cookieFile, error);
    else if (item.itemClass == "hosts")
        ok = m_settings.hostsFileWritable ? PutLinesBack(item, m_settings.hostsFile, error)
                                          : SetError(error, "korvad does not edit " + m_settings.hostsFile);
    else
        ok = SetError(error, "items of class \"" + item.itemClass + "\" cannot be restored");
    if (!ok)
        return false;
    item.status = "restored";
    item.vaultName.clear();
    item.restoreData.clear();
    return m_store.Update(item, error);
}

bool Quarantine::Purge(ItemRecord& item, std::string* error)
{
    if (item.status != "removed" && item.status != "quarantined")
        return SetError(error, "only removed items can be purged");
    if (item.itemClass == "file" && !m_vault.Purge(item.vaultName, error))
        return false;
    return m_store.Delete(item.itemCode, error);
}

}  // namespace korvad
