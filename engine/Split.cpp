#include "engine/Split.h"

#include "engine/LineText.h"
#include "engine/OutputFile.h"
#include "engine/XlsWriter.h"
#include "engine/XlsxWriter.h"
#include "support/Error.h"
#include "support/Quote.h"
#include "support/Text.h"
#include "support/Trap.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace sheetfray::engine {

namespace {

// The statement numbers a line-splitting procedure reports; rows and columns number their
// statements differently because the column walk does not set the busy pointer.
struct LineLabels
{
    std::string_view location;
    Progress::Unit unit;
    int sheets;
    int lines; // the loop over rows (columns); reading the sheet counts here
    int busy; // 0: the procedure does not set the busy pointer per line
    int progress;
    int yield;
    int counter;
    int clear;
    int cells; // building the line, cell by cell
    int kind;
    int spreadsheetName;
    int textName;
};

constexpr LineLabels RowLabels{Location::SaveEachRow,
                               Progress::Unit::Row,
                               106,
                               108,
                               110,
                               112,
                               114,
                               116,
                               118,
                               120,
                               134,
                               136,
                               142};

constexpr LineLabels ColumnLabels{Location::SaveEachCol,
                                  Progress::Unit::Column,
                                  106,
                                  108,
                                  0,
                                  110,
                                  112,
                                  114,
                                  116,
                                  118,
                                  132,
                                  134,
                                  140};

// A tab-separated cell: in double quotes, inner ones doubled, when it holds a tab, a line
// break or a double quote, so that a reader of tab-separated text takes it whole.
void appendTabCell(std::string_view cell, std::string& out)
{
    if (cell.find_first_of("\t\r\n\"") == std::string_view::npos) {
        out += cell;
        return;
    }
    out += '"';
    for (const char c : cell) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
}

// The line as tab-separated text: each separator a tab (none when the separator is empty),
// each cell quoted where it needs it.
void tabSeparated(const LineText& line, std::size_t separatorLength, std::string& out)
{
    out.clear();
    std::size_t from = 0;
    for (const std::size_t offset : line.separatorOffsets) {
        appendTabCell(std::string_view(line.text).substr(from, offset - from), out);
        if (separatorLength != 0) {
            out += '\t';
        }
        from = offset + separatorLength;
    }
    appendTabCell(std::string_view(line.text).substr(from), out);
}

// What the files hold: the command line's kind, else the window's choice.
OutputKind outputKind(const SplitContext& context, bool spreadsheet)
{
    if (context.choices && context.choices->kind) {
        return *context.choices->kind;
    }
    return spreadsheet ? OutputKind::Spreadsheet : OutputKind::Text;
}

bool isWorkbookKind(OutputKind kind)
{
    return kind == OutputKind::Spreadsheet || kind == OutputKind::Xlsx;
}

std::string_view extensionOf(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Text:
        return ".txt";
    case OutputKind::Spreadsheet:
    case OutputKind::TabText:
        return ".xls";
    case OutputKind::Xlsx:
        return ".xlsx";
    case OutputKind::Json:
        return ".json";
    }
    return ".txt";
}

// The workbook writer of one sheet, made on the first file that needs it: its formats and
// fixed parts are built once for all the sheet's files.
class SheetBooks
{
public:
    SheetBooks(RunOutputs& outputs, const std::string& workbookPath)
        : m_outputs(outputs)
        , m_workbookPath(workbookPath)
    {}

    WorkbookWriter& writer(OutputKind kind, const Sheet& sheet)
    {
        // A writer knows the formats of the cells it was made from: a sheet handed over in
        // parts takes a new one for each part.
        if (!m_writer || kind != m_kind || sheet.serial() != m_serial) {
            countUnfit();
            m_writer.reset();
            if (kind == OutputKind::Xlsx) {
                m_writer = std::make_unique<XlsxWriter>(sheet);
            } else {
                m_writer = std::make_unique<XlsWriter>(sheet);
            }
            m_kind = kind;
            m_serial = sheet.serial();
            m_sheet = sheet.name();
        }
        return *m_writer;
    }

    // Ends the sheet: says how many of its cells its files could not hold.
    void finishSheet()
    {
        countUnfit();
        m_writer.reset();
        const std::uint64_t count = m_unfit;
        m_unfit = 0;
        if (count == 0) {
            return;
        }
        const bool xlsx = m_kind == OutputKind::Xlsx;
        m_outputs.warn(quotedPath(m_workbookPath) + ": " + groupedNumber(count)
                       + (count == 1 ? " cell" : " cells") + " of sheet \"" + m_sheet
                       + (xlsx ? "\" did not fit in .xlsx files (rows after 1,048,576) and "
                               : "\" did not fit in .xls files (rows after 65,536, columns "
                                 "after IV, texts over 32,767 characters) and ")
                       + (count == 1 ? "was" : "were") + (xlsx ? " left out" : " left out or cut"));
    }

private:
    void countUnfit()
    {
        if (m_writer) {
            m_unfit += m_writer->unfit();
        }
    }

    std::unique_ptr<WorkbookWriter> m_writer;
    std::uint64_t m_serial = 0;
    std::uint64_t m_unfit = 0; // cells of the sheet that did not fit, over its parts
    OutputKind m_kind = OutputKind::Spreadsheet;
    std::string m_sheet;
    RunOutputs& m_outputs;
    const std::string& m_workbookPath;
};

// "17.2 GB", "640.0 kB", "512 bytes": a size as file managers show it.
std::string shownSize(std::uint64_t bytes)
{
    static constexpr std::array<std::string_view, 4> Units{"kB", "MB", "GB", "TB"};
    if (bytes < 1000) {
        return std::to_string(bytes) + " bytes";
    }
    std::uint64_t unitSize = 1000;
    std::size_t unit = 0;
    while (unit + 1 < Units.size() && bytes / unitSize >= 1000) {
        unitSize *= 1000;
        ++unit;
    }
    const std::uint64_t tenths = bytes / (unitSize / 10);
    return groupedNumber(tenths / 10) + '.' + std::to_string(tenths % 10) + ' '
        + std::string(Units[unit]);
}

std::uint64_t timesSaturated(std::uint64_t a, std::uint64_t b)
{
    return b != 0 && a > std::numeric_limits<std::uint64_t>::max() / b
        ? std::numeric_limits<std::uint64_t>::max()
        : a * b;
}

// Keeps one workbook's split from filling the disk: a sheet whose files cannot fit in the
// free space is not split, and the split stops when the disk is all but full. The free space
// is looked at every few files only; a file system whose space cannot be told is not watched.
class SpaceWatch
{
public:
    SpaceWatch(const DiskSpaceSource& source, std::string_view outputBase, std::string workbook)
        : m_source(source)
        , m_folder(FolderOfPath(outputBase))
        , m_workbook(std::move(workbook))
    {
        if (m_folder.empty()) {
            m_folder = ".";
        }
    }

    // Why a sheet of that many files of bytesPerFile each is not split; empty when it fits.
    // Each file takes its bytes in whole blocks, one block at the least: a used range of the
    // whole grid costs that much whatever few cells it holds.
    [[nodiscard]] std::string
    refusal(std::uint64_t files, std::uint64_t bytesPerFile, std::string_view sheet) const
    {
        const std::optional<DiskSpace> space = look();
        if (!space || files == 0) {
            return {};
        }
        const std::uint64_t block = std::max<std::uint64_t>(space->blockSize, 1);
        const std::uint64_t blocks =
            std::max<std::uint64_t>(1, bytesPerFile / block + (bytesPerFile % block != 0 ? 1 : 0));
        const std::uint64_t needed = timesSaturated(timesSaturated(files, blocks), block);
        if (needed <= space->available) {
            return {};
        }
        return "not splitting sheet \"" + std::string(sheet) + "\" of \"" + m_workbook + "\": its "
            + groupedNumber(files) + (files == 1 ? " file" : " files") + " would take at least "
            + shownSize(needed) + ", and \"" + m_folder + "\" has " + shownSize(space->available)
            + " free";
    }

    // Counts a file of that many bytes, written or not; true when the free space has run low
    // (under 1% of the file system, or under 64 MiB on one of more than 6.4 GiB), stopMessage()
    // says so then.
    [[nodiscard]] bool runningLow(std::size_t bytes)
    {
        m_bytes += bytes;
        if (++m_files < FilesPerLook && m_bytes < BytesPerLook) {
            return false;
        }
        m_files = 0;
        m_bytes = 0;
        const std::optional<DiskSpace> space = look();
        if (!space) {
            return false;
        }
        const std::uint64_t reserve = std::min<std::uint64_t>(space->total / 100, Reserve);
        if (space->available >= reserve) {
            return false;
        }
        m_stopMessage = "stopped splitting \"" + m_workbook + "\": \"" + m_folder + "\" has only "
            + shownSize(space->available) + " free";
        return true;
    }

    [[nodiscard]] const std::string& stopMessage() const { return m_stopMessage; }

private:
    static constexpr std::uint32_t FilesPerLook = 64;
    static constexpr std::uint64_t BytesPerLook = std::uint64_t{4} << 20;
    static constexpr std::uint64_t Reserve = std::uint64_t{64} << 20;

    [[nodiscard]] std::optional<DiskSpace> look() const
    {
        return m_source ? m_source(m_folder) : std::nullopt;
    }

    const DiskSpaceSource& m_source;
    std::string m_folder;
    std::string m_workbook;
    std::uint32_t m_files = 0;
    std::uint64_t m_bytes = 0;
    std::string m_stopMessage;
};

bool writesJson(const SplitContext& context)
{
    return context.choices != nullptr && context.choices->kind == OutputKind::Json;
}

// The bytes of a file whose text is content: JSON is UTF-8 always; other text takes the
// chosen encoding, else the code page's. Points into content or converted.
std::string_view encodedContent(const SplitContext& context,
                                OutputKind kind,
                                std::string_view content,
                                std::string& converted)
{
    const SplitChoices* choices = context.choices;
    // JSON is UTF-8 always; a workbook file holds its texts in its own encoding.
    if (kind == OutputKind::Json || isWorkbookKind(kind)) {
        return content;
    }
    if (choices != nullptr && choices->encoding != nullptr) {
        if (choices->encoding->isPlainUtf8()) {
            return content;
        }
        converted = choices->encoding->encode(content);
        return converted;
    }
    // Text is UTF-8 already; only a single-byte code page needs a converted copy.
    if (context.codePage.isUtf8()) {
        return content;
    }
    converted = context.codePage.encode(content);
    return converted;
}

// Files are named on the writer's own thread: a failure there is reported with the number of
// the statement that wrote the file, as soon as the walk learns of it.
void reportNamingFailures(Trap& trap, OutputWriter& writer, RunOutputs& outputs)
{
    for (const OutputWriter::Failure& failure : writer.takeFailures()) {
        outputs.countLateFailure();
        if (outputs.shouldReport(failure.reason)) {
            trap.report(failure.tag, failure.message);
        }
    }
}

// Every file written so far has its name, and every failure is reported: at the end of each
// sheet, so none waits while the next is read.
void finishOutput(Trap& trap, OutputWriter& writer, RunOutputs& outputs)
{
    writer.finish();
    reportNamingFailures(trap, writer, outputs);
}

// Names, cleans and writes one output file: three numbered statements from firstLabel on.
// The content is the line (or the cell's value text) in UTF-8, as it goes into the file.
// A name this run has written already takes the next free "NAME (2)" form.
void saveOutput(const SplitContext& context,
                Trap& trap,
                OutputWriter& writer,
                int firstLabel,
                OutputKind kind,
                std::string_view outputBase,
                CellLocation location,
                std::string_view firstValue,
                std::int32_t fileCounter,
                std::string_view fallbackName,
                std::string_view content,
                std::string_view bookName,
                std::string_view sheetName)
{
    const std::string_view extension = extensionOf(kind);
    ZipArchive* const archive = context.choices != nullptr ? context.choices->archive : nullptr;
    std::string name;
    NamingScheme scheme = NamingScheme::FileNamePlusNumber;
    trap.step(firstLabel, [&] {
        scheme = context.controls.namingScheme();
        const SplitChoices* choices = context.choices;
        if (choices && !choices->nameTemplate.empty()) {
            // The template's text is cleaned as a first value is.
            const std::string book = StripExtension(bookName);
            const NameFields fields{book, sheetName, fileCounter, location, firstValue};
            name = FolderOfPath(outputBase)
                + CleanFirstValue(ExpandNameTemplate(choices->nameTemplate, fields, choices->pad));
            scheme = NamingScheme::FirstCellValue;
        } else if (choices && choices->pad > 0 && scheme == NamingScheme::FileNamePlusNumber) {
            name = std::string(outputBase) + '_' + PaddedNumber(fileCounter, choices->pad);
        } else {
            name = BuildOutputName(
                outputBase, location, firstValue, fileCounter, scheme, fallbackName);
        }
    });
    trap.step(firstLabel + 2, [&] {
        name = OutputFilePath(name,
                              FolderOfPath(outputBase).size(),
                              scheme,
                              extension,
                              fallbackName,
                              context.codePage,
                              context.reporter);
        name =
            context.outputs.claim(std::move(name), extension.size(), [&](const std::string& path) {
                struct stat info
                {};
                if (archive != nullptr) {
                    return archive->holds(path);
                }
                return writer.holds(path) || ::lstat(path.c_str(), &info) == 0;
            });
    });
    if (const RunOutputs::Preview& preview = context.outputs.preview()) {
        context.outputs.countFile(trap.step(firstLabel + 4, [&] { preview(name); }));
        return;
    }
    bool failed = false;
    trap.step(firstLabel + 4, [&] {
        try {
            std::string converted;
            const std::string_view bytes = encodedContent(context, kind, content, converted);
            if (archive != nullptr) {
                archive->add(name, bytes);
            } else {
                writer.write(bytes, name, firstLabel + 4);
            }
        } catch (const WriteError& e) {
            failed = true;
            if (context.outputs.shouldReport(e.reason())) {
                throw;
            }
        } catch (const std::exception& e) {
            failed = true;
            if (context.outputs.shouldReport(e.what())) {
                throw;
            }
        }
    });
    context.outputs.countFile(!failed);
    reportNamingFailures(trap, writer, context.outputs);
}

// Counts the failures of one workbook's split by reason, from its start to every way out.
class WorkbookFailures
{
public:
    WorkbookFailures(RunOutputs& outputs, const std::string& workbookPath)
        : m_outputs(outputs)
    {
        m_outputs.beginWorkbook(fileNameOfPath(workbookPath));
    }

    ~WorkbookFailures()
    {
        try {
            m_outputs.endWorkbook();
        } catch (...) {
            // Out of memory for the end lines: the failures were counted all the same.
        }
    }

    WorkbookFailures(const WorkbookFailures&) = delete;
    WorkbookFailures& operator=(const WorkbookFailures&) = delete;

private:
    RunOutputs& m_outputs;
};

// A workbook opened in a fresh host for a split, and its name as the fallback names use it:
// a name the system holds in a single-byte code page is read in that page, so that its
// letters survive the cleaning of cell texts.
struct SplitSource
{
    OpenedWorkbook opened;
    std::string nameForCells;
    std::uint64_t formulasWithoutResult = 0; // in the sheets loaded so far

    [[nodiscard]] Workbook& workbook() const { return *opened.workbook; }

    // Loads sheet s as statement line of the trap and counts its formulas without results;
    // nothing when it has no cells to walk: a chart or dialog sheet is passed over without a
    // word, a damaged one is reported.
    std::optional<Sheet>
    load(Trap& trap, int line, std::int32_t s, RunOutputs& outputs, const std::string& path)
    {
        std::optional<Sheet> sheet;
        trap.step(line, [&] {
            try {
                sheet.emplace(workbook().loadSheet(s));
            } catch (const SheetWithoutCells&) {
            } catch (const std::exception& e) {
                outputs.markUnreadable(path, e.what());
                throw;
            }
        });
        if (sheet) {
            formulasWithoutResult += sheet->formulasWithoutResult();
        }
        return sheet;
    }

    // The same for a walk from the first row to the last: the sheet in parts, and the first.
    std::optional<Sheet> loadParts(Trap& trap,
                                   int line,
                                   std::int32_t s,
                                   RunOutputs& outputs,
                                   const std::string& path,
                                   std::unique_ptr<SheetParts>& parts)
    {
        std::optional<Sheet> first;
        trap.step(line, [&] {
            try {
                parts = workbook().loadSheetInParts(s);
                first = parts->next();
            } catch (const SheetWithoutCells&) {
            } catch (const std::exception& e) {
                outputs.markUnreadable(path, e.what());
                throw;
            }
        });
        if (!first) {
            parts.reset();
            return first;
        }
        formulasWithoutResult += parts->summary().formulasWithoutResult;
        return first;
    }
};

// Takes the cells of a sheet in parts, part after part, the current one in sheet. Reading
// a later part is statement line of the trap; a part that cannot be read ends the walk.
class PartWalk
{
public:
    PartWalk(Trap& trap, int line, SheetParts* parts, std::optional<Sheet>& sheet)
        : m_trap(trap)
        , m_line(line)
        , m_parts(parts)
        , m_sheet(sheet)
    {}

    // The next stored cell, row by row; nothing after the last.
    const StoredCell* nextCell()
    {
        while (m_next == m_sheet->cells().size()) {
            if (!advance()) {
                return nullptr;
            }
        }
        return &m_sheet->cells()[m_next++];
    }

    // The stored cells of row, which comes after the rows asked for before.
    std::span<const StoredCell> rowCells(std::int32_t row)
    {
        // Rows come in order, so each row's cells follow the last row's: taking them saves a
        // search per row (1.5% of splitting 100,000 rows).
        while (m_next == m_sheet->cells().size() && advance()) {
        }
        const std::span<const StoredCell> all = m_sheet->cells();
        std::size_t end = m_next;
        while (end < all.size() && all[end].row == row) {
            ++end;
        }
        const std::span<const StoredCell> cells = all.subspan(m_next, end - m_next);
        m_next = end;
        return cells;
    }

private:
    bool advance()
    {
        std::optional<Sheet> part;
        if (m_parts) {
            m_trap.step(m_line, [&] { part = m_parts->next(); });
        }
        if (!part) {
            m_parts = nullptr;
            return false;
        }
        m_sheet = std::move(part);
        m_next = 0;
        return true;
    }

    Trap& m_trap;
    int m_line;
    SheetParts* m_parts;
    std::optional<Sheet>& m_sheet;
    std::size_t m_next = 0; // the next cell in the current part
};

// The columns of a sheet too large to hold whole, a group of them at a time: each group is a
// pass over the sheet's parts that keeps the cells of its own columns alone. By the summary's
// counts the groups are as few as GroupBytes of cells and their own text allow, and as even
// as that many can be: the million-row sheet of 10 columns (9 stored) goes in 3 groups of 3
// million cells, one of 1.2 million rows in 3 of 3.6 million.
class ColumnGroups
{
public:
    static constexpr std::uint64_t GroupBytes = std::uint64_t{112} << 20;
    // A cell and its place in the group's column index.
    static constexpr std::uint64_t CellBytes = sizeof(StoredCell) + sizeof(std::uint32_t);

    ColumnGroups(const SheetParts& parts, const Sheet& first)
        : m_parts(parts)
        , m_name(first.name())
        , m_styles(first.sharedStyles())
        , m_range(first.usedRange())
    {
        // The least budget that makes no more groups than GroupBytes does.
        const std::size_t fewest = groupsWithin(GroupBytes);
        std::uint64_t low = 0; // makes more groups
        std::uint64_t high = GroupBytes; // makes the fewest
        while (high - low > 1) {
            const std::uint64_t middle = low + (high - low) / 2;
            (groupsWithin(middle) == fewest ? high : low) = middle;
        }
        m_budget = high;
    }

    // The last column of the group read last; 0 before the first.
    [[nodiscard]] std::int32_t last() const { return m_last; }

    // Reads the group that starts at column first into sheet, which holds no cells should the
    // reading fail.
    void read(std::int32_t first, std::optional<Sheet>& sheet)
    {
        const SheetSummary& summary = m_parts.summary();
        m_last = groupEnd(first, m_budget);
        std::uint64_t cells = 0;
        std::uint64_t textBytes = 0;
        for (std::int32_t column = first; column <= m_last; ++column) {
            cells += countOf(summary.columnCells, column);
            textBytes += countOf(summary.columnTextBytes, column);
        }
        sheet = SheetBuilder(m_name, m_styles).finishPart(m_range);
        const std::unique_ptr<SheetParts> pass = m_parts.again();
        if (!pass) {
            throw std::runtime_error("the sheet cannot be read again");
        }
        SheetBuilder builder(m_name, m_styles);
        // The rows of a text file may run past the grid.
        builder.allowRows(std::max(MaxRows, m_range.lastRow));
        builder.reserve(static_cast<std::size_t>(cells));
        builder.reserveText(static_cast<std::size_t>(textBytes));
        while (const std::optional<Sheet> part = pass->next()) {
            for (const StoredCell& cell : part->cells()) {
                if (cell.column >= first && cell.column <= m_last) {
                    builder.addCopy(*part, cell);
                }
            }
        }
        sheet = builder.finishPart(m_range);
    }

private:
    static std::uint64_t countOf(const std::vector<std::uint64_t>& counts, std::int32_t column)
    {
        const auto c = static_cast<std::size_t>(column);
        return c < counts.size() ? counts[c] : 0;
    }

    [[nodiscard]] std::uint64_t bytesOf(std::int32_t column) const
    {
        const SheetSummary& summary = m_parts.summary();
        return countOf(summary.columnCells, column) * CellBytes
            + countOf(summary.columnTextBytes, column);
    }

    // The last column of the group from first within budget (first's alone if need be).
    [[nodiscard]] std::int32_t groupEnd(std::int32_t first, std::uint64_t budget) const
    {
        std::int32_t last = first;
        std::uint64_t bytes = bytesOf(first);
        while (last < m_range.lastColumn && bytes + bytesOf(last + 1) <= budget) {
            bytes += bytesOf(++last);
        }
        return last;
    }

    [[nodiscard]] std::size_t groupsWithin(std::uint64_t budget) const
    {
        std::size_t groups = 0;
        for (std::int32_t first = 1; first <= m_range.lastColumn;
             first = groupEnd(first, budget) + 1) {
            ++groups;
        }
        return groups;
    }

    const SheetParts& m_parts;
    std::string m_name;
    std::shared_ptr<const WorkbookStyles> m_styles;
    UsedRange m_range;
    std::uint64_t m_budget = GroupBytes;
    std::int32_t m_last = 0;
};

// Opens the workbook as statement 100 of the trap. Nothing when that fails: without a
// workbook every later statement would fail in turn, so one report says it.
std::optional<SplitSource>
openForSplit(const SplitContext& context, Trap& trap, const std::string& workbookPath)
{
    context.outputs.addWorkbook(workbookPath);
    trap.nameFile(workbookPath);
    SplitSource source;
    if (!trap.step(100, [&] {
            try {
                source.opened = OpenWorkbook(context.hosts, workbookPath);
            } catch (const std::exception& e) {
                context.outputs.markUnreadable(workbookPath, e.what());
                throw;
            }
        })) {
        return std::nullopt;
    }
    source.nameForCells = context.codePage.decode(source.opened.workbook->name());
    return source;
}

// The sheets a split walks, numbered from 1, in workbook order: every sheet unless the
// choices name some or leave hidden ones out. Throws ReadError for a chosen sheet the
// workbook does not have.
std::vector<std::int32_t> sheetsToWalk(const SplitChoices* choices, const Workbook& workbook)
{
    const std::int32_t count = workbook.sheetCount();
    std::vector<bool> chosen(static_cast<std::size_t>(std::max(count, 0)) + 1,
                             !choices || choices->sheets.empty());
    if (choices) {
        for (const std::string& wanted : choices->sheets) {
            std::int32_t found = 0;
            for (std::int32_t s = 1; s <= count && found == 0; ++s) {
                if (workbook.sheetName(s) == wanted) {
                    found = s;
                }
            }
            if (found == 0 && !wanted.empty()
                && wanted.find_first_not_of("0123456789") == std::string::npos
                && wanted.size() <= 7) {
                const std::int32_t number = std::stoi(wanted);
                found = number >= 1 && number <= count ? number : 0;
            }
            if (found == 0) {
                ReadError error(ReadError::Reason::NoSuchSheet, "\"" + wanted + "\"");
                error.nameFile(workbook.name());
                throw error;
            }
            chosen[static_cast<std::size_t>(found)] = true;
        }
    }
    std::vector<std::int32_t> sheets;
    for (std::int32_t s = 1; s <= count; ++s) {
        if (chosen[static_cast<std::size_t>(s)]
            && !(choices && choices->skipHidden && workbook.isSheetHidden(s))) {
            sheets.push_back(s);
        }
    }
    return sheets;
}

// Whether a line holds text: some cell's text between the separators is more than blanks.
bool hasText(const LineText& line, std::size_t separatorLength)
{
    std::size_t from = 0;
    for (const std::size_t offset : line.separatorOffsets) {
        if (line.text.find_first_not_of(' ', from) < offset) {
            return true;
        }
        from = offset + separatorLength;
    }
    return line.text.find_first_not_of(' ', from) != std::string::npos;
}

// Says once per workbook how many formula cells had no result to write.
void warnOfFormulasWithoutResult(const SplitContext& context,
                                 const std::string& workbookPath,
                                 std::uint64_t count)
{
    if (count == 0) {
        return;
    }
    context.outputs.warn(quotedPath(workbookPath) + ": " + std::to_string(count)
                         + (count == 1
                                ? " formula cell holds no stored result and is written empty"
                                : " formula cells hold no stored result and are written empty")
                         + "; open and save the workbook in a spreadsheet program to store them");
}

// The walk shared by rows and columns: one output file per line of every sheet.
void saveEachLine(const SplitContext& context,
                  const LineLabels& labels,
                  bool byRow,
                  const std::string& workbookPath,
                  std::string_view outputBase,
                  std::string_view separator)
{
    Trap trap(labels.location, context.reporter);
    const WorkbookFailures failures(context.outputs, workbookPath);
    std::optional<SplitSource> source = openForSplit(context, trap, workbookPath);
    if (!source) {
        return;
    }
    Workbook& workbook = source->workbook();
    std::vector<std::int32_t> sheets;
    if (!trap.step(labels.sheets, [&] { sheets = sheetsToWalk(context.choices, workbook); })) {
        return;
    }
    const auto sheetCount = static_cast<std::int32_t>(sheets.size());
    const bool skipEmpty = context.choices && context.choices->skipEmpty;
    const bool json = writesJson(context);
    const bool header = json && byRow && context.choices->header;
    const bool quote = !json && context.choices && context.choices->quote;
    std::optional<std::vector<std::string>> keys; // the sheet's header, once read
    std::string jsonText;
    std::int32_t fileCounter = 0;

    LineText line;
    Progress progress;
    progress.unit = labels.unit;
    progress.sheetCount = sheetCount;
    std::string firstValue;
    std::string fallback;
    std::string fileBytes; // a tab-text or workbook file's content
    std::span<const StoredCell> rowCells;
    std::vector<const StoredCell*> columnCells;
    OutputWriter writer(&context.outputs);
    SpaceWatch space(context.diskSpace, outputBase, fileNameOfPath(workbookPath));
    SheetBooks books(context.outputs, workbookPath);
    for (std::int32_t walked = 1; walked <= sheetCount; ++walked) {
        books.finishSheet();
        const std::int32_t s = sheets[static_cast<std::size_t>(walked - 1)];
        std::unique_ptr<SheetParts> parts;
        std::optional<Sheet> sheet =
            source->loadParts(trap, labels.lines, s, context.outputs, workbookPath, parts);
        if (!sheet) {
            continue;
        }
        // A sheet in more than one part is walked by rows part after part, and by columns a
        // group of columns at a time.
        std::optional<ColumnGroups> groups;
        if (!byRow && sheet->cells().size() < parts->summary().storedCells) {
            groups.emplace(*parts, *sheet);
        }
        const UsedRange range = sheet->usedRange();
        const std::int32_t lineCount = byRow ? range.lastRow : range.lastColumn;
        const std::int32_t cellCount = byRow ? range.lastColumn : range.lastRow;
        // Every line's file holds a separator per cell, however few cells are stored.
        if (const std::string refusal =
                space.refusal(static_cast<std::uint64_t>(std::max(lineCount, 0)),
                              timesSaturated(static_cast<std::uint64_t>(std::max(cellCount, 0)),
                                             separator.size()),
                              sheet->name());
            !refusal.empty()) {
            trap.report(labels.lines, refusal);
            continue;
        }
        progress.sheet = walked;
        progress.lastRow = range.lastRow;
        progress.lastColumn = range.lastColumn;
        progress.steps = static_cast<std::size_t>(std::max(lineCount, 0));
        PartWalk rows(trap, labels.lines, parts.get(), sheet);
        keys.reset();
        std::optional<ColumnsAhead> ahead;
        const auto startAhead = [&](std::int32_t columns) {
            if (!byRow && columns > 1 && cellCount >= ColumnsAhead::MinimumPositions) {
                try {
                    ahead.emplace(*sheet, cellCount, separator);
                } catch (const std::system_error&) {
                    // No second thread to be had: the walk renders every column itself.
                }
            }
        };
        if (!groups) {
            startAhead(lineCount);
        }
        for (std::int32_t index = 1; index <= lineCount; ++index) {
            if (labels.busy != 0) {
                trap.step(labels.busy, [&] { context.controls.setBusy(); });
            }
            trap.step(labels.progress, [&] {
                (byRow ? progress.row : progress.column) = index;
                progress.step = static_cast<std::size_t>(index - 1);
                context.controls.setProgress(progress);
            });
            trap.step(labels.yield, [&] { context.controls.yield(); });
            if (context.controls.stopRequested()) {
                finishOutput(trap, writer, context.outputs);
                return;
            }
            line.clear();
            trap.step(labels.cells, [&] {
                if (byRow) {
                    rowCells = rows.rowCells(index);
                    renderRow(*sheet, rowCells, cellCount, separator, line);
                } else {
                    if (groups && index > groups->last()) {
                        ahead.reset();
                        groups->read(index, sheet);
                        startAhead(groups->last() - index + 1);
                    }
                    if (ahead) {
                        ahead->next(index, groups ? groups->last() : lineCount, line);
                    } else {
                        renderColumn(*sheet, index, cellCount, separator, line);
                    }
                }
                firstValue = NameablePart(std::string_view(line.text).substr(0, line.firstLength));
            });
            if (skipEmpty && !hasText(line, separator.size())) {
                continue;
            }
            if (header && !keys) {
                keys = headerKeys(line, separator.size());
                continue;
            }
            ++fileCounter;
            const std::int32_t lineIndex = index;
            const std::int32_t crossIndex = 1;
            trap.step(labels.cells + 8, [&] {
                firstValue = CleanValue(firstValue,
                                        lineIndex,
                                        crossIndex,
                                        sheet->name(),
                                        source->nameForCells,
                                        context.codePage,
                                        context.reporter);
                fallback = FallbackName(source->nameForCells, sheet->name(), lineIndex, crossIndex);
            });
            bool spreadsheet = false;
            trap.step(labels.kind, [&] { spreadsheet = context.controls.isSpreadsheetKind(); });
            const OutputKind kind = outputKind(context, spreadsheet);
            std::string_view content = line.text;
            if (kind == OutputKind::TabText) {
                tabSeparated(line, separator.size(), fileBytes);
                content = fileBytes;
            } else if (isWorkbookKind(kind)) {
                // A row goes to row 1 and a column to column A, each cell at its place.
                if (!trap.step(labels.kind, [&] {
                        WorkbookWriter& book = books.writer(kind, *sheet);
                        book.begin();
                        if (byRow) {
                            for (const StoredCell& cell : rowCells) {
                                book.add(1, cell.column, cell);
                            }
                        } else {
                            sheet->columnCells(index, columnCells);
                            for (const StoredCell* cell : columnCells) {
                                book.add(cell->row, 1, *cell);
                            }
                        }
                        fileBytes.clear();
                        book.finish(fileBytes);
                    })) {
                    continue;
                }
                content = fileBytes;
            }
            if (kind == OutputKind::Json) {
                jsonText.clear();
                appendJsonLine(line, separator.size(), keys ? &*keys : nullptr, jsonText);
                content = jsonText;
            } else if (quote && kind == OutputKind::Text) {
                quoteFields(line, separator);
                content = line.text;
            }
            const CellLocation location = byRow ? CellLocation{1, index} : CellLocation{index, 1};
            const int firstLabel = spreadsheet ? labels.spreadsheetName : labels.textName;
            saveOutput(context,
                       trap,
                       writer,
                       firstLabel,
                       kind,
                       outputBase,
                       location,
                       firstValue,
                       fileCounter,
                       fallback,
                       content,
                       source->nameForCells,
                       sheet->name());
            if (space.runningLow(content.size())) {
                trap.report(firstLabel + 4, space.stopMessage());
                finishOutput(trap, writer, context.outputs);
                return;
            }
        }
        finishOutput(trap, writer, context.outputs);
    }
    books.finishSheet();
    warnOfFormulasWithoutResult(context, workbookPath, source->formulasWithoutResult);
}

} // namespace

OpenedWorkbook OpenWorkbook(HostFactory& hosts, const std::string& workbookPath)
{
    OpenedWorkbook opened;
    opened.host = hosts.create();
    opened.workbook = opened.host->open(workbookPath);
    return opened;
}

void SaveEachRow(const SplitContext& context,
                 const std::string& workbookPath,
                 std::string_view outputBase,
                 std::string_view separator)
{
    saveEachLine(context, RowLabels, true, workbookPath, outputBase, separator);
}

void SaveEachCol(const SplitContext& context,
                 const std::string& workbookPath,
                 std::string_view outputBase,
                 std::string_view separator)
{
    saveEachLine(context, ColumnLabels, false, workbookPath, outputBase, separator);
}

void SaveEachCell(const SplitContext& context,
                  const std::string& workbookPath,
                  std::string_view outputBase)
{
    Trap trap(Location::SaveEachCell, context.reporter);
    const WorkbookFailures failures(context.outputs, workbookPath);
    std::optional<SplitSource> source = openForSplit(context, trap, workbookPath);
    if (!source) {
        return;
    }
    Workbook& workbook = source->workbook();
    std::int32_t fileCounter = 0;
    trap.step(106, [&] { context.controls.setBusy(); });
    std::vector<std::int32_t> sheets;
    if (!trap.step(108, [&] { sheets = sheetsToWalk(context.choices, workbook); })) {
        return;
    }
    const auto sheetCount = static_cast<std::int32_t>(sheets.size());

    Progress progress;
    progress.unit = Progress::Unit::Cell;
    progress.sheetCount = sheetCount;
    std::string text;
    std::string firstValue;
    std::string fallback;
    std::string content;
    OutputWriter writer(&context.outputs);
    SpaceWatch space(context.diskSpace, outputBase, fileNameOfPath(workbookPath));
    SheetBooks books(context.outputs, workbookPath);
    for (std::int32_t walked = 1; walked <= sheetCount; ++walked) {
        books.finishSheet();
        const std::int32_t s = sheets[static_cast<std::size_t>(walked - 1)];
        std::unique_ptr<SheetParts> parts;
        std::optional<Sheet> sheet =
            source->loadParts(trap, 110, s, context.outputs, workbookPath, parts);
        if (!sheet) {
            continue;
        }
        const SheetSummary& summary = parts->summary();
        const std::uint64_t valued = summary.valuedCells;
        if (const std::string refusal = space.refusal(valued, 0, sheet->name()); !refusal.empty()) {
            trap.report(110, refusal);
            continue;
        }
        // Only stored cells can be non-blank, so the walk visits those alone: a sheet whose
        // used range spans millions of empty positions costs no more than its cells.
        const UsedRange range = sheet->usedRange();
        progress.sheet = walked;
        progress.lastRow = range.lastRow;
        progress.lastColumn = range.lastColumn;
        progress.steps = summary.storedCells;
        progress.step = 0;
        PartWalk cells(trap, 110, parts.get(), sheet);
        while (const StoredCell* next = cells.nextCell()) {
            const StoredCell& cell = *next;
            trap.step(114, [&] {
                progress.row = cell.row;
                progress.column = cell.column;
                context.controls.setProgress(progress);
            });
            ++progress.step;
            trap.step(116, [&] { context.controls.yield(); });
            if (context.controls.stopRequested()) {
                finishOutput(trap, writer, context.outputs);
                return;
            }
            text.clear();
            bool blank = true;
            trap.step(118, [&] {
                sheet->appendText(cell, text);
                blank = text.find_first_not_of(' ') == std::string::npos;
            });
            if (blank) {
                continue;
            }
            ++fileCounter;
            trap.step(124, [&] {
                firstValue = CleanValue(text,
                                        cell.row,
                                        cell.column,
                                        sheet->name(),
                                        source->nameForCells,
                                        context.codePage,
                                        context.reporter);
                fallback = FallbackName(source->nameForCells, sheet->name(), cell.row, cell.column);
            });
            bool spreadsheet = false;
            trap.step(126, [&] { spreadsheet = context.controls.isSpreadsheetKind(); });
            const OutputKind kind = outputKind(context, spreadsheet);
            content.clear();
            trap.step(spreadsheet ? 132 : 138, [&] {
                if (isWorkbookKind(kind)) {
                    WorkbookWriter& book = books.writer(kind, *sheet);
                    book.begin();
                    book.add(1, 1, cell);
                    book.finish(content);
                    return;
                }
                appendValueText(
                    sheet->value(cell), sheet->styles().dateSystem, context.locale, content);
                if (kind == OutputKind::Json) {
                    std::string json;
                    appendJsonString(content, json);
                    content = std::move(json) + '\n';
                } else if (kind == OutputKind::TabText) {
                    text.clear();
                    appendTabCell(content, text);
                    content.swap(text);
                } else if (context.choices && context.choices->quote && kind == OutputKind::Text) {
                    quoteField(content);
                }
            });
            const int firstLabel = spreadsheet ? 128 : 134;
            saveOutput(context,
                       trap,
                       writer,
                       firstLabel,
                       kind,
                       outputBase,
                       CellLocation{cell.column, cell.row},
                       firstValue,
                       fileCounter,
                       fallback,
                       content,
                       source->nameForCells,
                       sheet->name());
            if (space.runningLow(content.size())) {
                trap.report(firstLabel + 4, space.stopMessage());
                finishOutput(trap, writer, context.outputs);
                return;
            }
        }
        finishOutput(trap, writer, context.outputs);
    }
    books.finishSheet();
    warnOfFormulasWithoutResult(context, workbookPath, source->formulasWithoutResult);
}

std::string progressCaption(const Progress& progress)
{
    std::string caption;
    switch (progress.unit) {
    case Progress::Unit::Row:
        caption = "Row Processed: ";
        appendNumber(progress.row, caption);
        break;
    case Progress::Unit::Column:
        caption = "Col Processed: ";
        appendNumber(progress.column, caption);
        break;
    case Progress::Unit::Cell:
        caption = "Cell Processed: ";
        appendNumber(progress.row, caption);
        caption += ',';
        appendNumber(progress.column, caption);
        break;
    }
    return caption;
}

void appendValueText(const CellValue& value,
                     format::DateSystem dateSystem,
                     const format::ValueLocale& locale,
                     std::string& out)
{
    switch (value.kind) {
    case CellValue::Kind::Empty:
        return;
    case CellValue::Kind::Number:
        format::appendNumberValueText(value.number, locale, out);
        return;
    case CellValue::Kind::Date:
        format::appendDateValueText(value.number, dateSystem, locale, out);
        return;
    case CellValue::Kind::Text:
    case CellValue::Kind::Error:
        out += value.text;
        return;
    case CellValue::Kind::Boolean:
        out += value.boolean ? "True" : "False";
        return;
    }
}

} // namespace sheetfray::engine
