// korva.quarantine.*, korva.extraction.*, the quarantine's korva.justice.*
// requests and korva.userdata.select: the found, detected, allowed and
// removed items, and the actions on them (see quarantine.h). Actions run on
// the main thread, one request at a time, and announce their progress with
// "korva.extraction.notify" (removal) or "korva.quarantine.notify.restore"
// (restoration) and each changed item with "korva.quarantine.notify.item".
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "quarantine.h"
#include "quarantine_store.h"
#include "request_handlers.h"
#include "servicelink/korva_constants.h"

using namespace NKorvaConstants;
using bus::ServiceAnswer;
using bus::ServiceCall;

namespace korvad {

namespace {

// Answers stay well inside the bus's cell limit (14 columns a row).
constexpr std::size_t kMaxRows = 20000;

const std::vector<std::string> kDetected{"found"};
const std::vector<std::string> kAllowed{"allowed"};
const std::vector<std::string> kRemoved{"removed", "quarantined"};
const std::vector<std::string> kAll{"found", "allowed", "removed", "quarantined", "restored"};

CDictionary ItemRow(const ItemRecord& item)
{
    CDictionary row;
    row["item_code"] = item.itemCode;
    row["package_code"] = item.packageCode;
    row["definition_id"] = static_cast<std::int64_t>(item.definitionId);
    row["time_quarantined"] = static_cast<std::int64_t>(item.timeQuarantined);
    row["class"] = item.itemClass;
    row["path"] = item.path;
    row["item_data"] = item.itemData;
    row["target_info"] = item.targetInfo;
    row["target_source"] = item.targetSource;
    row["status"] = item.status;
    row["package_name"] = item.packageName;
    row["item_name"] = item.itemName;
    row["severity"] = item.severity;
    row["package_type"] = item.packageType;
    return row;
}

ServiceAnswer Rows(const std::string& setName, const std::vector<CDictionary>& rows)
{
    CMsgRowSet set(setName);
    for (const CDictionary& row : rows)
        set.AddRow(row);
    ServiceAnswer answer;
    answer.rowSets.push_back(std::move(set));
    return answer;
}

ServiceAnswer ItemRows(const std::vector<ItemRecord>& items)
{
    std::vector<CDictionary> rows;
    rows.reserve(items.size());
    for (const ItemRecord& item : items)
        rows.push_back(ItemRow(item));
    return Rows("items", rows);
}

class QuarantineHandlers : public std::enable_shared_from_this<QuarantineHandlers> {
public:
    QuarantineHandlers(ServiceContext& context, QuarantineStore& store, Quarantine& quarantine)
        : m_context(context), m_store(store), m_quarantine(quarantine)
    {
    }

    static void Register(const std::shared_ptr<QuarantineHandlers>& h)
    {
        h->Add("korva.quarantine.query_found_items", &QuarantineHandlers::FoundItems);
        h->Add("korva.quarantine.v2_query_detected_items", [h](const ServiceCall&) { return ItemRows(h->m_store.Items(kDetected, kMaxRows)); });
        h->Add("korva.quarantine.v2_query_allowed_items", [h](const ServiceCall&) { return ItemRows(h->m_store.Items(kAllowed, kMaxRows)); });
        h->Add("korva.quarantine.v2_query_removed_items", [h](const ServiceCall&) { return ItemRows(h->m_store.Items(kRemoved, kMaxRows)); });
        h->Add("korva.quarantine.v2_query_all_items", [h](const ServiceCall&) { return ItemRows(h->m_store.Items(kAll, kMaxRows)); });
        h->Add("korva.quarantine.v2_query_detected_items_count", [h](const ServiceCall&) {
            CDictionary row;
            row["count"] = static_cast<std::int64_t>(h->m_store.Count(kDetected));
            return ServiceAnswer::Row("count", row);
        });
        h->Add("korva.quarantine.query_count", [h](const ServiceCall&) {
            CDictionary row;
            row["quarantine_count"] = static_cast<std::int64_t>(h->m_store.Count(kRemoved));
            return ServiceAnswer::Row("count", row);
        });
        h->Add("korva.quarantine.v2_query_item_counts", [h](const ServiceCall&) {
            CDictionary row;
            row["items_detected"] = static_cast<std::int64_t>(h->m_store.Count(kDetected));
            row["items_allowed"] = static_cast<std::int64_t>(h->m_store.Count(kAllowed));
            row["items_removed"] = static_cast<std::int64_t>(h->m_store.Count(kRemoved));
            row["items_restored"] = static_cast<std::int64_t>(h->m_store.Count({"restored"}));
            return ServiceAnswer::Row("counts", row);
        });
        h->Add("korva.quarantine.v2_get_prevelance_data", &QuarantineHandlers::Prevalence);
        h->Add("korva.quarantine.query_optimize_items", [h](const ServiceCall&) {
            std::vector<CDictionary> rows;
            for (const auto& item : h->m_store.OptimizeItems()) {
                if (item.state != "optimized")
                    continue;
                CDictionary row;
                row["id"] = static_cast<std::int64_t>(item.id);
                row["key"] = item.key;
                row["type"] = item.type;
                row["data"] = item.data;
                rows.push_back(row);
            }
            return Rows("optimize_items", rows);
        });
        h->Add("korva.quarantine.remove_optimize_item", [h](const ServiceCall& call) {
            return h->OptimizeAction(call, [h](long long id) { return h->m_store.DeleteOptimizeItem(id); });
        });
        h->Add("korva.quarantine.restore_optimize_item", [h](const ServiceCall& call) {
            return h->OptimizeAction(call, [h](long long id) { return h->m_store.SetOptimizeState(id, "restored"); });
        });
        h->Add("korva.quarantine.extract_package", &QuarantineHandlers::ExtractPackage);
        h->Add("korva.quarantine.v2_restore_package", &QuarantineHandlers::RestorePackage);
        h->Add("korva.quarantine.v2_undo_package", &QuarantineHandlers::UndoPackage);
        h->Add("korva.quarantine.v2_restore_item", &QuarantineHandlers::RestoreItem);
        h->Add("korva.quarantine.v2_purge_item", &QuarantineHandlers::PurgeItem);
        h->Add("korva.quarantine.v2_delete_package_items", &QuarantineHandlers::DeletePackageItems);
        h->Add("korva.quarantine.v2_extract_containers", [](const ServiceCall&) {
            // korvad does not open archives, so no item waits inside one.
            CDictionary row;
            row["extracted"] = 0;
            return ServiceAnswer::Row("containers", row);
        });
        h->Add("korva.quarantine.v2_remove_failed_item", &QuarantineHandlers::RemoveFailedItem);
        h->Add("korva.justice.integrity_check", &QuarantineHandlers::IntegrityCheck);
        h->Add("korva.justice.enforce.extraction.reset_containers", [h](const ServiceCall&) {
            h->m_store.ClearFailed();
            return ServiceAnswer{};
        });
        h->Add("korva.extraction.get_failed_items", [h](const ServiceCall&) {
            std::vector<CDictionary> rows;
            for (const FailedItem& failed : h->m_store.FailedItems()) {
                CDictionary row;
                row["full_path"] = failed.fullPath;
                row["path"] = failed.path;
                row["item_code"] = failed.itemCode;
                row["package_code"] = failed.packageCode;
                row["package_name"] = failed.packageName;
                row["severity"] = failed.severity;
                rows.push_back(row);
            }
            return Rows("failed_items", rows);
        });
        h->Add("korva.userdata.select", &QuarantineHandlers::UserDataSelect);
    }

private:
    using Member = ServiceAnswer (QuarantineHandlers::*)(const ServiceCall&);
    // Each handler keeps the object alive as long as the server keeps it.
    void Add(const char* name, Member member)
    {
        m_context.server.AddHandler(name, [self = shared_from_this(), member](const ServiceCall& call) {
            return ((*self).*member)(call);
        });
    }
    void Add(const char* name, bus::RequestHandler handler) { m_context.server.AddHandler(name, std::move(handler)); }

    static std::optional<ServiceAnswer> RequireText(const ServiceCall& call, const char* name, std::string& value)
    {
        value = call.request.GetValue(name).ToString();
        if (value.empty() || value.size() > 4096)
            return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, std::string("`") + name + "` is missing");
        return std::nullopt;
    }

    ServiceAnswer FoundItems(const ServiceCall&)
    {
        std::vector<CDictionary> rows;
        for (const PackageCount& package : m_store.FoundPackages(m_store.LastScanId())) {
            CDictionary row;
            row["package_code"] = package.packageCode;
            row["package_name"] = package.packageName;
            row["package_type"] = package.packageType;
            row["type"] = package.packageType;
            row["severity"] = package.severity;
            row["found_item_count"] = static_cast<std::int64_t>(package.count);
            row["package_quarantine_status"] = 1;
            rows.push_back(row);
        }
        return Rows("found_items", rows);
    }

    ServiceAnswer Prevalence(const ServiceCall&)
    {
        std::vector<CDictionary> rows;
        std::map<std::pair<std::string, long long>, long long> counts;
        for (const ItemRecord& item : m_store.Items(kAll, kMaxRows))
            ++counts[{item.itemClass, item.definitionId}];
        for (const auto& [key, count] : counts) {
            CDictionary row;
            row["class"] = key.first;
            row["definition_id"] = static_cast<std::int64_t>(key.second);
            row["target_count"] = static_cast<std::int64_t>(count);
            rows.push_back(row);
        }
        return Rows("prevalence", rows);
    }

    ServiceAnswer OptimizeAction(const ServiceCall& call, const std::function<bool(long long)>& action)
    {
        const CStringValue& id = call.request.GetValue("id");
        if (id.ToString().empty() || id.ToInteger64() <= 0)
            return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`id` names the optimization");
        if (!action(id.ToInteger64()))
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no optimization " + id.ToString());
        return ServiceAnswer{};
    }

    void NotifyAction(const char* notification, const char* action, const std::string& code, const std::string& name)
    {
        CDictionary values;
        values["class"] = "package";
        values["action"] = action;
        values["package_code"] = code;
        values["package_name"] = name;
        m_context.server.SendNotification(notification, values);
    }

    void NotifyProgress(const char* notification, const ItemRecord& item, double percent)
    {
        CDictionary values;
        values["package_code"] = item.packageCode;
        values["package_name"] = item.packageName;
        values["path"] = item.itemName;
        values["class"] = item.itemClass;
        values["clas"] = item.itemClass;
        values["percentage_complete"] = percent;
        m_context.server.SendNotification(notification, values);
    }

    void NotifyItem(const ItemRecord& item)
    {
        CDictionary values = ItemRow(item);
        values["package_quarantine_status"] = m_store.PackageStatus(item.packageCode);
        values["package_source"] = 0;
        m_context.server.SendNotification("korva.quarantine.notify.item", values);
    }

    // Runs ACTION on each item with progress notifications; the answer
    // fails (naming the first problem) when any item failed.
    // Gives ITEMS the status STATUS, recorded and announced one by one; the
    // answer of the first failed write.
    std::optional<ServiceAnswer> SetStatus(std::vector<ItemRecord>& items, const char* status)
    {
        for (ItemRecord& item : items) {
            item.status = status;
            std::string error;
            if (!m_store.Update(item, &error))
                return ServiceAnswer::Error(KORVA_E_STORE_FAILED, error);
            NotifyItem(item);
        }
        return std::nullopt;
    }

    // Puts ITEMS back from the vault, with the restoration notifications.
    ServiceAnswer RestoreItems(std::vector<ItemRecord>& items)
    {
        return RunOnItems(items, "korva.quarantine.notify.restore", "restoration_started", "restoration_complete",
                          [this](ItemRecord& item, std::string* error) { return m_quarantine.Restore(item, error); });
    }

    ServiceAnswer RunOnItems(std::vector<ItemRecord>& items, const char* notification, const char* started,
                             const char* complete, const std::function<bool(ItemRecord&, std::string*)>& action)
    {
        const std::string code = items.front().packageCode;
        NotifyAction(notification, started, code, items.front().packageName);
        std::size_t failed = 0;
        std::string firstError;
        for (std::size_t i = 0; i < items.size(); ++i) {
            std::string error;
            if (action(items[i], &error)) {
                NotifyItem(items[i]);
            } else {
                qWarning("%s: %s", items[i].itemName.c_str(), error.c_str());
                if (failed++ == 0)
                    firstError = error;
            }
            NotifyProgress(notification, items[i], 100.0 * static_cast<double>(i + 1) / static_cast<double>(items.size()));
        }
        NotifyAction(notification, complete, code, items.front().packageName);
        if (failed > 0)
            return ServiceAnswer::Error(KORVA_E_FAIL, std::to_string(failed) + " of " + std::to_string(items.size()) +
                                                          " items failed: " + firstError);
        CDictionary row;
        row["item_count"] = static_cast<std::int64_t>(items.size());
        return ServiceAnswer::Row("result", row);
    }

    ServiceAnswer ExtractPackage(const ServiceCall& call)
    {
        std::string code;
        if (auto error = RequireText(call, "package_code", code))
            return *error;
        std::vector<ItemRecord> items = m_store.PackageItems(code, {"found", "allowed"});
        if (items.empty())
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "package \"" + code + "\" has no detected or allowed items");
        return RunOnItems(items, "korva.extraction.notify", "extraction_started", "extraction_complete",
                          [this](ItemRecord& item, std::string* error) {
                              if (m_quarantine.Extract(item, error))
                                  return true;
                              m_store.AddFailed({item.path, item.itemName, item.itemCode, item.packageCode,
                                                 item.packageName, item.severity});
                              return false;
                          });
    }

    // Allows a detected package, or restores a removed one.
    ServiceAnswer RestorePackage(const ServiceCall& call)
    {
        std::string code;
        if (auto error = RequireText(call, "package_code", code))
            return *error;
        std::vector<ItemRecord> found = m_store.PackageItems(code, kDetected);
        std::vector<ItemRecord> removed = m_store.PackageItems(code, kRemoved);
        if (found.empty() && removed.empty())
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "package \"" + code + "\" has no detected or removed items");
        if (auto error = SetStatus(found, "allowed"))
            return *error;
        if (removed.empty())
            return ServiceAnswer{};
        return RestoreItems(removed);
    }

    // An allowed package goes back to the detected ones.
    ServiceAnswer UndoPackage(const ServiceCall& call)
    {
        std::string code;
        if (auto error = RequireText(call, "package_code", code))
            return *error;
        const std::string target = call.request.GetValue("package_status").ToString();
        if (!target.empty() && target != "quarantined" && target != "found")
            return ServiceAnswer::Error(KORVA_E_INVALID_ARGUMENTS, "`package_status` is \"quarantined\" (detected)");
        std::vector<ItemRecord> items = m_store.PackageItems(code, kAllowed);
        if (items.empty())
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "package \"" + code + "\" has no allowed items");
        if (auto error = SetStatus(items, "found"))
            return *error;
        return ServiceAnswer{};
    }

    ServiceAnswer RestoreItem(const ServiceCall& call)
    {
        std::string code;
        if (auto error = RequireText(call, "item_code", code))
            return *error;
        ItemRecord item;
        if (!m_store.Item(code, item))
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no item \"" + code + "\"");
        std::vector<ItemRecord> items{item};
        return RestoreItems(items);
    }

    ServiceAnswer PurgeItem(const ServiceCall& call)
    {
        std::string code;
        if (auto error = RequireText(call, "item_code", code))
            return *error;
        ItemRecord item;
        if (!m_store.Item(code, item))
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "no item \"" + code + "\"");
        std::string error;
        if (!m_quarantine.Purge(item, &error))
            return ServiceAnswer::Error(KORVA_E_NOT_ALLOWED, error);
        return ServiceAnswer{};
    }

    // Forgets a package's records that hold nothing: removed items keep
    // their vault copies and stay.
    ServiceAnswer DeletePackageItems(const ServiceCall& call)
    {
        std::string code;
        if (auto error = RequireText(call, "package_code", code))
            return *error;
        std::size_t deleted = 0;
        for (const ItemRecord& item : m_store.PackageItems(code, {"found", "allowed", "restored"})) {
            std::string error;
            if (!m_store.Delete(item.itemCode, &error))
                return ServiceAnswer::Error(KORVA_E_STORE_FAILED, error);
            ++deleted;
        }
        CDictionary row;
        row["deleted"] = static_cast<std::int64_t>(deleted);
        return ServiceAnswer::Row("result", row);
    }

    // A failed removal tried once more; only paths korvad itself listed as
    // failed are accepted.
    ServiceAnswer RemoveFailedItem(const ServiceCall& call)
    {
        std::string path;
        if (auto error = RequireText(call, "path", path))
            return *error;
        FailedItem failed;
        bool listed = false;
        for (const FailedItem& item : m_store.FailedItems())
            if (item.fullPath == path) {
                failed = item;
                listed = true;
            }
        if (!listed)
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "\"" + path + "\" is not a failed item");
        ItemRecord item;
        if (!m_store.Item(failed.itemCode, item)) {
            m_store.RemoveFailed(path, nullptr);
            return ServiceAnswer::Error(KORVA_E_NOT_FOUND, "the item of \"" + path + "\" is gone");
        }
        std::string error;
        if (!m_quarantine.Extract(item, &error))
            return ServiceAnswer::Error(KORVA_E_FAIL, error);
        m_store.RemoveFailed(path, nullptr);
        NotifyItem(item);
        return ServiceAnswer{};
    }

    ServiceAnswer IntegrityCheck(const ServiceCall&);

    // The one query the scanning page runs through the SQL command of its
    // base library: SELECT * FROM package_status with a `package_code`
    // parameter. Only that shape is answered; no caller text reaches SQL.
    ServiceAnswer UserDataSelect(const ServiceCall& call)
    {
        const CMsgRequest& request = call.request;
        const std::string database = request.GetValue("database").ToString();
        const std::string table = request.GetValue("table").ToString();
        const std::string columns = request.GetValue("columns").ToString();
        if (database != "korva.userdata.db" || table != "package_status" || (!columns.empty() && columns != "*") ||
            !request.GetValue("where").ToString().empty() || !request.GetValue("order").ToString().empty())
            return ServiceAnswer::Error(KORVA_E_NOT_ALLOWED,
                                        "only SELECT * FROM package_status of korva.userdata.db by package_code");
        std::string code;
        if (auto error = RequireText(call, "package_code", code))
            return *error;
        std::vector<CDictionary> rows;
        const int status = m_store.PackageStatus(code);
        if (status >= 0) {
            CDictionary row;
            row["package_code"] = code;
            row["package_quarantine_status"] = status;
            rows.push_back(row);
        }
        return Rows("package_status", rows);
    }

    ServiceContext& m_context;
    QuarantineStore& m_store;
    Quarantine& m_quarantine;
};

// Every removed file must still have its vault copy; the answer counts them.
ServiceAnswer QuarantineHandlers::IntegrityCheck(const ServiceCall&)
{
    long long checked = 0, missing = 0;
    for (const ItemRecord& item : m_store.Items(kRemoved, 1000000)) {
        if (item.itemClass != "file")
            continue;
        ++checked;
        if (!m_quarantine.HasVaultCopy(item)) {
            ++missing;
            qWarning("the vault copy of %s (%s) is missing", item.path.c_str(), item.itemCode.c_str());
        }
    }
    CDictionary row;
    row["checked"] = static_cast<std::int64_t>(checked);
    row["missing"] = static_cast<std::int64_t>(missing);
    return ServiceAnswer::Row("integrity", row);
}

}  // namespace

void RegisterQuarantineHandlers(ServiceContext& context, QuarantineStore& store, Quarantine& quarantine)
{
    QuarantineHandlers::Register(std::make_shared<QuarantineHandlers>(context, store, quarantine));
}

}  // namespace korvad
