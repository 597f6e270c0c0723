#include "servicelink/msg_cursor.h"

#include "servicelink/msg_results.h"

namespace {
const CStringValue kEmpty;
const CMsgRowSet kEmptySet;
}

CMsgCursor::CMsgCursor() : m_rowSets(std::make_shared<const CMsgRowSets>()) {}

CMsgCursor::CMsgCursor(const CMsgResults& results) : CMsgCursor(results.GetCursor()) {}

CMsgCursor::CMsgCursor(std::shared_ptr<const CMsgRowSets> rowSets)
    : m_rowSets(rowSets ? std::move(rowSets) : std::make_shared<const CMsgRowSets>())
{
}

const CMsgRowSet& CMsgCursor::CurrentRowSet() const
{
    return m_set < m_rowSets->size() ? (*m_rowSets)[m_set] : kEmptySet;
}

const CStringValue& CMsgCursor::operator[](std::string_view column) const
{
    if (IsEOF())
        return kEmpty;
    return CurrentRowSet().GetValue(m_row, column);
}

bool CMsgCursor::HasValue(std::string_view column) const
{
    return !IsEOF() && CurrentRowSet().GetColumnIndex(column) >= 0;
}

bool CMsgCursor::NextRow()
{
    if (m_row < GetRowCount())
        ++m_row;
    return m_row < GetRowCount();
}

bool CMsgCursor::NextRowSet()
{
    if (m_set < m_rowSets->size())
        ++m_set;
    m_row = 0;
    return m_set < m_rowSets->size();
}

bool CMsgCursor::IsEOF() const { return m_row >= GetRowCount(); }

std::size_t CMsgCursor::GetRowCount() const { return CurrentRowSet().GetRowCount(); }

bool CMsgCursor::GetRowData(CDictionary& values) const
{
    return !IsEOF() && CurrentRowSet().GetRowData(m_row, values);
}
