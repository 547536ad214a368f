// Writes .xls workbooks (BIFF8 in a compound file) of one sheet.
#pragma once

#include "engine/WorkbookWriter.h"

#include <cstddef>
#include <string>

namespace sheetfray::engine {

// Every file written from one sheet shares its globals (formats, cell formats, sheet name),
// built once; a file adds its cells, their shared strings and the container around them.
// Rows beyond 65,536 and columns beyond 256 are outside the format's grid and left out, and
// texts are cut to 32,767 characters; both count as unfit.
class XlsWriter final : public WorkbookWriter
{
public:
    explicit XlsWriter(const Sheet& sheet);

    void begin() override;
    void finish(std::string& out) override;

    static constexpr std::int32_t MaxRows = 65536;
    static constexpr std::int32_t MaxColumns = 256;

protected:
    void addCell(std::int32_t row, std::int32_t column, const OutputCell& cell) override;

private:
    void addString(std::string_view text);
    void continueStrings();
    [[nodiscard]] std::size_t stringRoom() const;

    std::string m_globals; // the globals up to the shared strings
    std::size_t m_sheetOffsetAt = 0; // where BOUNDSHEET holds the sheet's stream offset
    std::string m_sheetBof; // the record that starts the sheet
    std::vector<std::uint16_t> m_xfOfFormat; // the cell format of each used number format
    std::string m_strings; // the SST record and its CONTINUE records
    std::size_t m_stringRecord = 0; // where the last of them starts in m_strings
    std::uint32_t m_stringCount = 0;
    std::string m_cells;
    std::int32_t m_firstRow = 0;
    std::int32_t m_lastRow = 0;
    std::int32_t m_firstColumn = 0;
    std::int32_t m_lastColumn = 0;
    std::string m_stream;
    std::u16string m_units;
};

} // namespace sheetfray::engine
