// Exception types the engine throws; the trap turns them into error reports.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace sheetfray {

// Any failure of a working step. The message names what failed, the file and why.
class Error : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A workbook (or one of its sheets) cannot be read: damaged, encrypted, unsupported. It
// carries why (a reason, and a detail where the reason's wording takes one) and where (the
// file, the sheet, the part of a zip package). The layer that fails gives what it knows; the
// reader names the file where it opened the workbook. The message is made from them:
// `cannot read "q3.xlsx": it is password-protected`.
class ReadError : public Error
{
public:
    // Every way reading can fail. The wording of each is in one table (Error.cpp).
    enum class Reason : std::uint8_t {
        // The file itself.
        FileMissing,
        FileNotOpened, // detail: the system's reason
        Folder,
        NotRegularFile,
        FileNotRead,
        OutOfMemory,
        // What the file holds.
        NotSpreadsheet,
        EmptyFile,
        EmptyArchive, // a zip archive without entries
        NoWorkbookPart, // a zip package without a workbook
        NoWorkbookStream, // a compound file without a workbook stream
        OtherOpenDocument, // detail: its media type
        UntypedOpenDocument, // an OpenDocument package without a media type
        MarkupText, // a web page or XML document saved as a workbook
        SingleSheetFile, // a BIFF file holding one chart or macro sheet
        NotCompoundFile,
        OldFormat, // detail: the version ("BIFF4")
        BinaryWorkbook,
        PasswordProtected,
        // Damage.
        Damaged, // detail: what is wrong
        PartMissing,
        PartUnreadable, // detail: the zip library's reason
        PartChecksum,
        PartCorrupt, // invalid compressed data
        PartCompression, // a compression method this program does not read
        XmlMalformed, // detail: the XML error and its line
        XmlDoctype, // a document type declaration, refused
        XmlTooDeep, // detail: the deepest nesting read
        SheetDamaged, // detail: what is wrong
        // Files built to exhaust memory.
        PartTooLarge,
        PartOvercompressed,
        OverlappingParts,
        // Beyond what is read.
        TooLargeForSheet, // detail: what exceeds the grid
        TooManyCells, // detail: the most stored cells read
        TooManyRepeats, // detail: the most repeated cells read in a sheet
        TooManyRepeatsInWorkbook, // detail: the most repeated cells read in all sheets
        CellOutsideSheet, // detail: the cell's row and column
        TooMuchText,
        // Sheets.
        ChartSheet,
        DialogSheet,
        MacroSheet,
        MacroModule,
        NoSuchSheet, // detail: the sheet's number
        NoSuchSheetInFile, // the same, worded with the file's name first
    };

    // Where reading failed; each may be empty. (The members are initialised so that a
    // designated initialiser may name only some of them.)
    struct Place
    {
        std::string file{}; // the name the user knows ("q3.xlsx")
        std::string sheet{};
        std::string part{}; // in a zip package ("xl/worksheets/sheet1.xml")
    };

    explicit ReadError(Reason reason, std::string detail = {});
    ReadError(Reason reason, std::string detail, Place place);

    // A sheet number outside the workbook's sheets: `"FILE" has no sheet N`.
    [[nodiscard]] static ReadError noSuchSheet(std::int32_t index, std::string_view file);

    [[nodiscard]] const char* what() const noexcept override { return m_message.c_str(); }

    [[nodiscard]] Reason reason() const { return m_reason; }

    [[nodiscard]] const std::string& detail() const { return m_detail; }

    [[nodiscard]] const Place& place() const { return m_place; }

    // The message without the file's name: `the workbook is encrypted`, or
    // `sheet "Data": the sheet is damaged (...)` when a sheet is named.
    [[nodiscard]] std::string reasonText() const;

    // Names the file (and the sheet) where no layer below has: called where the workbook is
    // opened, so that each layer reports only what it knows.
    void nameFile(std::string_view file);
    void nameSheet(std::string_view sheet);

private:
    void compose();

    Reason m_reason;
    std::string m_detail;
    Place m_place;
    std::string m_message;
    std::size_t m_fileLength = 0; // of the message's opening that names the file
};

// A sheet that holds no cells by its nature (a chart or dialog sheet): a split passes over it
// without a report.
class SheetWithoutCells : public ReadError
{
public:
    using ReadError::ReadError;
};

// An output file cannot be written; no partial file is left behind.
class WriteError : public Error
{
public:
    using Error::Error;

    // message: `cannot write "PATH": REASON`; reason: REASON alone, for counting alike ones.
    WriteError(const std::string& message, std::string reason)
        : Error(message)
        , m_reason(std::move(reason))
    {}

    // The reason alone; the whole message where none was given.
    [[nodiscard]] std::string reason() const { return m_reason.empty() ? what() : m_reason; }

private:
    std::string m_reason;
};

} // namespace sheetfray
