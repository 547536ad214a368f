#include "engine/WorkbookWriter.h"

#include "engine/CodePage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace sheetfray::engine {

namespace {

// More formats than a file may declare (BIFF8 allows about 4,000 cell formats): the rest show
// as General. Only a hostile workbook uses that many on one sheet.
constexpr std::size_t MaxFormats = 3000;

// Built-in ids whose codes every reader shows alike; 14 and 22 show the reader's own short
// date, 5 to 8 and 41 to 44 its currency, 23 to 36 its East Asian forms, so those are written
// as codes of their own.
constexpr std::array<int, 18> PortableBuiltins = {
    1, 2, 3, 4, 9, 10, 11, 12, 13, 18, 19, 20, 21, 45, 46, 47, 48, 49};

constexpr std::array<std::pair<std::string_view, std::uint8_t>, 8> ErrorCodes{{
    {"#NULL!", 0x00},
    {"#DIV/0!", 0x07},
    {"#VALUE!", 0x0F},
    {"#REF!", 0x17},
    {"#NAME?", 0x1D},
    {"#NUM!", 0x24},
    {"#N/A", 0x2A},
    {"#GETTING_DATA", 0x2B},
}};

} // namespace

UsedFormats::UsedFormats(const Sheet& sheet)
    : m_codes{"General"}
    , m_formatIds{0}
{
    const WorkbookStyles& styles = sheet.styles();
    m_formatOfStyle.assign(styles.cellFormats.size(), 0);
    std::vector<bool> seen(styles.cellFormats.size(), false);
    std::map<std::string_view, std::uint16_t> byCode{{"General", 0}};
    std::uint16_t nextOwnId = 164;
    for (const StoredCell& cell : sheet.cells()) {
        if (cell.kind == CellKind::ShownNumber || cell.style >= seen.size() || seen[cell.style]) {
            continue;
        }
        seen[cell.style] = true;
        const std::string_view code = styles.cellFormats[cell.style].code();
        auto [at, added] = byCode.try_emplace(code, static_cast<std::uint16_t>(m_codes.size()));
        if (added) {
            if (m_codes.size() >= MaxFormats) {
                at->second = 0;
            } else {
                m_codes.push_back(code);
                std::uint16_t id = 0;
                for (const int builtin : PortableBuiltins) {
                    if (format::builtinFormatCode(builtin) == code) {
                        id = static_cast<std::uint16_t>(builtin);
                    }
                }
                m_formatIds.push_back(id != 0 ? id : nextOwnId++);
            }
        }
        m_formatOfStyle[cell.style] = at->second;
    }
}

std::string_view outputSheetName(std::string_view name)
{
    std::u16string units;
    appendUtf16Units(name, units);
    const bool valid = !units.empty() && units.size() <= 31
        && name.find_first_of("[]:*?/\\") == std::string_view::npos && name.front() != '\''
        && name.back() != '\''
        && std::ranges::none_of(units, [](char16_t unit) { return unit < 0x20 || unit == 0x7F; });
    return valid ? name : "Sheet1";
}

int errorCodeOf(std::string_view text)
{
    for (const auto& [shown, code] : ErrorCodes) {
        if (shown == text) {
            return code;
        }
    }
    return -1;
}

WorkbookWriter::WorkbookWriter(const Sheet& sheet)
    : m_sheet(sheet)
    , m_formats(sheet)
{}

void WorkbookWriter::add(std::int32_t row, std::int32_t column, const StoredCell& cell)
{
    OutputCell out;
    out.format = m_formats.of(cell.style);
    switch (cell.kind) {
    case CellKind::Blank:
        return;
    case CellKind::Number:
        if (std::isfinite(cell.data.number)) {
            out.number = cell.data.number;
            break;
        }
        [[fallthrough]];
    case CellKind::ShownNumber:
        // Kept as the text it shows: the text came from a format this program does not
        // express, so no code would show it alike. (Not-a-number and infinities have no
        // place in a number cell.)
        m_shown.clear();
        m_sheet.appendText(cell, m_shown);
        out.kind = OutputCell::Kind::Text;
        out.format = 0;
        out.text = m_shown;
        break;
    case CellKind::SharedText:
    case CellKind::Text:
        out.kind = OutputCell::Kind::Text;
        out.text = m_sheet.value(cell).text;
        break;
    case CellKind::Boolean:
        out.kind = OutputCell::Kind::Boolean;
        out.boolean = cell.data.boolean;
        break;
    case CellKind::Error: {
        out.text = m_sheet.value(cell).text;
        const int code = errorCodeOf(out.text);
        out.kind = code < 0 ? OutputCell::Kind::Text : OutputCell::Kind::Error;
        out.errorCode = static_cast<std::uint8_t>(code < 0 ? 0 : code);
        if (code < 0) {
            out.format = 0; // an error shows its text, whatever the format would make of it
        }
        break;
    }
    }
    addCell(row, column, out);
}

void appendUtf16Units(std::string_view utf8, std::u16string& out)
{
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        char32_t code = decodeUtf8(utf8, i);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
}

} // namespace sheetfray::engine
