#include "servicelink/msg_row_set.h"

namespace {
const CStringValue kEmpty;
}

std::size_t CMsgRowSet::AddColumn(std::string_view name)
{
    const int existing = GetColumnIndex(name);
    if (existing >= 0)
        return static_cast<std::size_t>(existing);
    m_columns.emplace_back(name);
    for (auto& row : m_rows)
        row.emplace_back();
    return m_columns.size() - 1;
}

int CMsgRowSet::GetColumnIndex(std::string_view name) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i] == name)
            return static_cast<int>(i);
    return -1;
}

std::size_t CMsgRowSet::AddRow()
{
    m_rows.emplace_back(m_columns.size());
    return m_rows.size() - 1;
}

std::size_t CMsgRowSet::AddRow(const CDictionary& values)
{
    for (const auto& entry : values)
        AddColumn(entry.first);
    const std::size_t row = AddRow();
    for (const auto& [name, value] : values)
        m_rows[row][static_cast<std::size_t>(GetColumnIndex(name))] = value;
    return row;
}

const CStringValue& CMsgRowSet::GetValue(std::size_t row, std::size_t column) const
{
    if (row >= m_rows.size() || column >= m_rows[row].size())
        return kEmpty;
    return m_rows[row][column];
}

const CStringValue& CMsgRowSet::GetValue(std::size_t row, std::string_view column) const
{
    const int index = GetColumnIndex(column);
    return index < 0 ? kEmpty : GetValue(row, static_cast<std::size_t>(index));
}

bool CMsgRowSet::SetValue(std::size_t row, std::string_view column, CStringValue value)
{
    if (row >= m_rows.size())
        return false;
    const std::size_t index = AddColumn(column);
    m_rows[row][index] = std::move(value);
    return true;
}

bool CMsgRowSet::GetRowData(std::size_t row, CDictionary& values) const
{
    if (row >= m_rows.size())
        return false;
    for (std::size_t c = 0; c < m_columns.size(); ++c)
        values.SetValue(m_columns[c], m_rows[row][c]);
    return true;
}
