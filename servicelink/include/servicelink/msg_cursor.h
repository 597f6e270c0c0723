// Reads the rows of an answer one at a time. The cursor shares the row sets
// with the results it came from, so it stays valid after they are gone.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "servicelink/msg_row_set.h"
#include "servicelink/value_accessor.h"

class CMsgResults;

class CMsgCursor {
public:
    CMsgCursor();
    explicit CMsgCursor(const CMsgResults& results);
    explicit CMsgCursor(std::shared_ptr<const CMsgRowSets> rowSets);

    // The current row's value in COLUMN; empty when there is no current row
    // or no such column.
    const CStringValue& operator[](std::string_view column) const;
    bool HasValue(std::string_view column) const;

    // Moves to the next row of the current row set; false after the last.
    bool NextRow();
    // Moves to the first row of the next row set; false after the last.
    bool NextRowSet();
    bool IsEOF() const;

    std::size_t GetRowCount() const;
    std::size_t GetCurrentRow() const { return m_row; }
    // The current row set; an empty one when the answer had none.
    const CMsgRowSet& CurrentRowSet() const;
    // Copies the current row into VALUES; false when there is no current row.
    bool GetRowData(CDictionary& values) const;

private:
    std::shared_ptr<const CMsgRowSets> m_rowSets;
    std::size_t m_set = 0;
    std::size_t m_row = 0;
};
