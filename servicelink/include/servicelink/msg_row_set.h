// A named table of text rows, the tabular part of requests, answers and
// notifications.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "servicelink/string_value.h"
#include "servicelink/value_accessor.h"

class CMsgRowSet {
public:
    CMsgRowSet() = default;
    explicit CMsgRowSet(std::string name) : m_name(std::move(name)) {}

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // Columns. AddColumn returns the index of the column, existing or new;
    // every existing row gets an empty cell for a new column.
    std::size_t AddColumn(std::string_view name);
    // The index of NAME, or -1 when there is no such column.
    int GetColumnIndex(std::string_view name) const;
    std::size_t GetColumnCount() const { return m_columns.size(); }
    const std::vector<std::string>& GetColumns() const { return m_columns; }

    // Rows. AddRow appends an empty row and returns its index; the dictionary
    // form adds the missing columns first and fills the cells by name.
    std::size_t AddRow();
    std::size_t AddRow(const CDictionary& values);
    std::size_t GetRowCount() const { return m_rows.size(); }

    // Cells; reading outside the table gives an empty value, writing to an
    // unknown column adds it, writing to a missing row does nothing.
    const CStringValue& GetValue(std::size_t row, std::size_t column) const;
    const CStringValue& GetValue(std::size_t row, std::string_view column) const;
    bool SetValue(std::size_t row, std::string_view column, CStringValue value);

    // Copies row ROW into VALUES, column by column in column order.
    bool GetRowData(std::size_t row, CDictionary& values) const;

    const std::vector<std::vector<CStringValue>>& GetRows() const { return m_rows; }

    friend bool operator==(const CMsgRowSet& a, const CMsgRowSet& b)
    {
        return a.m_name == b.m_name && a.m_columns == b.m_columns && a.m_rows == b.m_rows;
    }

private:
    std::string m_name;
    std::vector<std::string> m_columns;
    std::vector<std::vector<CStringValue>> m_rows;
};

using CMsgRowSets = std::vector<CMsgRowSet>;
