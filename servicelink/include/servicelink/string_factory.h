// Localized texts by key from the message table of the UI resource library.
//
// The table is read through IMessageTable so the storage can change; the
// implementation used now reads a text file (see platform/bus/README.md).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class IMessageTable {
public:
    virtual ~IMessageTable() = default;
    virtual std::optional<std::string> Lookup(std::string_view key) const = 0;
};

// Opens the message table TABLE of the UI resource library at PATH; null
// with ERROR set when it cannot be read.
std::unique_ptr<IMessageTable> OpenMessageTable(const std::string& path, const std::string& table,
                                                std::string* error = nullptr);

class CStringFactory {
public:
    CStringFactory() = default;

    // Loads table TABLE ("MESSAGES") of the UI resource library at PATH.
    bool Initialize(const std::string& path, const std::string& table);
    // Uses TABLE directly (tests, other storage).
    void Initialize(std::unique_ptr<IMessageTable> table) { m_table = std::move(table); }
    bool IsInitialized() const { return m_table != nullptr; }

    // The text of KEY; empty when the key is unknown or nothing is loaded.
    std::string GetLocalizedMessage(std::string_view key) const;
    // The text of KEY with %1 to %6 replaced by the arguments and %% by %.
    // Arguments are inserted as plain text, never read as formats.
    std::string FormatParameterizedMessage(std::string_view key, std::string_view p1 = {},
                                           std::string_view p2 = {}, std::string_view p3 = {},
                                           std::string_view p4 = {}, std::string_view p5 = {},
                                           std::string_view p6 = {}) const;

    // The substitution itself, for any template text.
    static std::string FormatText(std::string_view text, const std::string_view (&args)[6]);

private:
    std::unique_ptr<IMessageTable> m_table;
};
