// Writes small Office Open XML workbooks from XML snippets, so a test shows the cell that matters.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace sheetfray::testing {

// One cell of a table sheet: empty, a text (stored as a shared string) or a number.
class TableCell
{
public:
    TableCell() = default;

    TableCell(const char* text)
        : m_value(std::string(text))
    {}

    TableCell(std::string text)
        : m_value(std::move(text))
    {}

    TableCell(double number)
        : m_value(number)
    {}

    TableCell(int number)
        : m_value(static_cast<double>(number))
    {}

    [[nodiscard]] const std::variant<std::monostate, std::string, double>& value() const
    {
        return m_value;
    }

private:
    std::variant<std::monostate, std::string, double> m_value;
};

enum class SheetState { Visible, Hidden, VeryHidden };

// Builds a package with a workbook, its sheets in the order added, and optional shared strings,
// number formats and workbook properties. Every part can be replaced or removed to build
// damaged packages. Example:
//
//     XlsxBuilder b;
//     b.setSharedStrings({"Name", "Qty", "Pen"});
//     b.addSheet("Sheet1", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)");
//     b.addTableSheet("Sheet2", {{"Name", "Qty"}, {"Pen", 3}});
//     b.save(dir / "book.xlsx");
class XlsxBuilder
{
public:
    // Adds a worksheet whose <sheetData> holds rowsXml (the <row> elements).
    XlsxBuilder&
    addSheet(std::string name, std::string rowsXml, SheetState state = SheetState::Visible);
    // Adds a worksheet whose part is exactly the given document (a whole <worksheet>).
    XlsxBuilder&
    addSheetDocument(std::string name, std::string xml, SheetState state = SheetState::Visible);
    // Adds a worksheet from a table, row 1 first, column A first. Texts become shared
    // strings (added to the list, or reused when present), numbers plain number cells.
    XlsxBuilder& addTableSheet(std::string name, const std::vector<std::vector<TableCell>>& rows);
    XlsxBuilder& addChartSheet(std::string name, SheetState state = SheetState::Visible);
    XlsxBuilder& addDialogSheet(std::string name);

    // Plain texts, index 0 first; call before addTableSheet.
    XlsxBuilder& setSharedStrings(std::vector<std::string> texts);
    // The <si> items of the shared-string part, written as given.
    XlsxBuilder& setSharedStringsXml(std::string itemsXml);

    // Number formats by style index: style 0 stays General, codes[i] is style i + 1.
    XlsxBuilder& setNumberFormats(const std::vector<std::string>& codes);
    // Adds a style with a custom format code (or a built-in format id); returns its index,
    // the value of a cell's s attribute.
    std::uint32_t addNumberFormat(std::string code);
    std::uint32_t addBuiltinFormat(int id);

    XlsxBuilder& setDate1904(bool on);

    // Adds or replaces any entry of the package by its name ("xl/workbook.xml").
    XlsxBuilder& setPart(std::string name, std::string content);
    // Leaves a generated entry out of the package.
    XlsxBuilder& removePart(std::string name);

    // Writes the package, every part compressed but storedPart; throws std::runtime_error when
    // it cannot be written.
    void save(const std::filesystem::path& path, const std::string& storedPart = {}) const;

    // The text of one worksheet part built from rows of XML (exposed for tests that write
    // their own packages).
    [[nodiscard]] static std::string worksheetDocument(const std::string& rowsXml);
    // "A" for 1, "AA" for 27.
    [[nodiscard]] static std::string columnName(int column);
    // Escapes &, <, > and " for XML text and attributes.
    [[nodiscard]] static std::string escape(const std::string& text);

private:
    enum class Kind { Worksheet, Chartsheet, Dialogsheet };

    struct SheetEntry
    {
        std::string name;
        Kind kind;
        SheetState state;
        std::string document;
    };

    struct StyleEntry
    {
        int formatId;
        std::string code; // empty for a built-in id
    };

    std::uint32_t sharedIndex(const std::string& text);
    [[nodiscard]] std::vector<std::pair<std::string, std::string>> parts() const;
    [[nodiscard]] std::string stylesDocument() const;

    std::vector<SheetEntry> m_sheets;
    std::vector<std::string> m_sharedStrings;
    std::string m_sharedStringsXml;
    bool m_rawSharedStrings = false;
    std::vector<StyleEntry> m_styles;
    bool m_date1904 = false;
    std::vector<std::pair<std::string, std::string>> m_overrides;
    std::vector<std::string> m_removed;
};

} // namespace sheetfray::testing
