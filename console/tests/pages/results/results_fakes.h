// Stand-ins of the service for the results page tests: item records built
// in memory and answered by request name; every request is recorded.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "config_accessor.h"
#include "results_service.h"
#include "servicelink/korva_constants.h"
#include "servicelink/msg_row_set.h"

struct ItemSpec {
    std::string package;
    std::string itemName;
    std::string itemClass = "file";
    std::string itemData;
    std::string packageName = "Sample Adware";
    std::string packageType = "adware";
    int severity = 2;
};

inline CMsgRowSet ItemRecords(const std::vector<ItemSpec>& items)
{
    CMsgRowSet set("items");
    int n = 0;
    for (const ItemSpec& item : items) {
        CDictionary row;
        row["item_code"] = "item-" + std::to_string(n++);
        row["package_code"] = item.package;
        row["definition_id"] = 7;
        row["time_quarantined"] = 0;
        row["class"] = item.itemClass;
        row["path"] = "/home/user/" + item.itemName;
        row["item_data"] = item.itemData;
        row["target_info"] = "";
        row["target_source"] = "0";
        row["status"] = "found";
        row["package_name"] = item.packageName;
        row["item_name"] = item.itemName;
        row["severity"] = item.severity;
        row["package_type"] = item.packageType;
        set.AddRow(row);
    }
    return set;
}

// N file items of package CODE.
inline std::vector<ItemSpec> Package(const std::string& code, int n, const std::string& name = "Sample Adware")
{
    std::vector<ItemSpec> items;
    for (int i = 0; i < n; ++i) {
        ItemSpec item;
        item.package = code;
        item.packageName = name;
        item.itemName = code + "-file-" + std::to_string(i);
        items.push_back(item);
    }
    return items;
}

class FakeResultsService : public IResultsService {
public:
    CMsgResults Query(const std::string& name, const NamedValues& values) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        requests.emplace_back(name, values);
        const auto it = answers.find(name);
        if (it == answers.end())
            return CMsgResults(NKorvaConstants::KORVA_E_UNKNOWN_REQUEST, "unknown request");
        return it->second;
    }
    bool ReadTime(int, std::int64_t& value) override
    {
        if (!timeReadable)
            return false;
        value = lastScanTime;
        return true;
    }

    void Answer(const std::string& name, CMsgRowSet rows)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        answers[name] = CMsgResults(0, {}, {std::move(rows)});
    }
    void Fail(const std::string& name)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        answers[name] = CMsgResults(NKorvaConstants::KORVA_E_FAIL, "failed");
    }
    std::vector<std::pair<std::string, NamedValues>> Requests() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return requests;
    }

    std::map<std::string, CMsgResults> answers;
    std::vector<std::pair<std::string, NamedValues>> requests;
    std::int64_t lastScanTime = 0;
    bool timeReadable = true;

private:
    mutable std::mutex m_mutex;
};

// The configuration read by the detected page: whether the user may allow.
class AllowAccessor : public IConfigAccessor {
public:
    explicit AllowAccessor(bool canAllow) : m_canAllow(canAllow) {}
    bool ReadText(int, std::string&) override { return false; }
    bool ReadBool(int, bool& v) override { v = m_canAllow; return true; }
    bool ReadInteger(int, int&) override { return false; }
    bool ReadTime(int, std::int64_t&) override { return false; }
    bool WriteText(int, const std::string&) override { return false; }
    bool WriteBool(int, bool, std::optional<unsigned>) override { return false; }
    bool WriteInteger(int, int) override { return false; }
    bool WriteTime(int, std::int64_t) override { return false; }
    bool WriteInteger64(int, std::uint64_t) override { return false; }

private:
    bool m_canAllow;
};
