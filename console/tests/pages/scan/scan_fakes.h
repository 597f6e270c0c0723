// Stand-ins for the scan pages' tests: a service that answers queries from a
// table the test fills and records what was queried and posted, an
// accessor with settings in memory, a message table in memory, and the
// end-of-scan actions recorded instead of sounding or restarting.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../../window_fakes.h"
#include "pages/scan/scan_end_actions.h"
#include "servicelink/msg_results.h"
#include "servicelink/string_factory.h"

class ScanServices : public FakeServices {
public:
    using Answer = std::function<CMsgResults(const NamedValues& values)>;
    std::map<std::string, Answer> answers;
    std::vector<std::pair<std::string, NamedValues>> queries;
    std::vector<std::pair<std::string, NamedValues>> posted;
    bool updaterActive = false;

    CMsgResults Query(const std::string& name, const NamedValues& values) override
    {
        queries.emplace_back(name, values);
        const auto it = answers.find(name);
        if (it == answers.end())
            return CMsgResults(1000, "not answered");
        return it->second(values);
    }
    void Post(const std::string& name, const NamedValues& values) override { posted.emplace_back(name, values); }
    bool IsUpdaterActive() override { return updaterActive; }

    std::vector<std::string> QueryNames() const
    {
        std::vector<std::string> names;
        for (const auto& q : queries)
            names.push_back(q.first);
        return names;
    }
};

// One-row-set answers.
inline CMsgResults Rows(const std::vector<CDictionary>& rows)
{
    CMsgRowSet set("results");
    for (const CDictionary& row : rows)
        set.AddRow(row);
    return CMsgResults(0, "", {set});
}

inline std::string ValueOf(const NamedValues& values, const std::string& name)
{
    for (const auto& [key, value] : values)
        if (key == name)
            return value;
    return "<absent>";
}

class ScanAccessor : public IConfigAccessor {
public:
    std::map<int, std::string> texts;
    std::map<int, bool> bools;
    std::vector<std::pair<int, std::string>> writes;
    bool ReadText(int s, std::string& v) override
    {
        v = texts.count(s) != 0 ? texts[s] : std::string();
        return true;
    }
    bool ReadBool(int s, bool& v) override
    {
        v = bools.count(s) != 0 && bools[s];
        return true;
    }
    bool ReadInteger(int, int& v) override { v = 0; return true; }
    bool ReadTime(int, std::int64_t&) override { return false; }
    bool WriteText(int s, const std::string& v) override { writes.emplace_back(s, v); texts[s] = v; return true; }
    bool WriteBool(int s, bool v, std::optional<unsigned>) override
    {
        writes.emplace_back(s, v ? "1" : "0");
        bools[s] = v;
        return true;
    }
    bool WriteInteger(int s, int v) override { writes.emplace_back(s, std::to_string(v)); return true; }
    bool WriteTime(int s, std::int64_t v) override { writes.emplace_back(s, std::to_string(v)); return true; }
    bool WriteInteger64(int s, std::uint64_t v) override { writes.emplace_back(s, std::to_string(v)); return true; }
};

class MemoryMessages : public IMessageTable {
public:
    std::map<std::string, std::string, std::less<>> texts;
    std::optional<std::string> Lookup(std::string_view key) const override
    {
        const auto it = texts.find(key);
        if (it == texts.end())
            return std::nullopt;
        return it->second;
    }
};

// Records the end-of-scan actions while it lives.
class RecordedEndActions {
public:
    std::vector<std::string> sounds;
    std::vector<unsigned> beeps;
    std::vector<unsigned> restarts;
    RecordedEndActions()
    {
        CScanEndActions& actions = ScanEndActions();
        actions.playSound = [this](const std::string& path) { sounds.push_back(path); return true; };
        actions.beep = [this](unsigned type) { beeps.push_back(type); };
        actions.restart = [this](unsigned flags) { restarts.push_back(flags); return true; };
    }
    ~RecordedEndActions() { ResetScanEndActions(); }
    // Sounds and beeps together: one per scan end.
    std::size_t Signals() const { return sounds.size() + beeps.size(); }
};
