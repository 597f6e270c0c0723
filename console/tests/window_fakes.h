// Recording stand-ins of the window's outside pieces: the service (what was
// sent, scan state, external settings) and the configuration accessor (what
// was written).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "config_accessor.h"
#include "console_services.h"

class FakeServices : public IConsoleServices {
public:
    bool scanRunning = false;
    int detected = 0;
    std::map<std::string, int> external;
    std::vector<std::pair<std::string, NamedValues>> sent;

    bool IsScanRunning() override { return scanRunning; }
    int DetectedItemCount() override { return detected; }
    void Send(const std::string& name, const NamedValues& values) override
    {
        sent.emplace_back(name, values);
        if (name == "korva.scanner.stop")
            scanRunning = false;
    }
    int ExternalInteger(const std::string& name, int fallback) override
    {
        const auto it = external.find(name);
        return it == external.end() ? fallback : it->second;
    }
    bool WasSent(const std::string& name) const
    {
        for (const auto& entry : sent)
            if (entry.first == name)
                return true;
        return false;
    }
};

class MemoryAccessor : public IConfigAccessor {
public:
    std::vector<std::pair<int, std::string>> writes;
    bool ReadText(int, std::string& v) override { v = "old"; return true; }
    bool ReadBool(int, bool& v) override { v = false; return true; }
    bool ReadInteger(int, int& v) override { v = 0; return true; }
    bool ReadTime(int, std::int64_t&) override { return false; }
    bool WriteText(int s, const std::string& v) override { writes.emplace_back(s, v); return true; }
    bool WriteBool(int s, bool v, std::optional<unsigned>) override { writes.emplace_back(s, v ? "1" : "0"); return true; }
    bool WriteInteger(int s, int v) override { writes.emplace_back(s, std::to_string(v)); return true; }
    bool WriteTime(int s, std::int64_t v) override { writes.emplace_back(s, std::to_string(v)); return true; }
    bool WriteInteger64(int s, std::uint64_t v) override { writes.emplace_back(s, std::to_string(v)); return true; }
};
