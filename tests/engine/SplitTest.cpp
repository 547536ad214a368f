#include "engine/Split.h"

#include "engine/Batch.h"
#include "tests/fakes/FakeHost.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ostream>

namespace sheetfray::testing {
namespace {

using engine::NamingScheme;
using Files = std::map<std::string, std::string>;

// The small workbook of the user guide: Name and Qty over Pen and 3.
void nameQty(engine::SheetBuilder& b)
{
    b.addText(1, 1, "Name", 0);
    b.addText(1, 2, "Qty", 0);
    b.addText(2, 1, "Pen", 0);
    b.addNumber(2, 2, 3, 0);
}

class SplitTest : public ::testing::Test, protected SplitHarness
{
protected:
    TempDir out;

    std::string addBook(const std::string& name, FakeBook book)
    {
        const std::string path = "/in/" + name;
        hosts.books[path] = std::move(book);
        return path;
    }

    std::string base(const std::string& stem) const { return out.str() + "/" + stem; }

    void rows(const std::string& path, std::string_view separator = ",")
    {
        engine::SaveEachRow(
            context(), path, base(engine::baseNameOf(engine::fileNameOfPath(path))), separator);
    }

    void columns(const std::string& path, std::string_view separator = ",")
    {
        engine::SaveEachCol(
            context(), path, base(engine::baseNameOf(engine::fileNameOfPath(path))), separator);
    }

    // Splits a workbook of one sheet "S" by rows into a new folder of out, named by number,
    // then by first value: the files the folder holds then.
    Files rowsByNumberThenFirstValue(const std::string& folderName,
                                     const std::string& bookName,
                                     std::vector<std::vector<std::string>> rows)
    {
        const std::filesystem::path folder = out.path() / folderName;
        std::filesystem::create_directory(folder);
        const std::string path = addBook(bookName, {{{"S", table(std::move(rows))}}});
        const std::string outputBase = (folder / engine::baseNameOf(bookName)).string();
        engine::SaveEachRow(context(), path, outputBase, ",");
        controls.scheme = NamingScheme::FirstCellValue;
        engine::SaveEachRow(context(), path, outputBase, ",");
        return filesIn(folder);
    }

    void cells(const std::string& path)
    {
        engine::SaveEachCell(
            context(), path, base(engine::baseNameOf(engine::fileNameOfPath(path))));
    }
};

struct Example
{
    const char* name;
    engine::SplitMode mode;
    NamingScheme scheme;
    Files files;
    bool inParts = false; // the sheet comes a row at a time, as a large one does
};

// Names the case in a failure message.
void PrintTo(const Example& c, std::ostream* os)
{
    *os << c.name << ", " << c.files.size() << " files";
}

class WorkedExample : public SplitTest, public ::testing::WithParamInterface<Example>
{};

TEST_P(WorkedExample, WritesTheseFilesExactly)
{
    const Example& example = GetParam();
    FakeBook book{{{"Sheet1", nameQty}}};
    book.inParts = example.inParts;
    const std::string path = addBook("Book1.xlsx", std::move(book));
    controls.scheme = example.scheme;
    engine::splitWorkbook(context(), example.mode, false, path, base("Book1"), ",");
    EXPECT_EQ(filesIn(out.path()), example.files);
    EXPECT_TRUE(reporter.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    BookOfTwoRows,
    WorkedExample,
    ::testing::Values(
        Example{"RowsByNumber",
                engine::SplitMode::Rows,
                NamingScheme::FileNamePlusNumber,
                {{"Book1_1.txt", "Name,Qty,"}, {"Book1_2.txt", "Pen,3,"}}},
        Example{"RowsByLocation",
                engine::SplitMode::Rows,
                NamingScheme::CellLocation,
                {{"A1.txt", "Name,Qty,"}, {"A2.txt", "Pen,3,"}}},
        Example{"RowsByFirstValue",
                engine::SplitMode::Rows,
                NamingScheme::FirstCellValue,
                {{"Name.txt", "Name,Qty,"}, {"Pen.txt", "Pen,3,"}}},
        Example{"ColumnsByNumber",
                engine::SplitMode::Columns,
                NamingScheme::FileNamePlusNumber,
                {{"Book1_1.txt", "Name,Pen,"}, {"Book1_2.txt", "Qty,3,"}}},
        Example{"ColumnsByLocation",
                engine::SplitMode::Columns,
                NamingScheme::CellLocation,
                {{"A1.txt", "Name,Pen,"}, {"B1.txt", "Qty,3,"}}},
        Example{"RowsInParts",
                engine::SplitMode::Rows,
                NamingScheme::CellLocation,
                {{"A1.txt", "Name,Qty,"}, {"A2.txt", "Pen,3,"}},
                true},
        Example{"ColumnsInParts",
                engine::SplitMode::Columns,
                NamingScheme::CellLocation,
                {{"A1.txt", "Name,Pen,"}, {"B1.txt", "Qty,3,"}},
                true},
        Example{"CellsInParts",
                engine::SplitMode::Cells,
                NamingScheme::CellLocation,
                {{"A1.txt", "Name"}, {"B1.txt", "Qty"}, {"A2.txt", "Pen"}, {"B2.txt", "3"}},
                true},
        Example{"CellsByNumber",
                engine::SplitMode::Cells,
                NamingScheme::FileNamePlusNumber,
                {{"Book1_1.txt", "Name"},
                 {"Book1_2.txt", "Qty"},
                 {"Book1_3.txt", "Pen"},
                 {"Book1_4.txt", "3"}}},
        Example{"CellsByLocation",
                engine::SplitMode::Cells,
                NamingScheme::CellLocation,
                {{"A1.txt", "Name"}, {"B1.txt", "Qty"}, {"A2.txt", "Pen"}, {"B2.txt", "3"}}},
        Example{"CellsByFirstValue",
                engine::SplitMode::Cells,
                NamingScheme::FirstCellValue,
                {{"Name.txt", "Name"}, {"Qty.txt", "Qty"}, {"Pen.txt", "Pen"}, {"3.txt", "3"}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SplitTest, TabTextTurnsOnlySeparatorsIntoTabsAndQuotesCellsThatNeedIt)
{
    // A "|" inside a cell stays: the file must hold the cell's text as it is. A cell holding
    // a tab, a line break or a quote is quoted, so that it stays one cell.
    const std::string path =
        addBook("Book1.xlsx", {{{"S", table({{"a|b", "c"}, {"x\ty", "say \"hi\"", "1\r\n2"}})}}});
    choices.emplace().kind = engine::OutputKind::TabText;
    engine::splitWorkbook(context(), engine::SplitMode::Rows, true, path, base("Book1"), ",");
    engine::splitWorkbook(context(), engine::SplitMode::Cells, true, path, base("Cells"), ",");
    EXPECT_EQ(filesIn(out.path()),
              (Files{{"Book1_1.xls", "a|b\tc\t\t"},
                     {"Book1_2.xls", "\"x\ty\"\t\"say \"\"hi\"\"\"\t\"1\r\n2\"\t"},
                     {"Cells_1.xls", "a|b"},
                     {"Cells_2.xls", "c"},
                     {"Cells_3.xls", "\"x\ty\""},
                     {"Cells_4.xls", "\"say \"\"hi\"\"\""},
                     {"Cells_5.xls", "\"1\r\n2\""}}));
}

TEST_F(SplitTest, SeparatorOfSeveralCharactersBecomesOneTab)
{
    const std::string path = addBook("M.xlsx", {{{"S", table({{"x, y", "z"}})}}});
    choices.emplace().kind = engine::OutputKind::TabText;
    rows(path, ", ");
    EXPECT_EQ(filesIn(out.path()), (Files{{"M_1.xls", "x, y\tz\t"}}));
}

TEST_F(SplitTest, WalkStartsAtA1WhenTheUsedRangeDoesNot)
{
    // Cells only in B3:C4: rows 1 to 4 and columns A to C are walked, nothing is lost.
    const std::string path = addBook("B.xlsx", {{{"S", table({{"x", "y"}, {"", "z"}}, 3, 2)}}});
    rows(path);
    EXPECT_EQ(
        filesIn(out.path()),
        (Files{{"B_1.txt", ",,,"}, {"B_2.txt", ",,,"}, {"B_3.txt", ",x,y,"}, {"B_4.txt", ",,z,"}}));
}

TEST_F(SplitTest, CountsFilesAcrossSheetsAndRestartsPerWorkbook)
{
    const std::string first = addBook(
        "One.xlsx",
        {{{"A", table({{"1"}, {"2"}})}, {"Hidden", table({{"3"}})}, {"B", table({{"4"}})}}});
    const std::string second = addBook("Two.xlsx", {{{"A", table({{"5"}})}}});
    rows(first);
    rows(second);
    EXPECT_EQ(filesIn(out.path()),
              (Files{{"One_1.txt", "1,"},
                     {"One_2.txt", "2,"},
                     {"One_3.txt", "3,"},
                     {"One_4.txt", "4,"},
                     {"Two_1.txt", "5,"}}));
    EXPECT_EQ(hosts.created, 2);
}

TEST_F(SplitTest, EnterSeparatorEndsEveryCellWithCrLf)
{
    const std::string path = addBook("E.xlsx", {{{"S", table({{"a", "", "c"}})}}});
    rows(path, "\r\n");
    EXPECT_EQ(readFile(out.path() / "E_1.txt"), "a\r\n\r\nc\r\n");
}

TEST_F(SplitTest, ChartSheetIsPassedOverWithoutAReport)
{
    FakeBook book{{{"Data", table({{"a"}})}, {"Chart1", nullptr, true}, {"More", table({{"b"}})}}};
    const std::string path = addBook("C.xlsx", std::move(book));
    rows(path);
    cells(path);
    EXPECT_EQ(
        filesIn(out.path()),
        (Files{{"C_1.txt", "a,"}, {"C_2.txt", "b,"}, {"C_1 (2).txt", "a"}, {"C_2 (2).txt", "b"}}));
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(SplitTest, FormulasWithoutResultsAreCountedInOneWarningPerWorkbook)
{
    const auto twoFormulas = [](engine::SheetBuilder& b) {
        b.addText(1, 1, "x", 0);
        b.addBlank(2, 1, 0);
        b.countFormulaWithoutResult();
        b.addBlank(3, 1, 0);
        b.countFormulaWithoutResult();
    };
    const std::string path = addBook("F.xlsx", {{{"A", twoFormulas}, {"B", twoFormulas}}});
    rows(path);
    EXPECT_EQ(outputs.takeWarnings(),
              std::vector<std::string>{
                  "\"/in/F.xlsx\": 4 formula cells hold no stored result and are written empty; "
                  "open and save the workbook in a spreadsheet program to store them"});
    EXPECT_TRUE(reporter.reports.empty());
    cells(addBook("G.xlsx", {{{"A", table({{"y"}})}}}));
    EXPECT_TRUE(outputs.takeWarnings().empty());
}

TEST_F(SplitTest, WorkbookThatCannotBeOpenedIsReportedOnceAtTheFirstStatement)
{
    cells("/in/missing.xlsx");
    columns("/in/missing.xlsx");
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].location, "in Rendlet2021/08/31.Excel1.SaveEachCell ");
    EXPECT_EQ(reporter.reports[0].line, 100);
    EXPECT_EQ(reporter.reports[1].location, "in Rendlet2021/08/31.Excel1.SaveEachCol ");
    EXPECT_TRUE(filesIn(out.path()).empty());
    const auto unreadable = outputs.takeUnreadable();
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].path, "/in/missing.xlsx");
    EXPECT_EQ(unreadable[0].reason, reporter.reports[0].description);
}

TEST_F(SplitTest, FailedWriteCostsOnlyItsOwnFile)
{
    // The first row names a subfolder that does not exist; the second row is still written.
    const std::string path = addBook("W.xlsx", {{{"S", table({{"x"}, {"ok"}})}}});
    controls.scheme = NamingScheme::FirstCellValue;
    engine::SaveEachRow(context(), path, out.str() + "/missing/W", ",");
    engine::SaveEachRow(context(), path, base("W"), ",");
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].line, 146);
    EXPECT_NE(reporter.reports[0].description.find("missing/x.txt"), std::string::npos);
    EXPECT_EQ(filesIn(out.path()), (Files{{"x.txt", "x,"}, {"ok.txt", "ok,"}}));
    // Both files of the first split fail, late, on the writer's thread.
    EXPECT_EQ(outputs.filesWritten(), 2u);
    EXPECT_EQ(outputs.filesFailed(), 2u);
    EXPECT_TRUE(outputs.takeUnreadable().empty());
}

TEST_F(SplitTest, StopEndsTheWalkWithTheFilesPassedComplete)
{
    const std::string path =
        addBook("T.xlsx", {{{"S", table({{"a"}, {"b"}, {"c"}})}, {"U", table({{"d"}})}}});
    controls.stopAfterYields = 2;
    rows(path);
    // The second row's yield asks to stop: its file is not begun.
    EXPECT_EQ(filesIn(out.path()), (Files{{"T_1.txt", "a,"}}));
    EXPECT_EQ(outputs.filesWritten(), 1u);
    controls = {};
    controls.stopAfterYields = 3;
    cells(path);
    EXPECT_EQ(filesIn(out.path()).size(), 3u);
    EXPECT_EQ(controls.yields, 3);
}

TEST_F(SplitTest, ProgressGrowsAcrossSheets)
{
    const std::string path =
        addBook("F.xlsx", {{{"S", table({{"a"}, {"b"}})}, {"U", table({{"c", "d"}, {"e", "f"}})}}});
    rows(path);
    EXPECT_EQ(controls.fractions, (std::vector<double>{0, 0.25, 0.5, 0.75}));
    controls = {};
    cells(path);
    EXPECT_EQ(controls.fractions, (std::vector<double>{0, 0.25, 0.5, 0.625, 0.75, 0.875}));
}

TEST_F(SplitTest, NamesThatClashWithinARunTakeTheNextFreeNumber)
{
    // Equal first values, and the same location on two sheets: no row replaces another.
    const std::string path =
        addBook("S.xlsx", {{{"A", table({{"k", "1"}, {"k", "2"}})}, {"B", table({{"k", "3"}})}}});
    controls.scheme = NamingScheme::FirstCellValue;
    rows(path);
    controls.scheme = NamingScheme::CellLocation;
    choices.emplace().kind = engine::OutputKind::TabText;
    rows(path);
    const Files firstRun{{"k.txt", "k,1,"},
                         {"k (2).txt", "k,2,"},
                         {"k (3).txt", "k,3,"},
                         {"A1.xls", "k\t1\t"},
                         {"A2.xls", "k\t2\t"},
                         {"A1 (2).xls", "k\t3\t"}};
    EXPECT_EQ(filesIn(out.path()), firstRun);
    EXPECT_EQ(outputs.renamedFiles(), 3u);
    EXPECT_EQ(engine::renamedFilesNote(outputs),
              "3 files took a new name, such as \"k (2).txt\", because an earlier file of this "
              "run had the same name.");

    // A second run writes the same names again: files from before a run are replaced.
    outputs = {};
    controls.scheme = NamingScheme::FirstCellValue;
    choices.reset();
    rows(path);
    controls.scheme = NamingScheme::CellLocation;
    choices.emplace().kind = engine::OutputKind::TabText;
    rows(path);
    EXPECT_EQ(filesIn(out.path()), firstRun);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(SplitTest, WorkbooksOfOneNameFromTwoFoldersKeepEachOthersFiles)
{
    const std::string first = addBook("a/Book.xlsx", {{{"S", table({{"1"}})}}});
    const std::string second = addBook("b/Book.xlsx", {{{"S", table({{"2"}})}}});
    rows(first);
    rows(second);
    EXPECT_EQ(filesIn(out.path()), (Files{{"Book_1.txt", "1,"}, {"Book_1 (2).txt", "2,"}}));
    EXPECT_EQ(engine::renamedFilesNote(outputs),
              "1 file took a new name, such as \"Book_1 (2).txt\", because an earlier file of "
              "this run had the same name.");
}

TEST_F(SplitTest, LeadingDotsNeverHideAFile)
{
    const std::string path =
        addBook("D.xlsx", {{{"S", table({{".hidden"}, {"."}, {".."}, {"...x.y"}})}}});
    controls.scheme = NamingScheme::FirstCellValue;
    rows(path);
    EXPECT_EQ(filesIn(out.path()),
              (Files{{"hidden.txt", ".hidden,"},
                     {"D_S_2_1.txt", ".,"},
                     {"D_S_3_1.txt", "..,"},
                     {"x.y.txt", "...x.y,"}}));
}

TEST_F(SplitTest, OutputFolderAndWorkbookNamesKeepTheirBytes)
{
    // A folder that starts with a blank and holds a tab, and a workbook name in Latin-1,
    // which is not UTF-8: only text from cells is cleaned.
    EXPECT_EQ(rowsByNumberThenFirstValue(" sp\tx", "Caf\xE9.xlsx", {{"a:b"}, {"", "z"}}),
              (Files{{"Caf\xE9_1.txt", "a:b,,"},
                     {"Caf\xE9_2.txt", ",z,"},
                     {"ab.txt", "a:b,,"},
                     {"Caf\xE9_S_2_1.txt", ",z,"}}));
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(SplitTest, AWorkbookOfTheRunIsNeverWrittenOver)
{
    // A text workbook named Report.txt whose first cell is Report: the first row's file
    // would take the workbook's own name.
    const std::filesystem::path book = out.path() / "Report.txt";
    writeFile(book, "Report,1\n");
    hosts.books[book.string()] = {{{"Report", table({{"Report", "1"}, {"Other", "2"}})}}};
    controls.scheme = NamingScheme::FirstCellValue;
    engine::SaveEachRow(context(), book.string(), base("Report"), ",");
    EXPECT_EQ(filesIn(out.path()),
              (Files{{"Report.txt", "Report,1\n"}, {"Other.txt", "Other,2,"}}));
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].line, 146);
    EXPECT_EQ(reporter.reports[0].description,
              "cannot write \"" + book.string() + "\": it is one of the workbooks being split");
}

TEST_F(SplitTest, ReadOnlyFilesStayAndLinksAreReplacedNotFollowed)
{
    const std::filesystem::path kept = out.path() / "S_1.txt";
    writeFile(kept, "mine");
    ::chmod(kept.c_str(), 0400);
    const std::filesystem::path target = out.path() / "target";
    writeFile(target, "elsewhere");
    std::filesystem::create_symlink(target, out.path() / "S_2.txt");
    const std::string path = addBook("S.xlsx", {{{"S", table({{"a"}, {"b"}, {"c"}})}}});
    rows(path);
    EXPECT_EQ(
        filesIn(out.path()),
        (Files{
            {"S_1.txt", "mine"}, {"S_2.txt", "b,"}, {"S_3.txt", "c,"}, {"target", "elsewhere"}}));
    EXPECT_FALSE(std::filesystem::is_symlink(out.path() / "S_2.txt"));
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].description,
              "cannot write \"" + kept.string() + "\": the file is read-only");
}

TEST_F(SplitTest, EmptyOrUnusableFirstCellFallsBackToWorkbookSheetAndIndices)
{
    // Row 1's first cell is empty; row 2's holds only characters a name cannot keep.
    const std::string path = addBook("Book1.xlsx", {{{"Data", table({{"", "a"}, {"*?:", "b"}})}}});
    controls.scheme = NamingScheme::FirstCellValue;
    rows(path);
    EXPECT_EQ(filesIn(out.path()),
              (Files{{"Book1_Data_1_1.txt", ",a,"}, {"Book1_Data_2_1.txt", "*?:,b,"}}));
}

TEST_F(SplitTest, ColumnFallbackNamesTheColumnFirst)
{
    const std::string path =
        addBook("Book1.xlsx", {{{"Data", table({{"h", "", "", "", "", "x"}})}}});
    controls.scheme = NamingScheme::FirstCellValue;
    columns(path);
    EXPECT_TRUE(filesIn(out.path()).contains("Book1_Data_5_1.txt"));
    EXPECT_EQ(filesIn(out.path()).size(), 6u);
}

TEST_F(SplitTest, ChoicesAreReadAnewForEveryFile)
{
    const std::string path = addBook("L.xlsx", {{{"S", table({{"a"}, {"b"}, {"c"}})}}});
    controls.onYield = [this] {
        if (controls.yields == 2) {
            controls.scheme = NamingScheme::CellLocation;
            controls.spreadsheet = true;
        }
    };
    rows(path);
    // The window's spreadsheet files are workbooks: compound files.
    Files files = filesIn(out.path());
    for (const char* name : {"A2.xls", "A3.xls"}) {
        EXPECT_TRUE(files[name].starts_with("\xD0\xCF\x11\xE0")) << name;
        files[name] = "workbook";
    }
    EXPECT_EQ(files, (Files{{"L_1.txt", "a,"}, {"A2.xls", "workbook"}, {"A3.xls", "workbook"}}));
}

TEST_F(SplitTest, RowCaptionsAndBusyPointer)
{
    const std::string path =
        addBook("P.xlsx", {{{"S", table({{"a"}, {"b"}})}, {"T", table({{"c"}})}}});
    rows(path);
    EXPECT_EQ(
        controls.captions,
        (std::vector<std::string>{"Row Processed: 1", "Row Processed: 2", "Row Processed: 1"}));
    EXPECT_EQ(controls.busyCalls, 3);
    controls.captions.clear();
    controls.busyCalls = 0;
    columns(path);
    EXPECT_EQ(controls.captions,
              (std::vector<std::string>{"Col Processed: 1", "Col Processed: 1"}));
    EXPECT_EQ(controls.busyCalls, 0);
}

TEST_F(SplitTest, CellModeSkipsBlankTextsWithoutCountingThem)
{
    const std::string path = addBook("Book1.xlsx", {{{"S", [](engine::SheetBuilder& b) {
                                                          b.addText(1, 1, "a", 0);
                                                          b.addText(1, 2, "   ", 0);
                                                          b.addBlank(1, 3, 0);
                                                          b.addText(2, 1, "\t", 0);
                                                          b.addText(3, 4, "x|y", 0);
                                                      }}}});
    cells(path);
    EXPECT_EQ(filesIn(out.path()),
              (Files{{"Book1_1.txt", "a"}, {"Book1_2.txt", "\t"}, {"Book1_3.txt", "x|y"}}));
    EXPECT_EQ(controls.captions.front(), "Cell Processed: 1,1");
    EXPECT_EQ(controls.captions.back(), "Cell Processed: 3,4");
    EXPECT_EQ(controls.busyCalls, 1);
}

TEST_F(SplitTest, CellFilesHoldTheValueNotTheDisplayedText)
{
    const std::string path = addBook("V.xlsx", {{{"S", [](engine::SheetBuilder& b) {
                                                      b.addBoolean(1, 1, true, 0);
                                                      b.addError(1, 2, "#N/A", 0);
                                                      b.addNumber(1, 3, 0.125, 0);
                                                  }}}});
    controls.scheme = NamingScheme::CellLocation;
    choices.emplace().kind = engine::OutputKind::TabText;
    cells(path);
    EXPECT_EQ(filesIn(out.path()),
              (Files{{"A1.xls", "True"}, {"B1.xls", "#N/A"}, {"C1.xls", "0.125"}}));
}

TEST_F(SplitTest, CellsBeyondTheGridOfXlsFilesAreLeftOutWithAWarning)
{
    const std::string path = addBook("G.xlsx", {{{"Tall", [](engine::SheetBuilder& b) {
                                                      b.addText(1, 1, "top", 0);
                                                      b.addText(70000, 1, "bottom", 0);
                                                  }}}});
    choices.emplace().kind = engine::OutputKind::Spreadsheet;
    columns(path);
    EXPECT_EQ(filesIn(out.path()).size(), 1u);
    EXPECT_EQ(outputs.takeWarnings(),
              std::vector<std::string>{
                  "\"/in/G.xlsx\": 1 cell of sheet \"Tall\" did not fit in .xls files (rows "
                  "after 65,536, columns after IV, texts over 32,767 characters) and was left "
                  "out or cut"});
    // The same column as .xlsx has room for it.
    choices->kind = engine::OutputKind::Xlsx;
    columns(path);
    EXPECT_TRUE(outputs.takeWarnings().empty());
    // A column of text may run past the grid of .xlsx files too.
    const std::string text = addBook("L.csv", {{{"Long", [](engine::SheetBuilder& b) {
                                                     b.allowRows(engine::MaxRows + 2);
                                                     b.addText(1, 1, "top", 0);
                                                     b.addText(engine::MaxRows + 2, 1, "past", 0);
                                                 }}}});
    columns(text);
    EXPECT_EQ(outputs.takeWarnings(),
              std::vector<std::string>{"\"/in/L.csv\": 1 cell of sheet \"Long\" did not fit in "
                                       ".xlsx files (rows after 1,048,576) and was left out"});
}

TEST_F(SplitTest, WorkbookFilesOfASheetInPartsKeepTheFormatsOfEveryPart)
{
    // The second row's format is first seen in the second part: its file must declare it.
    FakeBook book{{{"S", [](engine::SheetBuilder& b) {
                        b.addNumber(1, 1, 0.5, 0);
                        b.addNumber(2, 1, 0.5, 1);
                    }}}};
    book.styles->cellFormats = {engine::format::NumberFormat::compile("General"),
                                engine::format::NumberFormat::compile("0.000")};
    book.inParts = true;
    const std::string path = addBook("P.xlsx", std::move(book));
    for (const engine::OutputKind kind :
         {engine::OutputKind::Spreadsheet, engine::OutputKind::Xlsx}) {
        choices.emplace().kind = kind;
        rows(path);
        const std::string second =
            readFile(out.path() / (kind == engine::OutputKind::Xlsx ? "P_2.xlsx" : "P_2.xls"));
        EXPECT_NE(second.find("0.000"), std::string::npos) << static_cast<int>(kind);
    }
}

// A text file has no grid: the columns of its parts are gathered past the grid's last row.
TEST_F(SplitTest, ColumnsOfASheetInPartsRunPastTheGrid)
{
    FakeBook book{{{"Long", [](engine::SheetBuilder& b) {
                        b.allowRows(engine::MaxRows + 2);
                        b.addText(1, 1, "top", 0);
                        b.addText(engine::MaxRows + 2, 2, "past", 0);
                    }}}};
    book.inParts = true;
    const std::string path = addBook("L.csv", std::move(book));
    columns(path);
    const auto empty = static_cast<std::size_t>(engine::MaxRows) + 1;
    EXPECT_EQ(readFile(out.path() / "L_1.txt"), "top," + std::string(empty, ','));
    EXPECT_EQ(readFile(out.path() / "L_2.txt"), std::string(empty, ',') + "past,");
}

struct GroupCase
{
    const char* name;
    std::vector<std::uint64_t> cells; // the summary's stored cells by column, from column A
    std::vector<std::uint64_t> textBytes; // and their own text; none when empty
    int passes; // over the parts, a group of columns each
};

class ColumnGroupsOf : public SplitTest, public ::testing::WithParamInterface<GroupCase>
{};

// A sheet in parts too large to hold whole is split by columns a group at a time, as few
// groups as 112 MiB of cells (28 bytes each) and their own text allow, as even as may be.
TEST_P(ColumnGroupsOf, AreAsFewAsTheirBytesAllow)
{
    const GroupCase& group = GetParam();
    const auto width = static_cast<std::int32_t>(group.cells.size());
    FakeBook book{{{"S", [width](engine::SheetBuilder& b) {
                        for (std::int32_t c = 1; c <= width; ++c) {
                            b.addNumber(1, c, c, 0);
                            b.addNumber(2, c, c * 10, 0);
                        }
                    }}}};
    book.inParts = true;
    book.counts = [&group](engine::SheetSummary& summary) {
        summary.columnCells.assign(1, 0);
        summary.columnCells.insert(
            summary.columnCells.end(), group.cells.begin(), group.cells.end());
        if (!group.textBytes.empty()) {
            summary.columnTextBytes.assign(1, 0);
            summary.columnTextBytes.insert(
                summary.columnTextBytes.end(), group.textBytes.begin(), group.textBytes.end());
        }
        summary.storedCells = 0;
        for (const std::uint64_t cells : group.cells) {
            summary.storedCells += cells;
        }
    };
    const std::shared_ptr<int> passes = book.passes;
    const std::string path = addBook("G.xlsx", std::move(book));
    columns(path);
    EXPECT_EQ(*passes, group.passes);
    Files expected;
    for (std::int32_t c = 1; c <= width; ++c) {
        expected["G_" + std::to_string(c) + ".txt"] =
            std::to_string(c) + "," + std::to_string(c * 10) + ",";
    }
    EXPECT_EQ(filesIn(out.path()), expected);
}

constexpr std::uint64_t Million = 1'000'000;

INSTANTIATE_TEST_SUITE_P(
    SplitTest,
    ColumnGroupsOf,
    ::testing::Values(
        // 9 columns of a million cells and a blank one: 3 groups of 3 million.
        GroupCase{
            "MillionRows",
            {Million, Million, Million, Million, Million, Million, 0, Million, Million, Million},
            {},
            3},
        // A fifth more: still 3 groups, of 3.6 million.
        GroupCase{"MillionAndAFifthRows",
                  {1'200'000,
                   1'200'000,
                   1'200'000,
                   1'200'000,
                   1'200'000,
                   1'200'000,
                   0,
                   1'200'000,
                   1'200'000,
                   1'200'000},
                  {},
                  3},
        // 4 million cells of 28 bytes fit in 112 MiB; 4.2 million do not.
        GroupCase{"FourMillionInOne", {2 * Million, 2 * Million}, {}, 1},
        GroupCase{"OverInTwo", {2'100'000, 2'100'000}, {}, 2},
        // Own text counts: 60 MB of it beside each million cells leaves a column a group.
        GroupCase{"TextFillsThem",
                  {Million, Million, Million},
                  {60 * Million, 60 * Million, 60 * Million},
                  3},
        // A column larger than a group is a group of its own.
        GroupCase{"ColumnLargerThanAGroup", {10 * Million, 1, 1}, {}, 2}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SplitTest, SingleByteCodePageEncodesContentAndReplacesMissingCharacters)
{
    codePage = engine::CodePage::singleByte("WINDOWS-1252");
    const std::string path = addBook("U.xlsx", {{{"S", table({{"caf\xC3\xA9 \xD0\x96"}})}}});
    rows(path);
    EXPECT_EQ(readFile(out.path() / "U_1.txt"), "caf\xE9 ?,");

    // The system holds names in the page: a folder and a workbook named so keep their bytes,
    // and a cell's text is put in the page for its name.
    EXPECT_EQ(rowsByNumberThenFirstValue("d\xE9", "Caf\xE9.xlsx", {{"caf\xC3\xA9"}, {"\xD0\x96"}}),
              (Files{{"Caf\xE9_1.txt", "caf\xE9,"},
                     {"Caf\xE9_2.txt", "?,"},
                     {"caf\xE9.txt", "caf\xE9,"},
                     {"Caf\xE9_S_2_1.txt", "?,"}}));
    EXPECT_TRUE(reporter.reports.empty());
}

// A disk of 1 GiB in blocks of 4 KiB with 1 MiB free, however much is written.
std::optional<engine::DiskSpace> smallDisk(const std::string&)
{
    return engine::DiskSpace{std::uint64_t{1} << 20, std::uint64_t{1} << 30, 4096};
}

TEST_F(SplitTest, SheetWhoseFilesCannotFitIsNotSplit)
{
    // Three cells in a used range of 1,000 rows: each row's file takes a block of its own.
    const std::string path = addBook("Book.xlsx",
                                     {{{"Grid",
                                        [](engine::SheetBuilder& b) {
                                            for (int column = 1; column <= 300; ++column) {
                                                b.addText(1, column, "c", 0);
                                            }
                                            b.addBlank(1000, 3, 0);
                                        }},
                                       {"Small", nameQty}}});
    engine::SplitContext small = context();
    small.diskSpace = smallDisk;
    engine::SaveEachRow(small, path, base("Book"), ",");
    EXPECT_EQ(filesIn(out.path()), (Files{{"Book_1.txt", "Name,Qty,"}, {"Book_2.txt", "Pen,3,"}}));
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].line, 108);
    EXPECT_EQ(reporter.reports[0].description,
              "not splitting sheet \"Grid\" of \"Book.xlsx\": its 1,000 files would take at "
              "least 4.0 MB, and \""
                  + out.str() + "/\" has 1.0 MB free");

    // By cell, the 300 cells of the first row take 300 blocks: still too many.
    std::filesystem::remove_all(out.path());
    std::filesystem::create_directory(out.path());
    reporter.reports.clear();
    engine::SaveEachCell(small, path, base("Book"));
    EXPECT_EQ(filesIn(out.path()).size(), 4u);
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].line, 110);
    EXPECT_NE(reporter.reports[0].description.find("its 300 files would take at least 1.2 MB"),
              std::string::npos)
        << reporter.reports[0].description;
}

TEST_F(SplitTest, SplitStopsWhenTheDiskIsAllButFull)
{
    std::vector<std::vector<std::string>> lines;
    for (int i = 1; i <= 200; ++i) {
        lines.push_back({std::to_string(i)});
    }
    const std::string path = addBook("Book.xlsx", {{{"S", table(lines)}}});
    // 100 GiB with 10 GiB free when the split starts, then 10 MB: under the 64 MiB kept free.
    int looks = 0;
    engine::SplitContext filling = context();
    filling.diskSpace = [&looks](const std::string&) {
        return engine::DiskSpace{
            ++looks == 1 ? std::uint64_t{10} << 30 : 10'000'000, std::uint64_t{100} << 30, 4096};
    };
    engine::SaveEachRow(filling, path, base("Book"), ",");
    EXPECT_EQ(looks, 2);
    EXPECT_EQ(filesIn(out.path()).size(), 64u);
    EXPECT_EQ(readFile(out.path() / "Book_64.txt"), "64,");
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].line, 146);
    EXPECT_EQ(reporter.reports[0].description,
              "stopped splitting \"Book.xlsx\": \"" + out.str() + "/\" has only 10.0 MB free");
}

} // namespace
} // namespace sheetfray::testing
