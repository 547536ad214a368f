#include "support/Error.h"

#include "support/Quote.h"

namespace sheetfray {

namespace {

using Reason = ReadError::Reason;

// A detail holds the reader's own words and a quoted value or two.
constexpr std::size_t MostDetailCharacters = 4 * MostQuotedCharacters;

// The words of each reason; {file}, {part} and {detail} stand for those of the error. One case
// a reason, so that a reason without words fails the build (-Wswitch).
std::string_view wording(Reason reason)
{
    switch (reason) {
    case Reason::FileMissing:
        return "the file does not exist";
    case Reason::FileNotOpened:
        return "the file cannot be opened ({detail})";
    case Reason::Folder:
        return "it is a folder, not a file";
    case Reason::NotRegularFile:
        return "it is not a regular file";
    case Reason::FileNotRead:
        return "the file cannot be read";
    case Reason::OutOfMemory:
        return "there is not enough memory";
    case Reason::NotSpreadsheet:
        return "it is not a spreadsheet file";
    case Reason::EmptyFile:
        return "it is not a spreadsheet file (the file is empty)";
    case Reason::EmptyArchive:
        return "it is not a spreadsheet file (the zip archive is empty)";
    case Reason::NoWorkbookPart:
        return "it is not a spreadsheet file (it holds no workbook)";
    case Reason::NoWorkbookStream:
        return "it is not a spreadsheet file (the compound file holds no workbook)";
    case Reason::OtherOpenDocument:
        return "it is not a spreadsheet file (it is an OpenDocument \"{detail}\" document)";
    case Reason::UntypedOpenDocument:
        return "it is not a spreadsheet file (it is an OpenDocument file document)";
    case Reason::MarkupText:
        return "it is a web page or XML document, not a spreadsheet file this program reads";
    case Reason::SingleSheetFile:
        return "it is not a workbook (it holds a single chart or macro sheet)";
    case Reason::NotCompoundFile:
        return "it is not a compound file";
    case Reason::OldFormat:
        return "it is saved in the old {detail} workbook format, which is not supported; save "
               "it again in a newer format";
    case Reason::BinaryWorkbook:
        return "this file format is not supported yet (binary workbook)";
    case Reason::PasswordProtected:
        return "it is password-protected";
    case Reason::Damaged:
        return "the workbook is damaged ({detail})";
    case Reason::PartMissing:
        return "the workbook is damaged (the part {part} is missing)";
    case Reason::PartUnreadable:
        return "the workbook is damaged ({part}: {detail})";
    case Reason::PartChecksum:
        return "the workbook is damaged ({part} does not match its checksum)";
    case Reason::PartCorrupt:
        return "the workbook is damaged ({part} has invalid compressed data)";
    case Reason::PartCompression:
        return "the workbook is damaged ({part} is compressed by a method this program cannot "
               "read)";
    case Reason::XmlMalformed:
        return "the workbook is damaged ({part}: {detail})";
    case Reason::XmlDoctype:
        return "the workbook is damaged ({part} has a document type declaration, which no "
               "workbook has)";
    case Reason::XmlTooDeep:
        return "the workbook is damaged ({part} nests elements more than {detail} levels deep)";
    case Reason::SheetDamaged:
        return "the sheet is damaged ({detail})";
    case Reason::PartTooLarge:
        return "the workbook is not safe to read ({part} inflates to more than 4 GiB)";
    case Reason::PartOvercompressed:
        return "the workbook is not safe to read ({part} is compressed more than a thousandfold, "
               "as in a zip bomb)";
    case Reason::OverlappingParts:
        return "the workbook is not safe to read (its parts inflate to more than a thousand "
               "times its size, as in a zip bomb of overlapping entries)";
    case Reason::TooLargeForSheet:
        return "{detail}, more than a sheet holds";
    case Reason::TooManyCells:
        return "it has more than {detail} stored cells, more than this program reads";
    case Reason::TooManyRepeats:
        return "a sheet repeats cells more than {detail} times, more than can be read";
    case Reason::TooManyRepeatsInWorkbook:
        return "its sheets together repeat cells more than {detail} times, more than can be "
               "read";
    case Reason::CellOutsideSheet:
        return "a cell lies outside the sheet ({detail})";
    case Reason::TooMuchText:
        return "the sheet holds more text than can be read";
    case Reason::ChartSheet:
        return "it is a chart sheet, which has no cells";
    case Reason::DialogSheet:
        return "it is a dialog sheet, which has no cells";
    case Reason::MacroSheet:
        return "it is a macro sheet, which is not read";
    case Reason::MacroModule:
        return "it is a macro module, which has no cells";
    case Reason::NoSuchSheet:
        return "the workbook has no sheet {detail}";
    case Reason::NoSuchSheetInFile:
        return "\"{file}\" has no sheet {detail}";
    }
    return "the workbook cannot be read";
}

} // namespace

ReadError::ReadError(Reason reason, std::string detail)
    : ReadError(reason, std::move(detail), Place())
{}

ReadError::ReadError(Reason reason, std::string detail, Place place)
    : Error(std::string())
    , m_reason(reason)
    , m_detail(std::move(detail))
    , m_place(std::move(place))
{
    compose();
}

std::string ReadError::reasonText() const
{
    std::string text;
    if (!m_place.sheet.empty()) {
        text = "sheet \"" + m_place.sheet + "\": ";
    }
    text.append(m_message, m_fileLength);
    return text;
}

ReadError ReadError::noSuchSheet(std::int32_t index, std::string_view file)
{
    return ReadError(Reason::NoSuchSheetInFile, std::to_string(index), {.file = std::string(file)});
}

void ReadError::nameFile(std::string_view file)
{
    if (m_place.file.empty()) {
        m_place.file = file;
        compose();
    }
}

void ReadError::nameSheet(std::string_view sheet)
{
    if (m_place.sheet.empty()) {
        m_place.sheet = sheet;
        compose();
    }
}

// `cannot read "FILE": REASON`, or `cannot read sheet "SHEET" of "FILE": REASON`; the reason
// alone while no file is named, and as worded when its words name the file themselves. Every
// name and detail comes from the file or the user: each is shown escaped and cut to length.
void ReadError::compose()
{
    const std::string_view words = wording(m_reason);
    m_message.clear();
    if (!m_place.file.empty() && words.find("{file}") == std::string_view::npos) {
        m_message = "cannot read ";
        if (!m_place.sheet.empty()) {
            m_message += "sheet " + quotedText(m_place.sheet) + " of ";
        }
        m_message += quotedPath(m_place.file) + ": ";
    }
    m_fileLength = m_message.size();
    std::size_t at = 0;
    while (at < words.size()) {
        const std::size_t open = words.find('{', at);
        const std::size_t close = words.find('}', open);
        if (open == std::string_view::npos || close == std::string_view::npos) {
            m_message.append(words.substr(at));
            break;
        }
        // A name between quotes in the words is quoted as a whole, so that its cut keeps
        // the closing quote.
        const bool inQuotes = open > at && words[open - 1] == '"' && close + 1 < words.size()
            && words[close + 1] == '"';
        m_message.append(words.substr(at, open - at - (inQuotes ? 1 : 0)));
        const std::string_view name = words.substr(open + 1, close - open - 1);
        const std::string* value = name == "file" ? &m_place.file
            : name == "part"                      ? &m_place.part
            : name == "detail"                    ? &m_detail
                                                  : nullptr;
        if (value == nullptr) {
            m_message.append(words.substr(open, close - open + 1));
        } else if (inQuotes) {
            m_message += name == "file" ? quotedPath(*value) : quotedText(*value);
        } else {
            // A detail is worded by the reader and quotes what it takes from the file; it
            // is only made safe here, with a bound for a reader that forgot.
            m_message +=
                shownText(*value, name == "detail" ? MostDetailCharacters : MostQuotedCharacters);
        }
        at = close + 1 + (inQuotes ? 1 : 0);
    }
}

} // namespace sheetfray
