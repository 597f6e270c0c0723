// Typed reads and writes of the settings table's settings by number, through
// "korva.config.get_value" and "korva.config.set_value". Each checks that the
// number is in the table and that the row's type matches; otherwise it fails
// without a request. All report only success or failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class IConfigAccessor {
public:
    virtual ~IConfigAccessor() = default;
    virtual bool ReadText(int setting, std::string& value) = 0;
    virtual bool ReadBool(int setting, bool& value) = 0;
    virtual bool ReadInteger(int setting, int& value) = 0;
    virtual bool ReadTime(int setting, std::int64_t& value) = 0;
    virtual bool WriteText(int setting, const std::string& value) = 0;
    virtual bool WriteBool(int setting, bool value, std::optional<unsigned> timeout = std::nullopt) = 0;
    virtual bool WriteInteger(int setting, int value) = 0;
    virtual bool WriteTime(int setting, std::int64_t value) = 0;
    virtual bool WriteInteger64(int setting, std::uint64_t value) = 0;
};

// The accessor that talks to the service.
class CServiceConfigAccessor : public IConfigAccessor {
public:
    bool ReadText(int setting, std::string& value) override;
    bool ReadBool(int setting, bool& value) override;
    bool ReadInteger(int setting, int& value) override;
    bool ReadTime(int setting, std::int64_t& value) override;
    bool WriteText(int setting, const std::string& value) override;
    bool WriteBool(int setting, bool value, std::optional<unsigned> timeout = std::nullopt) override;
    bool WriteInteger(int setting, int value) override;
    bool WriteTime(int setting, std::int64_t value) override;
    bool WriteInteger64(int setting, std::uint64_t value) override;

    // The text read in the two-step form callers with a fixed buffer use:
    // with BUFFER null, LENGTH gets the needed size (text length + 1); else
    // as much as fits is copied with a terminating zero.
    bool ReadText(int setting, char* buffer, std::size_t& length);
};
