// The first reading of a sheet read in parts, counted as the cells come, none of them built.
#pragma once

#include "engine/Host.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace sheetfray::engine::readers {

// What RowBands and BandTally make of the cells a reader adds to a SheetBuilder, without the
// builder: the summary of the sheet, and how many bands RowBands would cut it into. It takes
// the builder's calls a reader makes, each after beforeCell(row) as RowBands has it, and stores
// nothing but the positions of the current row (a later cell at a position replaces an
// earlier one, as in the builder). A cell of an earlier row than the one before it throws
// RowBands::OutOfOrder.
class CellTally
{
public:
    void beforeCell(std::int32_t row)
    {
        if (row != m_row) {
            nextRow(row);
        }
    }

    void addBlank(std::int32_t row, std::int32_t column, std::uint32_t /*style*/)
    {
        add(row, column, Stored::Blank, 0);
    }

    void addNumber(std::int32_t row, std::int32_t column, double /*value*/, std::uint32_t)
    {
        add(row, column, Stored::Valued, 0);
    }

    void addSharedText(std::int32_t row, std::int32_t column, std::uint32_t, std::uint32_t)
    {
        add(row, column, Stored::Valued, 0);
    }

    void addText(std::int32_t row, std::int32_t column, std::string_view text, std::uint32_t)
    {
        add(row, column, Stored::Valued, text.size());
    }

    void addBoolean(std::int32_t row, std::int32_t column, bool /*value*/, std::uint32_t)
    {
        add(row, column, Stored::Valued, 0);
    }

    void addError(std::int32_t row, std::int32_t column, std::string_view text, std::uint32_t)
    {
        add(row, column, Stored::Valued, text.size());
    }

    void addEmpty(std::int32_t row, std::int32_t column);
    void countFormulaWithoutResult();

    // After the last cell, as RowBands::finish.
    void finish();

    [[nodiscard]] const SheetSummary& summary() const { return m_summary; }

    // How many bands RowBands would hand over. It counts the cells a band's builder holds
    // before it sorts them, so a sheet that stores cells twice at a position may count
    // otherwise than RowBands; the count only chooses between holding a sheet whole and in
    // parts.
    [[nodiscard]] std::size_t bands() const { return m_bands; }

private:
    enum class Stored : std::uint8_t { Cleared, Blank, Valued };

    void nextRow(std::int32_t row);

    // Inline: called for every cell.
    void add(std::int32_t row, std::int32_t column, Stored stored, std::size_t textBytes)
    {
        widen(row, column);
        if (textBytes > 0) {
            if (m_bandText + textBytes > std::numeric_limits<std::uint32_t>::max()) {
                tooMuchText(); // as the builder's text of one band
            }
            m_bandText += textBytes;
        }
        ++m_bandCells;
        if (column <= m_rowLastColumn) {
            m_rowInOrder = false;
        }
        m_rowLastColumn = std::max(m_rowLastColumn, column);
        m_rowCells.push_back({column, stored, static_cast<std::uint32_t>(textBytes)});
    }

    void widen(std::int32_t row, std::int32_t column)
    {
        // As the builder checks every cell; the reader's cells are inside the sheet already.
        if (row < 1 || row > MaxRows || column < 1 || column > MaxColumns) {
            outsideSheet(row, column);
        }
        UsedRange& range = m_summary.usedRange;
        range.lastRow = std::max(range.lastRow, row);
        range.lastColumn = std::max(range.lastColumn, column);
    }

    [[noreturn]] static void outsideSheet(std::int32_t row, std::int32_t column);
    [[noreturn]] static void tooMuchText();
    // Counts the current row's cells, the last at each position.
    void countRow();

    SheetSummary m_summary;
    std::size_t m_bands = 0;
    std::int32_t m_row = 0;
    std::size_t m_bandCells = 0; // cells the band's builder would hold
    std::size_t m_bandText = 0; // bytes of own text the band's builder would hold

    struct RowCell
    {
        std::int32_t column;
        Stored stored;
        std::uint32_t textBytes;
    };

    // The current row's cells as added, and whether their columns only went up.
    std::vector<RowCell> m_rowCells;
    bool m_rowInOrder = true;
    std::int32_t m_rowLastColumn = 0; // the greatest column of m_rowCells
};

} // namespace sheetfray::engine::readers
