// Named values, the parameters of a request and the columns of a row.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "servicelink/string_value.h"

// Read and write access to named values, whatever holds them.
class CValueAccessor {
public:
    virtual ~CValueAccessor() = default;

    virtual bool HasValue(std::string_view name) const = 0;
    // The value of NAME, or an empty value when it is absent.
    virtual const CStringValue& GetValue(std::string_view name) const = 0;
    virtual void SetValue(std::string_view name, CStringValue value) = 0;
};

// Named values in the order they were first set. Indexing creates the value
// (empty) when it is absent, so `dict["x"] = 5` works; use GetValue or the
// const index to read without creating.
class CDictionary : public CValueAccessor {
public:
    using Entry = std::pair<std::string, CStringValue>;

    CDictionary() = default;
    CDictionary(const CDictionary& other) = default;
    CDictionary(CDictionary&& other) noexcept = default;
    CDictionary& operator=(const CDictionary& other) = default;
    CDictionary& operator=(CDictionary&& other) noexcept = default;
    ~CDictionary() override = default;

    bool HasValue(std::string_view name) const override;
    const CStringValue& GetValue(std::string_view name) const override;
    void SetValue(std::string_view name, CStringValue value) override;

    CStringValue& operator[](std::string_view name);
    const CStringValue& operator[](std::string_view name) const { return GetValue(name); }

    bool RemoveValue(std::string_view name);
    void RemoveAll();
    std::size_t GetCount() const { return m_entries.size(); }
    bool IsEmpty() const { return m_entries.empty(); }

    // Entries in insertion order.
    const std::vector<Entry>& Entries() const { return m_entries; }
    std::vector<Entry>::const_iterator begin() const { return m_entries.begin(); }
    std::vector<Entry>::const_iterator end() const { return m_entries.end(); }

    friend bool operator==(const CDictionary& a, const CDictionary& b) { return a.m_entries == b.m_entries; }

private:
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, std::size_t> m_index;
};
