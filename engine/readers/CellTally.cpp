#include "engine/readers/CellTally.h"

#include "engine/readers/SheetBands.h"
#include "support/Error.h"

#include <algorithm>
#include <limits>
#include <string>

namespace sheetfray::engine::readers {

void CellTally::nextRow(std::int32_t row)
{
    if (row < m_row) {
        throw RowBands::OutOfOrder{};
    }
    countRow();
    if (m_bandCells >= RowBands::BandCells || m_bandText >= RowBands::BandBytes) {
        ++m_bands;
        m_bandCells = 0;
        m_bandText = 0;
    }
    m_row = row;
}

void CellTally::addEmpty(std::int32_t row, std::int32_t column)
{
    widen(row, column);
    // Only a cell of the row at or after its column may be cleared.
    if (column <= m_rowLastColumn) {
        m_rowInOrder = false;
        m_rowCells.push_back({column, Stored::Cleared, 0});
    }
}

void CellTally::outsideSheet(std::int32_t row, std::int32_t column)
{
    throw ReadError(ReadError::Reason::CellOutsideSheet,
                    "row " + std::to_string(row) + ", column " + std::to_string(column));
}

void CellTally::tooMuchText()
{
    throw ReadError(ReadError::Reason::TooMuchText);
}

void CellTally::countFormulaWithoutResult()
{
    constexpr std::uint32_t Most = std::numeric_limits<std::uint32_t>::max();
    if (m_summary.formulasWithoutResult < Most) {
        ++m_summary.formulasWithoutResult;
    }
}

void CellTally::countRow()
{
    if (!m_rowInOrder) {
        // The later of two cells at a column stays after the earlier.
        std::stable_sort(m_rowCells.begin(),
                         m_rowCells.end(),
                         [](const RowCell& a, const RowCell& b) { return a.column < b.column; });
    }
    std::vector<std::uint64_t>& columns = m_summary.columnCells;
    std::vector<std::uint64_t>& textBytes = m_summary.columnTextBytes;
    for (std::size_t i = 0; i < m_rowCells.size(); ++i) {
        const RowCell& cell = m_rowCells[i];
        if ((i + 1 < m_rowCells.size() && m_rowCells[i + 1].column == cell.column)
            || cell.stored == Stored::Cleared) {
            continue;
        }
        ++m_summary.storedCells;
        if (cell.stored == Stored::Valued) {
            ++m_summary.valuedCells;
        }
        const auto c = static_cast<std::size_t>(cell.column);
        if (c >= columns.size()) {
            columns.resize(c + 1);
            textBytes.resize(c + 1);
        }
        ++columns[c];
        textBytes[c] += cell.textBytes;
    }
    m_rowCells.clear();
    m_rowInOrder = true;
    m_rowLastColumn = 0;
}

void CellTally::finish()
{
    countRow();
    ++m_bands;
    const auto columns = static_cast<std::size_t>(m_summary.usedRange.lastColumn) + 1;
    m_summary.columnCells.resize(columns);
    m_summary.columnTextBytes.resize(columns);
}

} // namespace sheetfray::engine::readers
