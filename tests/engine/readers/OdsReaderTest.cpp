#include "engine/readers/OdsReader.h"

#include "engine/readers/FileHost.h"
#include "support/Error.h"
#include "tests/builders/OdsBuilder.h"
#include "tests/engine/readers/PartsDifference.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>

namespace sheetfray::testing {
namespace {

using engine::CellValue;
using engine::readers::openWorkbookFile;

std::unique_ptr<engine::Workbook> open(const OdsBuilder& builder, const TempDir& dir)
{
    const auto path = dir.path() / "book.ods";
    builder.save(path);
    return openWorkbookFile(path);
}

std::string failure(const OdsBuilder& builder)
{
    TempDir dir;
    try {
        auto book = open(builder, dir);
        for (std::int32_t i = 1; i <= book->sheetCount(); ++i) {
            (void)book->loadSheet(i);
        }
    } catch (const ReadError& e) {
        return e.what();
    }
    return "";
}

std::string row(const std::string& cells)
{
    return "<table:table-row>" + cells + "</table:table-row>";
}

// Date and time styles as the office suite writes them: MM/DD/YYYY, HH:MM:SS, and a quarter,
// which format codes cannot show.
constexpr const char* DateStyles =
    R"(<number:date-style style:name="N1"><number:month number:style="long"/>)"
    R"(<number:text>/</number:text><number:day number:style="long"/><number:text>/</number:text>)"
    R"(<number:year number:style="long"/></number:date-style>)"
    R"(<number:time-style style:name="N2"><number:hours number:style="long"/>)"
    R"(<number:text>:</number:text><number:minutes number:style="long"/>)"
    R"(<number:text>:</number:text><number:seconds number:style="long"/></number:time-style>)"
    R"(<number:date-style style:name="N3"><number:quarter/><number:text> </number:text>)"
    R"(<number:year number:style="long"/></number:date-style>)"
    R"(<style:style style:name="Dates" style:family="table-cell" style:data-style-name="N1"/>)"
    R"(<style:style style:name="ce1" style:family="table-cell" style:parent-style-name="Dates"/>)"
    R"(<style:style style:name="ce2" style:family="table-cell" style:data-style-name="N2"/>)"
    R"(<style:style style:name="ce3" style:family="table-cell" style:data-style-name="N3"/>)";

struct OdsCellCase
{
    const char* name;
    std::string cellXml; // one <table:table-cell> at A1
    CellValue::Kind kind;
    double number; // for numbers and dates
    std::string text; // displayed text
};

// Names the case in a failure message.
void PrintTo(const OdsCellCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.cellXml;
}

class OdsCell : public ::testing::TestWithParam<OdsCellCase>
{};

TEST_P(OdsCell, GivesParagraphTextAndValue)
{
    const OdsCellCase& c = GetParam();
    OdsBuilder b;
    b.setAutomaticStyles(DateStyles);
    b.addTable("Sheet1", row(c.cellXml));
    TempDir dir;
    const engine::Sheet sheet = open(b, dir)->loadSheet(1);
    ASSERT_EQ(sheet.cells().size(), 1u);
    EXPECT_EQ(sheet.text(1, 1), c.text);
    const CellValue value = sheet.value(1, 1);
    EXPECT_EQ(value.kind, c.kind);
    if (c.kind == CellValue::Kind::Number || c.kind == CellValue::Kind::Date) {
        EXPECT_NEAR(value.number, c.number, 1e-9);
    } else if (c.kind == CellValue::Kind::Text) {
        EXPECT_EQ(value.text, c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cells,
    OdsCell,
    ::testing::Values(
        OdsCellCase{
            "Float",
            R"(<table:table-cell office:value-type="float" office:value="1.5"><text:p>1.5</text:p></table:table-cell>)",
            CellValue::Kind::Number,
            1.5,
            "1.5"},
        OdsCellCase{"FloatWithoutParagraph",
                    R"(<table:table-cell office:value-type="float" office:value="2"/>)",
                    CellValue::Kind::Number,
                    2,
                    "2"},
        OdsCellCase{
            "Percentage",
            R"(<table:table-cell office:value-type="percentage" office:value="0.125"><text:p>12.50%</text:p></table:table-cell>)",
            CellValue::Kind::Number,
            0.125,
            "12.50%"},
        OdsCellCase{
            "NegativeCurrency",
            R"(<table:table-cell office:value-type="currency" office:currency="USD" office:value="-1234.5"><text:p>-$1,234.50</text:p></table:table-cell>)",
            CellValue::Kind::Number,
            -1234.5,
            "-$1,234.50"},
        OdsCellCase{
            "DateThroughParentStyle",
            R"(<table:table-cell table:style-name="ce1" office:value-type="date" office:date-value="2021-03-04"><text:p>03/04/2021</text:p></table:table-cell>)",
            CellValue::Kind::Date,
            44259,
            "03/04/2021"},
        OdsCellCase{
            "DateStyleNoCodeCanShow",
            R"(<table:table-cell table:style-name="ce3" office:value-type="date" office:date-value="2021-03-04"><text:p>Q1 2021</text:p></table:table-cell>)",
            CellValue::Kind::Text,
            0,
            "Q1 2021"},
        OdsCellCase{
            "Time",
            R"(<table:table-cell table:style-name="ce2" office:value-type="time" office:time-value="PT10H10M10S"><text:p>10:10:10</text:p></table:table-cell>)",
            CellValue::Kind::Date,
            (10 * 3600 + 10 * 60 + 10) / 86400.0,
            "10:10:10"},
        OdsCellCase{
            "BooleanTrue",
            R"(<table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>TRUE</text:p></table:table-cell>)",
            CellValue::Kind::Boolean,
            0,
            "TRUE"},
        OdsCellCase{
            "BooleanInAnotherLanguage",
            R"(<table:table-cell office:value-type="boolean" office:boolean-value="true"><text:p>WAHR</text:p></table:table-cell>)",
            CellValue::Kind::Text,
            0,
            "WAHR"},
        OdsCellCase{
            "ErrorResult",
            R"(<table:table-cell table:formula="of:=1/0" office:value-type="float" office:value="0" calcext:value-type="error"><text:p>#DIV/0!</text:p></table:table-cell>)",
            CellValue::Kind::Error,
            0,
            "#DIV/0!"},
        OdsCellCase{
            "Spaces",
            R"(<table:table-cell office:value-type="string"><text:p><text:s/>a<text:s text:c="3"/>b <text:s/></text:p></table:table-cell>)",
            CellValue::Kind::Text,
            0,
            " a   b  "},
        OdsCellCase{
            "ParagraphsTabsAndLineBreaks",
            R"(<table:table-cell office:value-type="string"><text:p>a<text:tab/>b</text:p><text:p>c<text:line-break/>d</text:p></table:table-cell>)",
            CellValue::Kind::Text,
            0,
            "a\tb\nc\nd"},
        OdsCellCase{
            "RichTextAndLinks",
            R"(<table:table-cell office:value-type="string"><text:p>a<text:span text:style-name="T1">b</text:span><text:a xlink:href="x">c</text:a></text:p></table:table-cell>)",
            CellValue::Kind::Text,
            0,
            "abc"},
        OdsCellCase{
            "CommentIsNotShown",
            R"(<table:table-cell office:value-type="string"><office:annotation><text:p>note</text:p></office:annotation><text:p>x</text:p></table:table-cell>)",
            CellValue::Kind::Text,
            0,
            "x"},
        OdsCellCase{
            "TextResultWithoutParagraph",
            R"(<table:table-cell table:formula="of:=&quot;a&quot;&amp;&quot;b&quot;" office:value-type="string" office:string-value="ab"/>)",
            CellValue::Kind::Text,
            0,
            "ab"},
        OdsCellCase{"TextWithoutValueType",
                    R"(<table:table-cell><text:p>plain</text:p></table:table-cell>)",
                    CellValue::Kind::Text,
                    0,
                    "plain"}),
    [](const auto& param) { return std::string(param.param.name); });

// A number keeps its paragraph's text whether General shows that text or not: near the
// edges of what General shows digit for digit (11 characters, no zero it drops) and with a
// text that is not the value's.
TEST(OdsReader, NumbersShowTheirParagraphTextAtTheEdgesOfGeneral)
{
    struct Case
    {
        const char* value;
        const char* text;
    };

    const Case cases[] = {
        {"65532", "65532"},
        {"-28878", "-28878"},
        {"1893.79", "1893.79"},
        {"-2807.88", "-2807.88"},
        {"12345678901", "12345678901"},
        {"-12345678901", "-12345678901"},
        {"123456789012", "123456789012"},
        {"123456789.5", "123456789.5"},
        {"1234567890.5", "1234567890.5"},
        {"1.234567891", "1.234567891"},
        {"1.2345678912", "1.2345678912"},
        {"1.1", "1.10"},
        {"7", "007"},
        {"0.5", "0.5"},
        {"0", "0"},
        {"0", "-0"},
        {"2.5", "2.4"},
        {"0.1", "0.1"},
        {"9999999999.9", "9999999999.9"},
        {"99999999999", "99999999999"},
        {"999999999.95", "999999999.95"},
        {"1e3", "1000"},
        {"1000", "1e3"},
        {"0.30000000000000004", "0.3"},
        {"4503599627370497", "4503599627370497"},
    };
    std::string rows;
    for (const Case& c : cases) {
        rows += row(std::string(R"(<table:table-cell office:value-type="float" office:value=")")
                    + c.value + R"("><text:p>)" + c.text + "</text:p></table:table-cell>");
    }
    OdsBuilder b;
    b.addTable("Sheet1", rows);
    TempDir dir;
    const engine::Sheet sheet = open(b, dir)->loadSheet(1);
    std::int32_t r = 0;
    for (const Case& c : cases) {
        ++r;
        EXPECT_EQ(sheet.text(r, 1), c.text) << "value " << c.value;
    }
}

// The first load takes the sheet that was read; a second reads the package again.
TEST(OdsReader, SheetLoadedAgainHasTheSameCells)
{
    OdsBuilder b;
    b.setAutomaticStyles(DateStyles);
    b.addTable("First",
               row(R"(<table:table-cell office:value-type="string"><text:p>a</text:p>)"
                   R"(</table:table-cell>)"));
    b.addTable("Second",
               row(R"(<table:table-cell table:style-name="ce1" office:value-type="date")"
                   R"( office:date-value="2021-03-04"><text:p>03/04/2021</text:p>)"
                   R"(</table:table-cell><table:table-cell office:value-type="float")"
                   R"( office:value="1.5"><text:p>1.50</text:p></table:table-cell>)"));
    TempDir dir;
    const auto book = open(b, dir);
    for (int load = 1; load <= 3; ++load) {
        const engine::Sheet sheet = book->loadSheet(2);
        EXPECT_EQ(sheet.name(), "Second") << "load " << load;
        ASSERT_EQ(sheet.cells().size(), 2u) << "load " << load;
        EXPECT_EQ(sheet.text(1, 1), "03/04/2021") << "load " << load;
        EXPECT_EQ(sheet.text(1, 2), "1.50") << "load " << load;
        EXPECT_EQ(sheet.value(1, 1).kind, CellValue::Kind::Date) << "load " << load;
        EXPECT_EQ(book->sheetName(2), "Second") << "load " << load;
    }
    EXPECT_EQ(book->loadSheet(1).text(1, 1), "a");
    EXPECT_THROW((void)book->loadSheet(3), ReadError);
}

TEST(OdsReader, RepeatedRowsAndCellsAreExpandedOnlyWhereTheyHoldSomething)
{
    OdsBuilder b;
    b.addTable(
        "Sheet1",
        row(R"(<table:table-cell table:number-columns-repeated="16384"/>)")
            + R"(<table:table-row table:number-rows-repeated="3">)"
              R"(<table:table-cell table:style-name="ce1"/>)"
              R"(<table:table-cell table:number-columns-repeated="2" office:value-type="string">)"
              R"(<text:p>x</text:p></table:table-cell>)"
              R"(<table:table-cell table:style-name="ce1" table:number-columns-repeated="16381"/>)"
              R"(</table:table-row>)"
              R"(<table:table-row table:number-rows-repeated="1048572">)"
              R"(<table:table-cell table:number-columns-repeated="16384"/></table:table-row>)");
    TempDir dir;
    const engine::Sheet sheet = open(b, dir)->loadSheet(1);
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{4, 3}));
    EXPECT_EQ(sheet.cells().size(), 6u);
    EXPECT_EQ(sheet.text(2, 2), "x");
    EXPECT_EQ(sheet.text(4, 3), "x");
    EXPECT_EQ(sheet.find(2, 1), nullptr); // a formatted empty cell is not stored
}

TEST(OdsReader, CountsFormulasStoredWithoutTheirResult)
{
    OdsBuilder b;
    b.addTable(
        "Sheet1",
        row(R"(<table:table-cell office:value-type="float" office:value="1"/>)"
            R"(<table:table-cell table:formula="of:=[.A1]*2" office:value-type="float")"
            R"( office:value="2"><text:p>2</text:p></table:table-cell>)")
            + row(R"(<table:table-cell table:formula="of:=[.A1]+[.B1]"/>)"
                  R"(<table:table-cell table:formula="of:=[.A1]+1" office:value-type="float"/>)"
                  R"(<table:table-cell table:formula="of:=&quot;&quot;")"
                  R"( office:value-type="string" office:string-value=""/>)"));
    b.addTable("Repeated",
               R"(<table:table-row table:number-rows-repeated="2">)"
               R"(<table:table-cell table:formula="of:=1" table:number-columns-repeated="3"/>)"
               R"(</table:table-row>)");
    b.addTable(
        "Grid",
        R"(<table:table-row table:number-rows-repeated="1048576"><table:table-cell)"
        R"( table:formula="of:=1" table:number-columns-repeated="16384"/></table:table-row>)");
    TempDir dir;
    const auto book = open(b, dir);
    const engine::Sheet sheet = book->loadSheet(1);
    EXPECT_EQ(sheet.formulasWithoutResult(), 2u);
    EXPECT_EQ(sheet.cells().size(), 3u) << "they are not stored, as before";
    EXPECT_EQ(book->loadSheet(2).formulasWithoutResult(), 6u);
    EXPECT_EQ(book->loadSheet(3).formulasWithoutResult(), 0xFFFFFFFFu) << "the count stops";
}

TEST(OdsReader, FullGridOfRepeatedValuesIsRefusedQuickly)
{
    OdsBuilder b;
    b.addTable(
        "Sheet1",
        R"(<table:table-row table:number-rows-repeated="1048576">)"
        R"(<table:table-cell table:number-columns-repeated="16384" office:value-type="float" )"
        R"(office:value="1"><text:p>1</text:p></table:table-cell></table:table-row>)");
    const auto start = std::chrono::steady_clock::now();
    const std::string message = failure(b);
    EXPECT_NE(message.find("\"book.ods\""), std::string::npos) << message;
    EXPECT_NE(message.find("repeats cells"), std::string::npos) << message;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// The bound on repeated cells is the sheet's: sheets that each stay within it are read,
// however many cells they repeat together.
TEST(OdsReader, RepeatsAreBoundedSheetBySheet)
{
    OdsBuilder b;
    const std::string rows =
        R"(<table:table-row table:number-rows-repeated="160">)"
        R"(<table:table-cell table:number-columns-repeated="16384" office:value-type="float" )"
        R"(office:value="1"><text:p>1</text:p></table:table-cell></table:table-row>)";
    b.addTable("One", rows);
    b.addTable("Two", rows);
    TempDir dir;
    const auto book = open(b, dir);
    EXPECT_EQ(book->loadSheet(2).usedRange(), (engine::UsedRange{160, 16384}));
}

TEST(OdsReader, ValuesBeyondTheGridAreDamageNotDropped)
{
    for (const std::string& rows :
         {std::string(R"(<table:table-row table:number-rows-repeated="1048576">)"
                      R"(<table:table-cell/></table:table-row>)")
              + row(R"(<table:table-cell><text:p>x</text:p></table:table-cell>)"),
          row(R"(<table:table-cell table:number-columns-repeated="16384"/>)"
              R"(<table:table-cell><text:p>x</text:p></table:table-cell>)")}) {
        OdsBuilder b;
        b.addTable("Sheet1", rows);
        EXPECT_NE(failure(b).find("damaged"), std::string::npos);
    }
}

std::unique_ptr<engine::Workbook> openInBands(const std::filesystem::path& path,
                                              const engine::readers::OdsBands& bands)
{
    return engine::readers::openOdsWorkbook(
        engine::readers::ZipArchive(path, path.filename().string()), bands);
}

// Rows of every kind of cell, with new texts and formats as they go, rows repeated across
// the edges of bands of a few cells, and cells repeated along a row.
std::string mixedRows(int rows, const std::string& word)
{
    std::string xml;
    for (int r = 1; r <= rows; ++r) {
        const std::string n = std::to_string(r);
        if (r % 9 == 4) {
            xml += R"(<table:table-row table:number-rows-repeated="2"><table:table-cell/>)"
                   R"(</table:table-row>)";
            continue;
        }
        if (r % 6 == 5) {
            xml += R"(<table:table-row table:number-rows-repeated="5">)"
                   R"(<table:table-cell table:number-columns-repeated="2" office:value-type=)"
                   R"("string"><text:p>)"
                + word + " repeated " + n
                + R"(</text:p></table:table-cell><table:table-cell/>)"
                  R"(<table:table-cell table:formula="of:=1" table:number-columns-repeated="2"/>)"
                  R"(<table:table-cell office:value-type="float" office:value="2"><text:p>)"
                  R"(2.0)"
                + n + R"(</text:p></table:table-cell></table:table-row>)";
            continue;
        }
        xml += row(R"(<table:table-cell office:value-type="string"><text:p>)" + word + " " + n
                   + R"(</text:p></table:table-cell>)"
                     R"(<table:table-cell office:value-type="float" office:value=")"
                   + n + R"(.5"><text:p>)" + n
                   + R"(.50</text:p></table:table-cell>)"
                     R"(<table:table-cell table:style-name="ce1" office:value-type="date")"
                     R"( office:date-value="2021-03-0)"
                   + std::to_string(r % 9 + 1) + R"("><text:p>03/0)" + std::to_string(r % 9 + 1)
                   + R"(/2021</text:p></table:table-cell>)"
                     R"(<table:table-cell office:value-type="float" calcext:value-type="error")"
                     R"( office:value="0"><text:p>#DIV/0!</text:p></table:table-cell>)"
                     R"(<table:table-cell office:value-type="float" office:value=")"
                   + n + R"("><text:p>)" + n + R"( units</text:p></table:table-cell>)");
    }
    return xml;
}

// Each sheet of a large content read in bands of a few cells hands over the cells of the
// sheet read whole as a small content is, the same texts and formats, also for a walk of
// several passes; a sheet of one band is held whole.
TEST(OdsReader, SheetInBandsIsTheSheetReadWhole)
{
    OdsBuilder b;
    b.setAutomaticStyles(DateStyles);
    b.addTable("Rows", mixedRows(60, "first"));
    b.addTable("Small",
               row(R"(<table:table-cell office:value-type="string"><text:p>small</text:p>)"
                   R"(</table:table-cell>)"));
    b.addTable("Later", mixedRows(25, "later"));
    b.addTable("Empty", "");
    TempDir dir;
    const auto path = dir.path() / "book.ods";
    b.save(path);
    const auto whole = openWorkbookFile(path);
    const auto inBands = openInBands(path, {.wholeCells = 0, .bandCells = 4});
    ASSERT_EQ(inBands->sheetCount(), whole->sheetCount());
    for (std::int32_t sheet = 1; sheet <= whole->sheetCount(); ++sheet) {
        SCOPED_TRACE(whole->sheetName(sheet));
        EXPECT_EQ(inBands->sheetName(sheet), whole->sheetName(sheet));
        const engine::Sheet expected = whole->loadSheet(sheet);
        const std::unique_ptr<engine::SheetParts> parts = inBands->loadSheetInParts(sheet);
        int count = 0;
        EXPECT_EQ(partsDifference(*parts, expected, count), "");
        if (sheet == 1 || sheet == 3) {
            EXPECT_GT(count, 10);
            EXPECT_EQ(partsDifference(*parts->again(), expected, count), "");
            EXPECT_GT(count, 10);
        } else {
            EXPECT_EQ(count, 1);
        }
        // Loaded whole, from the first reading or read again.
        for (int load = 1; load <= 2; ++load) {
            const engine::Sheet again = inBands->loadSheet(sheet);
            EXPECT_EQ(
                partsDifference(*std::make_unique<engine::WholeSheetParts>(again), expected, count),
                "")
                << "load " << load;
        }
    }
    EXPECT_THROW((void)inBands->loadSheetInParts(5), ReadError);
}

// A content that cannot be read fails at the opening in bands as it fails whole: values
// below or right of the grid, too many repeats, in a table after one read in bands.
TEST(OdsReader, ContentInBandsFailsAsContentReadWhole)
{
    for (const std::string& bad :
         {std::string(R"(<table:table-row table:number-rows-repeated="1048576">)"
                      R"(<table:table-cell/></table:table-row>)")
              + row(R"(<table:table-cell><text:p>x</text:p></table:table-cell>)"),
          row(R"(<table:table-cell table:number-columns-repeated="16384"/>)"
              R"(<table:table-cell><text:p>x</text:p></table:table-cell>)"),
          std::string(R"(<table:table-row table:number-rows-repeated="1048576">)"
                      R"(<table:table-cell table:number-columns-repeated="16384")"
                      R"( office:value-type="float" office:value="1"><text:p>1</text:p>)"
                      R"(</table:table-cell></table:table-row>)")}) {
        OdsBuilder b;
        b.addTable("Rows", mixedRows(20, "first"));
        b.addTable("Bad", bad);
        TempDir dir;
        const auto path = dir.path() / "book.ods";
        b.save(path);
        std::string whole;
        std::string inBands;
        try {
            (void)openWorkbookFile(path);
        } catch (const ReadError& e) {
            whole = e.what();
        }
        try {
            (void)openInBands(path, {.wholeCells = 0, .bandCells = 4});
        } catch (const ReadError& e) {
            inBands = e.what();
        }
        EXPECT_NE(whole, "");
        EXPECT_EQ(inBands, whole);
    }
}

// The workbooks of other writers give the same cells in bands of a few cells as whole.
TEST(OdsReader, SharedWorkbooksInBandsAreTheSheetsReadWhole)
{
    const std::filesystem::path folder =
        std::filesystem::path(SHEETFRAY_SHARED_TESTDATA) / "workbooks";
    if (!std::filesystem::is_directory(folder)) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    int banded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".ods") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        std::string failure;
        std::unique_ptr<engine::Workbook> whole;
        try {
            whole = openWorkbookFile(entry.path());
        } catch (const ReadError& e) {
            failure = e.what();
        }
        try {
            const auto inBands = openInBands(entry.path(), {.wholeCells = 0, .bandCells = 3});
            ASSERT_TRUE(whole) << "read in bands, but whole: " << failure;
            ASSERT_EQ(inBands->sheetCount(), whole->sheetCount());
            for (std::int32_t sheet = 1; sheet <= whole->sheetCount(); ++sheet) {
                SCOPED_TRACE(whole->sheetName(sheet));
                EXPECT_EQ(inBands->isSheetHidden(sheet), whole->isSheetHidden(sheet));
                int count = 0;
                EXPECT_EQ(partsDifference(
                              *inBands->loadSheetInParts(sheet), whole->loadSheet(sheet), count),
                          "");
                banded += count > 1 ? 1 : 0;
            }
        } catch (const ReadError& e) {
            EXPECT_EQ(e.what(), failure);
        }
    }
    EXPECT_GT(banded, 3);
}

TEST(OdsReader, CoveredCellsCountOnlyWithContent)
{
    OdsBuilder b;
    b.addTable(
        "Sheet1",
        row(R"(<table:table-cell table:number-columns-spanned="2" office:value-type="string">)"
            R"(<text:p>merged</text:p></table:table-cell><table:covered-table-cell/>)")
            + row(R"(<table:covered-table-cell office:value-type="float" office:value="7">)"
                  R"(<text:p>7</text:p></table:covered-table-cell>)"));
    TempDir dir;
    const engine::Sheet sheet = open(b, dir)->loadSheet(1);
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{2, 1}));
    EXPECT_EQ(sheet.text(2, 1), "7");
}

TEST(OdsReader, SheetsInOrderHiddenOnesIncluded)
{
    OdsBuilder b;
    b.setAutomaticStyles(R"(<style:style style:name="ta2" style:family="table">)"
                         R"(<style:table-properties table:display="false"/></style:style>)");
    b.addTable("Visible", row(R"(<table:table-cell><text:p>v</text:p></table:table-cell>)"));
    b.addTable("Скрытый",
               row(R"(<table:table-cell><text:p>h</text:p></table:table-cell>)"),
               R"(table:style-name="ta2")");
    b.addTable("Empty", "");
    TempDir dir;
    auto book = open(b, dir);
    ASSERT_EQ(book->sheetCount(), 3);
    EXPECT_EQ(book->name(), "book.ods");
    EXPECT_EQ(book->sheetName(2), "Скрытый");
    EXPECT_EQ(book->loadSheet(2).text(1, 1), "h");
    EXPECT_TRUE(book->loadSheet(3).cells().empty());
}

// Some writers leave the mimetype entry out: the manifest's root entry, or without a
// manifest the content part, tells an OpenDocument package and its kind.
TEST(OdsReader, PackageWithoutMimetypeIsToldByManifestOrContent)
{
    const auto book = [] {
        OdsBuilder b;
        b.addTable("Sheet1", row(R"(<table:table-cell><text:p>x</text:p></table:table-cell>)"));
        b.removePart("mimetype");
        return b;
    };
    TempDir dir;
    EXPECT_EQ(open(book(), dir)->loadSheet(1).text(1, 1), "x");
    EXPECT_EQ(open(book().removePart("META-INF/manifest.xml"), dir)->loadSheet(1).text(1, 1), "x");

    const std::string textManifest =
        R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
        R"(<manifest:file-entry manifest:full-path="/" )"
        R"(manifest:media-type="application/vnd.oasis.opendocument.text"/></manifest:manifest>)";
    EXPECT_NE(failure(book().setPart("META-INF/manifest.xml", textManifest))
                  .find(R"("application/vnd.oasis.opendocument.text" document)"),
              std::string::npos);
    const std::string textContent =
        R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0">)"
        R"(<office:body><office:text/></office:body></office:document-content>)";
    EXPECT_NE(
        failure(book().removePart("META-INF/manifest.xml").setPart("content.xml", textContent))
            .find(R"("application/vnd.oasis.opendocument.text" document)"),
        std::string::npos);
}

TEST(OdsReader, DateStylesFromStylesPartApply)
{
    OdsBuilder b;
    b.setStyles(R"(<number:time-style style:name="N9" number:truncate-on-overflow="false">)"
                R"(<number:hours/><number:text>:</number:text>)"
                R"(<number:minutes number:style="long"/></number:time-style>)");
    b.setAutomaticStyles(
        R"(<style:style style:name="ce9" style:family="table-cell" style:data-style-name="N9"/>)");
    b.addTable("Sheet1",
               row(R"(<table:table-cell table:style-name="ce9" office:value-type="time" )"
                   R"(office:time-value="P1DT2H30M"><text:p>26:30</text:p></table:table-cell>)"));
    TempDir dir;
    const engine::Sheet sheet = open(b, dir)->loadSheet(1);
    EXPECT_EQ(sheet.value(1, 1).kind, CellValue::Kind::Date);
    EXPECT_DOUBLE_EQ(sheet.value(1, 1).number, 26.5 / 24);
    EXPECT_EQ(sheet.text(1, 1), "26:30");
}

struct BadOds
{
    const char* name;
    std::string part;
    std::string content; // empty: the part is removed
    const char* reason;
};

// Names the case in a failure message.
void PrintTo(const BadOds& c, std::ostream* os)
{
    *os << c.name << ": " << c.part;
}

class OdsBadFile : public ::testing::TestWithParam<BadOds>
{};

TEST_P(OdsBadFile, FailsWithReadErrorNamingFileAndReason)
{
    OdsBuilder b;
    b.addTable("Sheet1", row(R"(<table:table-cell><text:p>x</text:p></table:table-cell>)"));
    const BadOds& c = GetParam();
    if (c.content.empty()) {
        b.removePart(c.part);
    } else {
        b.setPart(c.part, c.content);
    }
    const std::string message = failure(b);
    EXPECT_NE(message.find("\"book.ods\""), std::string::npos) << message;
    EXPECT_NE(message.find(c.reason), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(
    Damaged,
    OdsBadFile,
    ::testing::Values(
        BadOds{
            "Encrypted",
            "META-INF/manifest.xml",
            R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
            R"(<manifest:file-entry manifest:full-path="content.xml"><manifest:encryption-data/>)"
            R"(</manifest:file-entry></manifest:manifest>)",
            "password-protected"},
        BadOds{"TextDocument",
               "mimetype",
               "application/vnd.oasis.opendocument.text",
               "not a spreadsheet file"},
        BadOds{
            "MalformedContent", "content.xml", "<office:document-content><table:table>", "damaged"},
        BadOds{"NoContentPart", "content.xml", "", "damaged"}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace sheetfray::testing
