#include "engine/XlsWriter.h"

#include "engine/ByteOutput.h"
#include "engine/CompoundFileWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace sheetfray::engine {

namespace {

// Record types (MS-XLS 2.3).
constexpr std::uint16_t Eof = 0x000A;
constexpr std::uint16_t DateMode = 0x0022;
constexpr std::uint16_t Font = 0x0031;
constexpr std::uint16_t Continue = 0x003C;
constexpr std::uint16_t Window1 = 0x003D;
constexpr std::uint16_t CodePage = 0x0042;
constexpr std::uint16_t BoundSheet = 0x0085;
constexpr std::uint16_t Xf = 0x00E0;
constexpr std::uint16_t Sst = 0x00FC;
constexpr std::uint16_t LabelSst = 0x00FD;
constexpr std::uint16_t Dimensions = 0x0200;
constexpr std::uint16_t Number = 0x0203;
constexpr std::uint16_t BoolErr = 0x0205;
constexpr std::uint16_t Window2 = 0x023E;
constexpr std::uint16_t Style = 0x0293;
constexpr std::uint16_t Format = 0x041E;
constexpr std::uint16_t Bof = 0x0809;

constexpr std::size_t MaxRecordBody = 8224;
constexpr std::size_t MaxTextUnits = 32767;
// Cell formats 0 to 14 are the styles' and 15 the default cell format; the used number
// formats take theirs from 16 on.
constexpr std::uint16_t DefaultCellXf = 15;

void putDouble(std::string& out, double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    put32(out, static_cast<std::uint32_t>(bits));
    put32(out, static_cast<std::uint32_t>(bits >> 32));
}

void header(std::string& out, std::uint16_t type, std::size_t length)
{
    put16(out, type);
    put16(out, static_cast<unsigned>(length));
}

bool isAscii(std::string_view text)
{
    return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Characters of a string: 8-bit when every one is ASCII, UTF-16 otherwise (option byte 1).
void putCharacters(std::string& out, std::string_view text, const std::u16string& units, bool wide)
{
    if (!wide) {
        out += text;
        return;
    }
    for (const char16_t unit : units) {
        put16(out, unit);
    }
}

// A string with a 16-bit (a FORMAT code) or 8-bit (a sheet name) character count.
void putString(std::string& out, std::string_view text, bool shortCount)
{
    std::u16string units;
    appendUtf16Units(text, units);
    const bool wide = !isAscii(text);
    if (shortCount) {
        put8(out, static_cast<unsigned>(units.size()));
    } else {
        put16(out, static_cast<unsigned>(units.size()));
    }
    put8(out, wide ? 1 : 0);
    putCharacters(out, text, units, wide);
}

void record(std::string& out, std::uint16_t type, const std::string& body)
{
    header(out, type, body.size());
    out += body;
}

std::string bof(unsigned substream)
{
    std::string body;
    put16(body, 0x0600); // BIFF8
    put16(body, substream);
    put16(body, 0x0DBB); // build
    put16(body, 0x07CC); // year
    put32(body, 0); // file history
    put32(body, 0x06); // lowest version that can read it
    return body;
}

std::string xf(std::uint16_t formatId, bool style)
{
    std::string body;
    put16(body, 0); // font
    put16(body, formatId);
    put16(body, style ? 0xFFF5 : 0x0001); // locked; a style, or a cell format of style 0
    put8(body, 0x20); // aligned to the bottom
    put8(body, 0);
    put8(body, 0);
    put8(body, style ? 0 : 0xFC); // a cell format sets all its attributes itself
    put32(body, 0); // no borders
    put32(body, 0);
    put16(body, 0x20C0); // default pattern colours
    return body;
}

} // namespace

XlsWriter::XlsWriter(const Sheet& sheet)
    : WorkbookWriter(sheet)
{
    std::string& g = m_globals;
    record(g, Bof, bof(0x0005));
    std::string body;
    put16(body, 1200); // the strings are UTF-16
    record(g, CodePage, body);
    body.clear();
    for (const unsigned value : {0u, 0u, 0x3000u, 0x1E00u, 0x0038u, 0u, 0u, 1u, 0x0258u}) {
        put16(body, value);
    }
    record(g, Window1, body);
    body.clear();
    put16(body, sheet.styles().dateSystem == format::DateSystem::Date1904 ? 1 : 0);
    record(g, DateMode, body);
    body.clear();
    for (const unsigned value : {200u, 0u, 0x7FFFu, 400u, 0u}) {
        put16(body, value);
    }
    put32(body, 0); // underline, family, character set, reserved
    putString(body, "Arial", true);
    for (int font = 0; font < 4; ++font) {
        record(g, Font, body); // four fonts, as readers expect; index 4 is never used
    }
    const UsedFormats& used = formats();
    for (std::size_t k = 1; k < used.codes().size(); ++k) {
        if (used.formatId(k) < 164) {
            continue;
        }
        body.clear();
        put16(body, used.formatId(k));
        putString(body, used.codes()[k], false);
        if (body.size() > MaxRecordBody) {
            // A code longer than a record: its cells show as General.
            body.clear();
            put16(body, used.formatId(k));
            putString(body, "General", false);
        }
        record(g, Format, body);
    }
    for (int style = 0; style < DefaultCellXf; ++style) {
        record(g, Xf, xf(0, true));
    }
    record(g, Xf, xf(0, false));
    m_xfOfFormat.push_back(DefaultCellXf);
    for (std::size_t k = 1; k < used.codes().size(); ++k) {
        m_xfOfFormat.push_back(static_cast<std::uint16_t>(DefaultCellXf + k));
        record(g, Xf, xf(used.formatId(k), false));
    }
    body.clear();
    put16(body, 0x8000); // the built-in Normal style of cell format 0
    put8(body, 0);
    put8(body, 0xFF);
    record(g, Style, body);
    body.clear();
    put32(body, 0); // the sheet's offset, known per file
    put8(body, 0); // visible
    put8(body, 0); // a worksheet
    putString(body, outputSheetName(sheet.name()), true);
    m_sheetOffsetAt = g.size() + 4;
    record(g, BoundSheet, body);
    record(m_sheetBof, Bof, bof(0x0010));
}

void XlsWriter::begin()
{
    m_strings.clear();
    m_stringRecord = 0;
    m_stringCount = 0;
    header(m_strings, Sst, 0);
    put32(m_strings, 0); // total and distinct strings, known at the end
    put32(m_strings, 0);
    m_cells.clear();
    m_firstRow = 0;
    m_lastRow = 0;
    m_firstColumn = 0;
    m_lastColumn = 0;
}

void XlsWriter::addCell(std::int32_t row, std::int32_t column, const OutputCell& cell)
{
    if (row < 1 || row > MaxRows || column < 1 || column > MaxColumns) {
        countUnfit();
        return;
    }
    if (m_lastRow == 0) {
        m_firstRow = row;
        m_firstColumn = column;
        m_lastColumn = column;
    }
    m_lastRow = row;
    m_firstColumn = std::min(m_firstColumn, column);
    m_lastColumn = std::max(m_lastColumn, column);
    const auto r = static_cast<unsigned>(row - 1);
    const auto c = static_cast<unsigned>(column - 1);
    const std::uint16_t xfIndex = m_xfOfFormat[cell.format];
    switch (cell.kind) {
    case OutputCell::Kind::Number:
        header(m_cells, Number, 14);
        put16(m_cells, r);
        put16(m_cells, c);
        put16(m_cells, xfIndex);
        putDouble(m_cells, cell.number);
        return;
    case OutputCell::Kind::Text:
        header(m_cells, LabelSst, 10);
        put16(m_cells, r);
        put16(m_cells, c);
        put16(m_cells, xfIndex);
        put32(m_cells, m_stringCount);
        addString(cell.text);
        return;
    case OutputCell::Kind::Boolean:
    case OutputCell::Kind::Error:
        header(m_cells, BoolErr, 8);
        put16(m_cells, r);
        put16(m_cells, c);
        put16(m_cells, xfIndex);
        put8(m_cells,
             cell.kind == OutputCell::Kind::Boolean ? (cell.boolean ? 1 : 0) : cell.errorCode);
        put8(m_cells, cell.kind == OutputCell::Kind::Error ? 1 : 0);
        return;
    }
}

std::size_t XlsWriter::stringRoom() const
{
    return MaxRecordBody - (m_strings.size() - m_stringRecord - 4);
}

void XlsWriter::continueStrings()
{
    set16(m_strings,
          m_stringRecord + 2,
          static_cast<unsigned>(m_strings.size() - m_stringRecord - 4));
    m_stringRecord = m_strings.size();
    header(m_strings, Continue, 0);
}

// Strings are not shared between cells: a file holds a line, whose texts seldom repeat, and
// looking them up would cost more than it saves.
void XlsWriter::addString(std::string_view text)
{
    ++m_stringCount;
    const bool wide = !isAscii(text);
    std::size_t count = text.size();
    if (wide) {
        m_units.clear();
        appendUtf16Units(text, m_units);
        count = m_units.size();
    }
    if (count > MaxTextUnits) {
        count = MaxTextUnits;
        // Not half of a surrogate pair.
        if (wide && m_units[count - 1] >= 0xD800 && m_units[count - 1] <= 0xDBFF) {
            --count;
        }
        countUnfit();
    }
    const std::size_t unitSize = wide ? 2 : 1;
    // The count and option byte stay with the first character; the characters may go on
    // in CONTINUE records, each starting with the option byte again.
    if (stringRoom() < 3 + unitSize) {
        continueStrings();
    }
    put16(m_strings, static_cast<unsigned>(count));
    put8(m_strings, wide ? 1 : 0);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, stringRoom() / unitSize);
        if (wide) {
            for (std::size_t k = done; k < done + n; ++k) {
                put16(m_strings, m_units[k]);
            }
        } else {
            m_strings.append(text, done, n);
        }
        done += n;
        if (done < count) {
            continueStrings();
            put8(m_strings, wide ? 1 : 0);
        }
    }
}

void XlsWriter::finish(std::string& out)
{
    set16(m_strings,
          m_stringRecord + 2,
          static_cast<unsigned>(m_strings.size() - m_stringRecord - 4));
    set32(m_strings, 4, m_stringCount);
    set32(m_strings, 8, m_stringCount);
    m_stream.clear();
    m_stream += m_globals;
    m_stream += m_strings;
    header(m_stream, Eof, 0);
    set32(m_stream, m_sheetOffsetAt, static_cast<std::uint32_t>(m_stream.size()));
    m_stream += m_sheetBof;
    header(m_stream, Dimensions, 14);
    const bool empty = m_lastRow == 0;
    put32(m_stream, empty ? 0 : static_cast<std::uint32_t>(m_firstRow - 1));
    put32(m_stream, empty ? 0 : static_cast<std::uint32_t>(m_lastRow));
    put16(m_stream, empty ? 0 : static_cast<unsigned>(m_firstColumn - 1));
    put16(m_stream, empty ? 0 : static_cast<unsigned>(m_lastColumn));
    put16(m_stream, 0);
    m_stream += m_cells;
    header(m_stream, Window2, 18);
    for (const unsigned value : {0x06B6u, 0u, 0u, 64u, 0u, 0u, 0u, 0u, 0u}) {
        put16(m_stream, value);
    }
    header(m_stream, Eof, 0);
    appendCompoundFile("Workbook", m_stream, out);
}

} // namespace sheetfray::engine
