// Output files of every workbook kind read back as the cells they were written from.
#include "engine/Split.h"
#include "engine/XlsWriter.h"
#include "engine/XlsxWriter.h"
#include "engine/readers/FileHost.h"
#include "engine/readers/XlsReader.h"
#include "support/Error.h"
#include "tests/fakes/FakeHost.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <ostream>

namespace sheetfray::testing {
namespace {

using engine::readers::openWorkbookFile;

// Texts that survive every kind: no tabs, line breaks or "|" (which tab-separated text
// turns into tabs). Tab-separated text quotes a cell that holds a double quote, which the
// reader of plain tab-separated text keeps, so its files hold none.
const std::vector<std::vector<std::string>> WorkbookRows = {
    {"Name", "Qty", "Note"},
    {"Pen", "3", "\"quoted\" and 5\" long"},
    {" café ", "", "Ünïcödé"},
};
const std::vector<std::vector<std::string>> TabTextRows = {
    {"Name", "Qty", "Note"},
    {"Pen", "3", "'quoted' and 5' long"},
    {" café ", "", "Ünïcödé"},
};

struct KindCase
{
    const char* name;
    const char* codePage;
    engine::OutputKind kind;
    const char* extension;
};

void PrintTo(const KindCase& row, std::ostream* out)
{
    *out << row.name;
}

class OwnOutput : public ::testing::TestWithParam<KindCase>, protected SplitHarness
{
protected:
    TempDir out;

    void SetUp() override
    {
        if (std::string(GetParam().codePage) != "UTF-8") {
            codePage = engine::CodePage::singleByte(GetParam().codePage);
        }
        controls.spreadsheet = true;
        choices.emplace().kind = GetParam().kind;
        hosts.books["/in/book.xlsx"].sheets.push_back({"Sheet1", table(Rows)});
    }

    const std::vector<std::vector<std::string>>& Rows =
        GetParam().kind == engine::OutputKind::TabText ? TabTextRows : WorkbookRows;

    std::string base() const { return out.str() + "/book"; }

    // The cells of an output file read back, "" where it has none: row 1, or column A of a
    // column file of a workbook kind (tab-separated text holds a column as one line).
    std::vector<std::string> readBack(int number, std::size_t count, bool column = false) const
    {
        const auto book =
            openWorkbookFile(base() + "_" + std::to_string(number) + GetParam().extension);
        const engine::Sheet sheet = book->loadSheet(1);
        const bool down = column && GetParam().kind != engine::OutputKind::TabText;
        EXPECT_EQ(down ? sheet.usedRange().lastColumn : sheet.usedRange().lastRow, 1);
        std::vector<std::string> cells;
        for (std::int32_t k = 1; k <= static_cast<std::int32_t>(count); ++k) {
            cells.push_back(down ? sheet.text(k, 1) : sheet.text(1, k));
        }
        EXPECT_LE(down ? sheet.usedRange().lastRow : sheet.usedRange().lastColumn,
                  static_cast<std::int32_t>(count));
        return cells;
    }
};

TEST_P(OwnOutput, RowFilesReadBackAsTheirRows)
{
    engine::SaveEachRow(context(), "/in/book.xlsx", base(), "|");
    ASSERT_TRUE(reporter.reports.empty());
    for (std::size_t r = 0; r < Rows.size(); ++r) {
        EXPECT_EQ(readBack(static_cast<int>(r) + 1, Rows[r].size()), Rows[r]) << "row " << r + 1;
    }
}

TEST_P(OwnOutput, ColumnFilesReadBackAsOneLineOfTheirCells)
{
    engine::SaveEachCol(context(), "/in/book.xlsx", base(), "|");
    ASSERT_TRUE(reporter.reports.empty());
    for (std::size_t c = 0; c < Rows.front().size(); ++c) {
        std::vector<std::string> column;
        for (const auto& row : Rows) {
            column.push_back(row[c]);
        }
        EXPECT_EQ(readBack(static_cast<int>(c) + 1, column.size(), true), column)
            << "column " << c + 1;
    }
}

TEST_P(OwnOutput, CellFilesReadBackAsTheirValue)
{
    engine::SaveEachCell(context(), "/in/book.xlsx", base());
    ASSERT_TRUE(reporter.reports.empty());
    int number = 0;
    for (const auto& row : Rows) {
        for (const std::string& text : row) {
            if (!text.empty()) {
                EXPECT_EQ(readBack(++number, 1), std::vector<std::string>{text});
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds,
    OwnOutput,
    ::testing::Values(
        KindCase{"TabTextUtf8", "UTF-8", engine::OutputKind::TabText, ".xls"},
        KindCase{"TabTextWindows1252", "WINDOWS-1252", engine::OutputKind::TabText, ".xls"},
        KindCase{"SpreadsheetWindows1252", "WINDOWS-1252", engine::OutputKind::Spreadsheet, ".xls"},
        KindCase{"XlsxWindows1252", "WINDOWS-1252", engine::OutputKind::Xlsx, ".xlsx"}),
    [](const auto& row) { return std::string(row.param.name); });

// Every sheet of the shared workbooks, split into workbook files through the writers and read
// back through the readers: each cell shows the text it showed in the source.
namespace fs = std::filesystem;

struct WriterCase
{
    const char* name;
    std::function<std::unique_ptr<engine::WorkbookWriter>(const engine::Sheet&)> make;
    std::int32_t maxRows; // the file format's grid
    std::int32_t maxColumns;
};

void PrintTo(const WriterCase& row, std::ostream* out)
{
    *out << row.name;
}

class SharedRoundTrip : public ::testing::TestWithParam<WriterCase>
{
protected:
    std::string failures;
    int failureCount = 0;
    std::size_t compared = 0;

    // Files live in memory: the test writes some thousands of them.
    int memory = ::memfd_create("round-trip", 0);

    ~SharedRoundTrip() override { ::close(memory); }

    std::unique_ptr<engine::Workbook> writeAndRead(engine::WorkbookWriter& writer)
    {
        std::string bytes;
        writer.finish(bytes);
        EXPECT_EQ(::ftruncate(memory, 0), 0);
        EXPECT_EQ(::pwrite(memory, bytes.data(), bytes.size(), 0),
                  static_cast<ssize_t>(bytes.size()));
        return openWorkbookFile("/proc/self/fd/" + std::to_string(memory));
    }

    void expectSame(const std::string& where, const std::string& got, const std::string& want)
    {
        ++compared;
        if (got != want && ++failureCount <= 20) {
            failures += where + ": \"" + got + "\" instead of \"" + want + "\"\n";
        }
    }

    void checkSheet(const std::string& file, const engine::Sheet& sheet)
    {
        const WriterCase& kind = GetParam();
        const auto writer = kind.make(sheet);
        const engine::UsedRange range = sheet.usedRange();
        const std::int32_t columns = std::min(range.lastColumn, kind.maxColumns);
        const std::int32_t rows = std::min(range.lastRow, kind.maxRows);
        for (std::int32_t r = 1; r <= std::min(rows, 100); ++r) {
            writer->begin();
            for (const engine::StoredCell& cell : sheet.rowCells(r)) {
                writer->add(1, cell.column, cell);
            }
            const auto back = writeAndRead(*writer);
            EXPECT_EQ(back->sheetName(1), engine::outputSheetName(sheet.name()));
            const engine::Sheet line = back->loadSheet(1);
            for (std::int32_t c = 1; c <= columns; ++c) {
                expectSame(file + " " + sheet.name() + " row " + std::to_string(r) + " column "
                               + std::to_string(c),
                           line.text(1, c),
                           sheet.text(r, c));
            }
        }
        for (std::int32_t c = 1; c <= std::min(columns, 12); ++c) {
            writer->begin();
            for (const engine::StoredCell* cell : sheet.columnCells(c)) {
                writer->add(cell->row, 1, *cell);
            }
            const engine::Sheet line = writeAndRead(*writer)->loadSheet(1);
            for (std::int32_t r = 1; r <= rows; ++r) {
                expectSame(file + " " + sheet.name() + " column " + std::to_string(c) + " row "
                               + std::to_string(r),
                           line.text(r, 1),
                           sheet.text(r, c));
            }
        }
    }
};

TEST_P(SharedRoundTrip, EveryCellShowsItsSourceText)
{
    const fs::path folder = fs::path(SHEETFRAY_SHARED_TESTDATA) / "workbooks";
    if (!fs::is_directory(folder)) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(folder)) {
        paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    int sheets = 0;
    for (const fs::path& path : paths) {
        std::unique_ptr<engine::Workbook> book;
        try {
            book = openWorkbookFile(path);
        } catch (const Error&) {
            continue; // not a workbook, or one the reader refuses
        }
        for (std::int32_t s = 1; s <= book->sheetCount(); ++s) {
            std::optional<engine::Sheet> sheet;
            try {
                sheet.emplace(book->loadSheet(s));
            } catch (const Error&) {
                continue;
            }
            ++sheets;
            checkSheet(path.filename().string(), *sheet);
        }
    }
    EXPECT_GT(sheets, 40);
    EXPECT_GT(compared, 10000u);
    EXPECT_EQ(failureCount, 0) << failures;
}

// Cells no shared workbook holds: each must show its text through both formats.
TEST_P(SharedRoundTrip, AwkwardCellsShowTheirText)
{
    auto styles = std::make_shared<engine::WorkbookStyles>();
    styles->dateSystem = engine::format::DateSystem::Date1904;
    for (const char* code :
         {"General", "@\" kg\"", "0.00\t\"a\"\"b\"", "[h]:mm:ss", "d-mmm-yy", "\x01\x02#,##0"}) {
        styles->cellFormats.push_back(engine::format::NumberFormat::compile(code));
    }
    engine::SheetBuilder builder("Name: [with] 'odd' characters", styles);
    builder.addError(1, 1, "#SPILL!", 1); // no error of the file formats: kept as text
    builder.addError(1, 2, "#DIV/0!", 1);
    builder.addText(1, 3, "_x000D_ a\r\nb\x01 <&> caf\xC3\xA9 \xF0\x9F\x98\x80", 1);
    builder.addNumber(1, 4, 1.25, 2);
    builder.addNumber(1, 5, std::numeric_limits<double>::quiet_NaN(), 2);
    builder.addNumber(1, 6, 1.5, 3);
    builder.addNumber(1, 7, 40000, 4);
    builder.addBoolean(1, 8, true, 1);
    builder.addNumber(1, 9, -1234.5, 5);
    builder.addNumber(2, 1, -0.1 - 0.2, 0);
    const engine::Sheet sheet = builder.finish();
    checkSheet("made", sheet);
    // A sheet name with a control character (DEL too) takes the default name.
    for (const char* name : {"Bell\aName", "Del\x7FName"}) {
        const engine::Sheet controlName = engine::SheetBuilder(name, styles).finish();
        EXPECT_EQ(engine::outputSheetName(controlName.name()), "Sheet1") << name;
        checkSheet("made", controlName);
    }
    EXPECT_EQ(failureCount, 0) << failures;
    EXPECT_EQ(compared, 40u); // two rows and nine columns of nine and two cells, A1 three times
}

INSTANTIATE_TEST_SUITE_P(
    Writers,
    SharedRoundTrip,
    ::testing::Values(WriterCase{"Xls",
                                 [](const engine::Sheet& sheet) {
                                     return std::unique_ptr<engine::WorkbookWriter>(
                                         std::make_unique<engine::XlsWriter>(sheet));
                                 },
                                 engine::XlsWriter::MaxRows,
                                 engine::XlsWriter::MaxColumns},
                      WriterCase{"Xlsx",
                                 [](const engine::Sheet& sheet) {
                                     return std::unique_ptr<engine::WorkbookWriter>(
                                         std::make_unique<engine::XlsxWriter>(sheet));
                                 },
                                 engine::MaxRows,
                                 engine::MaxColumns}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace sheetfray::testing

namespace sheetfray::testing {
namespace {

// Texts longer than a record go on in CONTINUE records, each part saying again whether its
// characters are 8- or 16-bit; a text past the format's 32,767 characters is cut, and a cell
// past column IV left out, both counted.
TEST(XlsWriter, LongTextsCrossRecordsAndWhatDoesNotFitIsCounted)
{
    auto styles = std::make_shared<engine::WorkbookStyles>();
    engine::SheetBuilder builder("S", styles);
    const std::string ascii(20000, 'a');
    std::string wide;
    for (int i = 0; i < 9000; ++i) {
        wide += i % 3 == 0 ? "\xF0\x9F\x98\x80" : "\xC3\xA9"; // U+1F600 takes two units
    }
    const std::string tooLong(40000, 'z');
    builder.addText(1, 1, ascii, 0);
    builder.addText(1, 2, wide, 0);
    builder.addText(1, 3, tooLong, 0);
    for (std::int32_t c = 4; c <= 256; ++c) {
        builder.addText(1, c, "cell " + std::to_string(c), 0);
    }
    builder.addText(1, 300, "beyond IV", 0);
    const engine::Sheet sheet = builder.finish();
    engine::XlsWriter writer(sheet);
    writer.begin();
    for (const engine::StoredCell& cell : sheet.cells()) {
        writer.add(1, cell.column, cell);
    }
    std::string bytes;
    writer.finish(bytes);
    EXPECT_EQ(writer.unfit(), 2u);
    std::vector<std::byte> image(bytes.size());
    std::transform(bytes.begin(), bytes.end(), image.begin(), [](char c) {
        return std::byte(static_cast<unsigned char>(c));
    });
    const engine::Sheet back =
        engine::readers::openXlsWorkbook("long.xls", std::move(image))->loadSheet(1);
    EXPECT_TRUE(back.text(1, 1) == ascii);
    EXPECT_TRUE(back.text(1, 2) == wide);
    EXPECT_TRUE(back.text(1, 3) == tooLong.substr(0, 32767));
    for (std::int32_t c = 4; c <= 256; ++c) {
        EXPECT_EQ(back.text(1, c), "cell " + std::to_string(c));
    }
    EXPECT_EQ(back.usedRange().lastColumn, 256);
}

} // namespace
} // namespace sheetfray::testing
