#include "engine/readers/FileHost.h"
#include "engine/readers/SheetBands.h"
#include "support/Error.h"
#include "tests/builders/XlsxBuilder.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define SHEETFRAY_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SHEETFRAY_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef SHEETFRAY_ADDRESS_SANITIZER
#define SHEETFRAY_ADDRESS_SANITIZER 0
#endif

namespace sheetfray::engine::readers {
namespace {

using testing::SheetState;
using testing::TempDir;
using testing::XlsxBuilder;

std::unique_ptr<Workbook>
openBuilt(const TempDir& dir, const XlsxBuilder& builder, const std::string& name = "book.xlsx")
{
    const auto path = dir.path() / name;
    builder.save(path);
    return openWorkbookFile(path);
}

// The message of the ReadError that f throws, or "" when it throws none.
template <typename F>
std::string readErrorOf(F&& f)
{
    try {
        f();
    } catch (const ReadError& e) {
        return e.what();
    }
    return "";
}

struct CellCase
{
    const char* name;
    const char* cellXml; // the <c> element at A1
    CellValue::Kind kind;
    const char* text; // the value's text (texts, errors) or "" for numbers
    double number;
};

// Names the case in a failure message.
void PrintTo(const CellCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.cellXml;
}

class CellKinds : public ::testing::TestWithParam<CellCase>
{};

TEST_P(CellKinds, ReadsTheStoredValue)
{
    const CellCase& c = GetParam();
    TempDir dir;
    XlsxBuilder builder;
    builder.setSharedStrings({"Name", "Qty & more"});
    builder.addSheet("Sheet1", std::string("<row r=\"1\">") + c.cellXml + "</row>");
    const auto workbook = openBuilt(dir, builder);
    const Sheet sheet = workbook->loadSheet(1);

    if (c.kind != CellValue::Kind::Empty) {
        ASSERT_NE(sheet.find(1, 1), nullptr) << "the cell is stored";
    }
    const CellValue value = sheet.value(1, 1);
    EXPECT_EQ(value.kind, c.kind);
    if (c.kind == CellValue::Kind::Number || c.kind == CellValue::Kind::Date) {
        EXPECT_DOUBLE_EQ(value.number, c.number);
    } else if (c.kind == CellValue::Kind::Boolean) {
        EXPECT_EQ(value.boolean, c.number != 0);
    } else {
        EXPECT_EQ(value.text, c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Xlsx,
    CellKinds,
    ::testing::Values(
        CellCase{"SharedString",
                 R"(<c r="A1" t="s"><v>1</v></c>)",
                 CellValue::Kind::Text,
                 "Qty & more",
                 0},
        CellCase{"InlineString",
                 R"(<c r="A1" t="inlineStr"><is><t>Pen</t></is></c>)",
                 CellValue::Kind::Text,
                 "Pen",
                 0},
        CellCase{
            "InlineRichText",
            R"(<c r="A1" t="inlineStr"><is><r><rPr><b/></rPr><t>Pe</t></r><r><t xml:space="preserve">n </t></r></is></c>)",
            CellValue::Kind::Text,
            "Pen ",
            0},
        CellCase{"FormulaString",
                 R"(<c r="A1" t="str"><f>"a"&amp;"b"</f><v>ab</v></c>)",
                 CellValue::Kind::Text,
                 "ab",
                 0},
        CellCase{"FormulaStringEscape",
                 R"(<c r="A1" t="str"><v>a_x000D_b</v></c>)",
                 CellValue::Kind::Text,
                 "a\rb",
                 0},
        CellCase{"BooleanTrue", R"(<c r="A1" t="b"><v>1</v></c>)", CellValue::Kind::Boolean, "", 1},
        CellCase{"BooleanFalse",
                 R"(<c r="A1" t="b"><f>1=2</f><v>0</v></c>)",
                 CellValue::Kind::Boolean,
                 "",
                 0},
        CellCase{"Error",
                 R"(<c r="A1" t="e"><f>NA()</f><v>#N/A</v></c>)",
                 CellValue::Kind::Error,
                 "#N/A",
                 0},
        CellCase{"NumberUntyped", R"(<c r="A1"><v>1.5</v></c>)", CellValue::Kind::Number, "", 1.5},
        CellCase{"NumberTyped",
                 R"(<c r="A1" t="n"><v>-2.5E-3</v></c>)",
                 CellValue::Kind::Number,
                 "",
                 -0.0025},
        CellCase{
            "NumberWithSpaces", "<c r=\"A1\"><v>\n 42 </v></c>", CellValue::Kind::Number, "", 42},
        CellCase{"CachedFormulaResult",
                 R"(<c r="A1"><f>1+1</f><v>2</v></c>)",
                 CellValue::Kind::Number,
                 "",
                 2},
        CellCase{"BlankWithStyle", R"(<c r="A1" s="1"/>)", CellValue::Kind::Empty, "", 0},
        CellCase{"UncalculatedFormula",
                 R"(<c r="A1" t="str"><f>A2</f></c>)",
                 CellValue::Kind::Empty,
                 "",
                 0},
        CellCase{"IsoDate",
                 R"(<c r="A1" t="d"><v>2021-01-01</v></c>)",
                 CellValue::Kind::Number,
                 "",
                 44197},
        CellCase{"IsoDateTime",
                 R"(<c r="A1" t="d"><v>2021-01-01T12:00:00</v></c>)",
                 CellValue::Kind::Number,
                 "",
                 44197.5}),
    [](const auto& row) { return std::string(row.param.name); });

// ECMA-376 Part 1, 22.9.2.19: "_xHHHH_" is one UTF-16 code unit.
struct EscapeCase
{
    const char* name;
    const char* stored;
    const char* text;
};

// Names the case in a failure message.
void PrintTo(const EscapeCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.stored;
}

class StringEscapes : public ::testing::TestWithParam<EscapeCase>
{};

TEST_P(StringEscapes, DecodeAsTheStandardSays)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.setSharedStringsXml(std::string("<si><t>") + GetParam().stored + "</t></si>");
    builder.addSheet("Sheet1", R"(<row r="1"><c r="A1" t="s"><v>0</v></c></row>)");
    const auto workbook = openBuilt(dir, builder);
    EXPECT_EQ(workbook->loadSheet(1).text(1, 1), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Xlsx,
    StringEscapes,
    ::testing::Values(EscapeCase{"CarriageReturn", "Split_x000D_\nLine", "Split\r\nLine"},
                      EscapeCase{"EscapedUnderscore", "a_x005F_x0041_b", "a_x0041_b"},
                      EscapeCase{"LowerCaseHex", "caf_x00e9_", "caf\xC3\xA9"},
                      EscapeCase{"SurrogatePair", "_xD83D__xDE00_", "\xF0\x9F\x98\x80"},
                      EscapeCase{"LoneSurrogate",
                                 "a_xD83D_b",
                                 "a\xEF\xBF\xBD"
                                 "b"},
                      EscapeCase{"TooFewDigits", "_x41_", "_x41_"},
                      EscapeCase{"CapitalX", "_X0041_", "_X0041_"},
                      EscapeCase{"Unterminated", "_x0041", "_x0041"},
                      EscapeCase{"AtTheEnd", "ab_x0009_", "ab\t"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XlsxReader, JoinsRichTextRunsAndSkipsPhoneticRuns)
{
    TempDir dir;
    XlsxBuilder builder;
    // A plain <t> before rich runs is part of the text too (calamine richtext-after-plain).
    builder.setSharedStringsXml(
        R"(<si><t>plain </t><r><rPr><b/></rPr><t>bold</t></r><r><t xml:space="preserve"> end</t></r></si>)"
        R"(<si><r><t>東京</t></r><rPh sb="0" eb="2"><t>トウキョウ</t></rPh><phoneticPr fontId="1"/></si>)");
    builder.addSheet(
        "Sheet1", R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>)");
    const Sheet sheet = openBuilt(dir, builder)->loadSheet(1);
    EXPECT_EQ(sheet.text(1, 1), "plain bold end");
    EXPECT_EQ(sheet.text(1, 2), "東京");
}

TEST(XlsxReader, ListsSheetsInWorkbookOrderWithHiddenOnes)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.addTableSheet("Visible", {{"a"}});
    builder.addTableSheet("Hidden", {{"b"}});
    builder.addChartSheet("Chart1");
    builder.addSheet("Very & hidden", "", SheetState::VeryHidden);
    builder.addDialogSheet("Dialog1");
    // A chart sheet behind a worksheet relationship is told by its root element.
    builder.addSheetDocument("Chart2", "<chartsheet/>");
    const auto workbook = openBuilt(dir, builder, "q3.xlsx");

    EXPECT_EQ(workbook->name(), "q3.xlsx");
    ASSERT_EQ(workbook->sheetCount(), 6);
    EXPECT_EQ(workbook->sheetName(1), "Visible");
    EXPECT_EQ(workbook->sheetName(2), "Hidden");
    EXPECT_EQ(workbook->sheetName(3), "Chart1");
    EXPECT_EQ(workbook->sheetName(4), "Very & hidden");
    EXPECT_EQ(workbook->sheetName(5), "Dialog1");
    EXPECT_EQ(workbook->loadSheet(2).text(1, 1), "b");

    const std::string chart = readErrorOf([&] { (void)workbook->loadSheet(3); });
    EXPECT_NE(chart.find("\"Chart1\""), std::string::npos) << chart;
    EXPECT_NE(chart.find("\"q3.xlsx\""), std::string::npos) << chart;
    EXPECT_NE(chart.find("chart sheet"), std::string::npos) << chart;
    EXPECT_NE(readErrorOf([&] { (void)workbook->loadSheet(5); }).find("dialog sheet"),
              std::string::npos);
    // Sheets without cells by nature have an error type of their own, unlike damage.
    for (const std::int32_t index : {3, 5, 6}) {
        EXPECT_THROW((void)workbook->loadSheet(index), SheetWithoutCells) << index;
    }
    EXPECT_EQ(workbook->loadSheet(4).cells().size(), 0u);
}

TEST(XlsxReader, UsedRangeComesFromTheCellsNotTheStoredDimension)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.addSheetDocument(
        "Sheet1",
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
        R"(<dimension ref="A1:B1"/><sheetData>)"
        R"(<row r="3"><c r="C3"><v>1</v></c></row>)"
        R"(<row r="7"><c r="E7" s="1"/></row>)"
        R"(</sheetData></worksheet>)");
    const Sheet sheet = openBuilt(dir, builder)->loadSheet(1);
    EXPECT_EQ(sheet.usedRange().lastRow, 7);
    EXPECT_EQ(sheet.usedRange().lastColumn, 5);
}

#if !SHEETFRAY_ADDRESS_SANITIZER
// Whether loading the first sheet of the workbook at path succeeds in a child process whose
// address space may grow by only 128 MiB.
bool loadsInLittleMemory(const std::filesystem::path& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::ifstream statm("/proc/self/statm");
        std::uint64_t pages = 0;
        statm >> pages;
        const auto size = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        const rlimit limit{size + (128u << 20), size + (128u << 20)};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) {
            ::_exit(2);
        }
        try {
            const Sheet sheet = openWorkbookFile(path)->loadSheet(1);
            ::_exit(sheet.cells().empty() ? 0 : 3);
        } catch (...) {
            ::_exit(1);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Ten million empty cells, or empty shared strings, fit in a part of some 40 MB that deflates
// to a few hundred kilobytes; they must not take memory by the cell.
TEST(XlsxReader, EmptyCellsAndSharedStringsTakeNoMemoryEach)
{
    TempDir dir;
    std::string row = "<row>";
    for (int i = 0; i < 16384; ++i) {
        row += "<c/>";
    }
    row += "</row>";
    std::string rows;
    for (int i = 0; i < 610; ++i) {
        rows += row;
    }
    XlsxBuilder cells;
    cells.addSheet("Sheet1", rows);
    cells.save(dir.path() / "cells.xlsx");
    std::string items;
    items.reserve(50'000'000);
    for (int i = 0; i < 10'000'000; ++i) {
        items += "<si/>";
    }
    XlsxBuilder strings;
    strings.setSharedStringsXml(std::move(items));
    strings.addSheet("Sheet1", "");
    strings.save(dir.path() / "strings.xlsx");

    EXPECT_TRUE(loadsInLittleMemory(dir.path() / "cells.xlsx"));
    EXPECT_TRUE(loadsInLittleMemory(dir.path() / "strings.xlsx"));
}
#endif

TEST(XlsxReader, PlacesCellsWithoutReferencesByCounting)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.addSheet("Sheet1",
                     R"(<row r="2"><c><v>1</v></c><c><v>2</v></c></row>)"
                     R"(<row><c r="D3"><v>3</v></c><c><v>4</v></c></row>)"
                     R"(<row><c><v>5</v></c></row>)");
    const Sheet sheet = openBuilt(dir, builder)->loadSheet(1);
    EXPECT_EQ(sheet.text(2, 1), "1");
    EXPECT_EQ(sheet.text(2, 2), "2");
    EXPECT_EQ(sheet.text(3, 4), "3");
    EXPECT_EQ(sheet.text(3, 5), "4");
    EXPECT_EQ(sheet.text(4, 1), "5");
    EXPECT_EQ(sheet.cells().size(), 5u);
}

TEST(XlsxReader, CountsFormulasStoredWithoutTheirResult)
{
    TempDir dir;
    XlsxBuilder builder;
    // As scripts write them: an empty <v>, or none after a shared formula's reference. An
    // empty text result (t="str") is a result.
    builder.addSheet(
        "Sheet1",
        R"(<row r="1"><c r="A1"><v>1</v></c><c r="B1"><f>A1*2</f><v>2</v></c></row>)"
        R"(<row r="2"><c r="A2"><f t="shared" ref="A2:A3" si="0">SUM(A1:B1)</f><v></v></c></row>)"
        R"(<row r="3"><c r="A3" s="1"><f t="shared" si="0"/></c>)"
        R"(<c r="B3" t="str"><f>""</f><v></v></c><c r="C3" s="1"/></row>)");
    const Sheet sheet = openBuilt(dir, builder)->loadSheet(1);
    EXPECT_EQ(sheet.formulasWithoutResult(), 2u);
    // Read as ever: blank cells, which count for the used range.
    EXPECT_EQ(sheet.value(2, 1).kind, CellValue::Kind::Empty);
    EXPECT_EQ(sheet.value(3, 2).kind, CellValue::Kind::Text);
    EXPECT_EQ(sheet.usedRange(), (UsedRange{3, 3}));
}

struct DateSystemCase
{
    const char* name;
    const char* workbookPr; // inside <workbook>, before <sheets>
    format::DateSystem system;
    double serialOf19040102; // the serial a t="d" cell of 1904-01-02 gets
};

// Names the case in a failure message.
void PrintTo(const DateSystemCase& c, std::ostream* os)
{
    *os << c.name;
}

class DateSystems : public ::testing::TestWithParam<DateSystemCase>
{};

TEST_P(DateSystems, FollowTheWorkbookFlag)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.addSheet("Sheet1", R"(<row r="1"><c r="A1" t="d"><v>1904-01-02</v></c></row>)");
    builder.setPart(
        "xl/workbook.xml",
        std::string(
            R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main")"
            R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)")
            + GetParam().workbookPr
            + R"(<sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>)");
    const Sheet sheet = openBuilt(dir, builder)->loadSheet(1);
    EXPECT_EQ(sheet.styles().dateSystem, GetParam().system);
    EXPECT_DOUBLE_EQ(sheet.value(1, 1).number, GetParam().serialOf19040102);
}

INSTANTIATE_TEST_SUITE_P(
    Xlsx,
    DateSystems,
    ::testing::Values(
        DateSystemCase{"NoFlag", "", format::DateSystem::Date1900, 1463},
        DateSystemCase{"One", R"(<workbookPr date1904="1"/>)", format::DateSystem::Date1904, 1},
        DateSystemCase{"True", R"(<workbookPr date1904="true"/>)", format::DateSystem::Date1904, 1},
        DateSystemCase{"Zero", R"(<workbookPr date1904="0"/>)", format::DateSystem::Date1900, 1463},
        // An extension's workbookPr is not the workbook's.
        DateSystemCase{
            "ExtensionOnly",
            R"(<extLst><ext><x15:workbookPr xmlns:x15="urn:x15" date1904="1"/></ext></extLst>)",
            format::DateSystem::Date1900,
            1463}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XlsxReader, GivesEachStyleTheFormatOfItsCellXfsEntry)
{
    if (format::NumberFormat::compile("0.00").isGeneral()) {
        GTEST_SKIP() << "the number-format engine does not compile codes yet";
    }
    TempDir dir;
    XlsxBuilder builder;
    // cellStyleXfs and dxfs also hold format ids; only cellXfs numbers the cell styles.
    builder.setPart(
        "xl/styles.xml",
        R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
        R"(<numFmts count="2"><numFmt numFmtId="164" formatCode="0.00"/>)"
        R"(<numFmt numFmtId="165" formatCode="yyyy\-mm\-dd"/></numFmts>)"
        R"(<cellStyleXfs count="2"><xf numFmtId="165"/><xf numFmtId="165"/></cellStyleXfs>)"
        R"(<cellXfs count="3"><xf numFmtId="0" xfId="0"/><xf numFmtId="164" xfId="1"/>)"
        R"(<xf numFmtId="165" xfId="0"/><xf xfId="0"/></cellXfs>)"
        R"(<dxfs count="1"><dxf><numFmt numFmtId="166" formatCode="0%"/></dxf></dxfs>)"
        R"(</styleSheet>)");
    builder.addSheet("Sheet1",
                     R"(<row r="1"><c r="A1"><v>1.5</v></c><c r="B1" s="1"><v>1.5</v></c>)"
                     R"(<c r="C1" s="2"><v>44197</v></c><c r="D1" s="3"><v>1.5</v></c></row>)");
    builder.setNumberFormats({"0.00"}); // makes the builder add the styles relationship
    const Sheet sheet = openBuilt(dir, builder)->loadSheet(1);
    EXPECT_EQ(sheet.text(1, 1), "1.5");
    EXPECT_EQ(sheet.text(1, 2), "1.50");
    EXPECT_EQ(sheet.text(1, 3), "2021-01-01");
    EXPECT_EQ(sheet.value(1, 3).kind, CellValue::Kind::Date);
    EXPECT_EQ(sheet.text(1, 4), "1.5");
}

// Package shapes other writers produce: where the parts lie and how they are named.
struct PackageCase
{
    const char* name;
    void (*shape)(XlsxBuilder&);
};

// Names the case in a failure message.
void PrintTo(const PackageCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackageShapes : public ::testing::TestWithParam<PackageCase>
{};

TEST_P(PackageShapes, StillReadTheSheet)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.addTableSheet("Data", {{"Name", "Qty"}, {"Pen", 3}});
    GetParam().shape(builder);
    const auto workbook = openBuilt(dir, builder);
    ASSERT_EQ(workbook->sheetCount(), 1);
    const Sheet sheet = workbook->loadSheet(1);
    EXPECT_EQ(sheet.text(1, 2), "Qty");
    EXPECT_EQ(sheet.text(2, 1), "Pen");
    EXPECT_EQ(sheet.value(2, 2).number, 3);
}

const char* const RelationshipsStart =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
const char* const WorksheetType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
const char* const StringsType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";

INSTANTIATE_TEST_SUITE_P(
    Xlsx,
    PackageShapes,
    ::testing::Values(
        PackageCase{"AsBuilt", [](XlsxBuilder&) {}},
        PackageCase{"AbsoluteTargets",
                    [](XlsxBuilder& b) {
                        b.setPart("xl/_rels/workbook.xml.rels",
                                  std::string(RelationshipsStart)
                                      + "<Relationship Id=\"rId1\" Type=\"" + WorksheetType
                                      + "\" Target=\"/xl/worksheets/sheet1.xml\"/><Relationship "
                                        "Id=\"rId2\" Type=\""
                                      + StringsType
                                      + "\" Target=\"/xl/sharedStrings.xml\"/></Relationships>");
                    }},
        PackageCase{"ClimbingTargets",
                    [](XlsxBuilder& b) {
                        b.setPart("xl/_rels/workbook.xml.rels",
                                  std::string(RelationshipsStart)
                                      + "<Relationship Id=\"rId1\" Type=\"" + WorksheetType
                                      + "\" Target=\"./worksheets/../worksheets/sheet1.xml\"/>"
                                        "<Relationship Id=\"rId2\" Type=\""
                                      + StringsType
                                      + "\" Target=\"../xl/sharedStrings.xml\"/></Relationships>");
                    }},
        PackageCase{
            "WorkbookElsewhere",
            [](XlsxBuilder& b) {
                // The package relationship names the workbook; its own relationships
                // lie beside it and resolve from its folder.
                b.removePart("xl/workbook.xml");
                b.setPart(
                    "book/main.xml",
                    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="Data" sheetId="1" r:id="rId1"/></sheets></workbook>)");
                b.setPart("book/_rels/main.xml.rels",
                          std::string(RelationshipsStart) + "<Relationship Id=\"rId1\" Type=\""
                              + WorksheetType
                              + "\" Target=\"../xl/worksheets/sheet1.xml\"/><Relationship "
                                "Id=\"rId2\" Type=\""
                              + StringsType
                              + "\" Target=\"../xl/sharedStrings.xml\"/></Relationships>");
                b.setPart(
                    "_rels/.rels",
                    std::string(RelationshipsStart)
                        + R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/book/main.xml"/></Relationships>)");
            }},
        PackageCase{"NoPackageRelationships", [](XlsxBuilder& b) { b.removePart("_rels/.rels"); }},
        PackageCase{
            "BackslashEntryNames",
            [](XlsxBuilder& b) {
                b.removePart("xl/worksheets/sheet1.xml");
                b.setPart(
                    "xl\\worksheets\\Sheet1.xml",
                    XlsxBuilder::worksheetDocument(
                        R"(<row r="1"><c r="B1" t="s"><v>1</v></c></row>)"
                        R"(<row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>3</v></c></row>)"));
            }},
        PackageCase{
            "PrefixedElements",
            [](XlsxBuilder& b) {
                b.setPart(
                    "xl/worksheets/sheet1.xml",
                    R"(<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData>)"
                    R"(<x:row r="1"><x:c r="B1" t="s"><x:v>1</x:v></x:c></x:row>)"
                    R"(<x:row r="2"><x:c r="A2" t="s"><x:v>2</x:v></x:c><x:c r="B2"><x:v>3</x:v></x:c></x:row>)"
                    R"(</x:sheetData></x:worksheet>)");
            }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XlsxReader, ShowsASheetWithoutARelationshipAsEmpty)
{
    // ExcelDataReader issue 68: a very hidden sheet whose r:id is empty.
    TempDir dir;
    XlsxBuilder builder;
    builder.addTableSheet("Sheet1", {{1}});
    builder.setPart(
        "xl/workbook.xml",
        R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)"
        R"(<sheet name="Sheet1" sheetId="1" r:id="rId1"/><sheet name=" " sheetId="2" state="veryHidden" r:id=""/>)"
        R"(<sheet name="Gone" sheetId="3" r:id="rId99"/></sheets></workbook>)");
    const auto workbook = openBuilt(dir, builder);
    ASSERT_EQ(workbook->sheetCount(), 3);
    EXPECT_EQ(workbook->sheetName(2), " ");
    EXPECT_TRUE(workbook->loadSheet(2).cells().empty());
    EXPECT_TRUE(workbook->loadSheet(3).cells().empty());
}

struct BadPartCase
{
    std::string name;
    std::string part;
    std::string content;
    std::string expected; // a piece of the message
};

// Names the case in a failure message.
void PrintTo(const BadPartCase& c, std::ostream* os)
{
    *os << c.name << ": " << c.part;
}

class BadParts : public ::testing::TestWithParam<BadPartCase>
{};

TEST_P(BadParts, GiveAReadErrorNamingTheFile)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.setSharedStrings({"only"});
    builder.addSheet("Data", R"(<row r="1"><c r="A1"><v>1</v></c></row>)");
    builder.setPart(GetParam().part, GetParam().content);
    const std::string message = readErrorOf([&] {
        const auto workbook = openBuilt(dir, builder, "q3.xlsx");
        (void)workbook->loadSheet(1);
    });
    EXPECT_NE(message.find("\"q3.xlsx\""), std::string::npos) << message;
    EXPECT_NE(message.find(GetParam().expected), std::string::npos) << message;
}

std::string sheetRows(const std::string& rows)
{
    return XlsxBuilder::worksheetDocument(rows);
}

INSTANTIATE_TEST_SUITE_P(
    Xlsx,
    BadParts,
    ::testing::Values(
        BadPartCase{"MalformedXml",
                    "xl/worksheets/sheet1.xml",
                    "<worksheet>\n<sheetData>\n<row></sheetData>",
                    "xl/worksheets/sheet1.xml: mismatched tag at line 3"},
        BadPartCase{
            "Doctype",
            "xl/workbook.xml",
            R"(<?xml version="1.0"?><!DOCTYPE workbook [<!ENTITY a "aaaaaaaaaa">]><workbook/>)",
            "document type declaration"},
        BadPartCase{
            "EntityExpansion",
            "xl/sharedStrings.xml",
            R"(<!DOCTYPE sst [<!ENTITY a "aaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]>)"
            R"(<sst><si><t>&b;</t></si></sst>)",
            "document type declaration"},
        BadPartCase{
            "UndeclaredEntity",
            "xl/worksheets/sheet1.xml",
            "<worksheet><sheetData><row><c t=\"str\"><v>&x;</v></c></row></sheetData></worksheet>",
            "undefined entity"},
        BadPartCase{"NotANumber",
                    "xl/worksheets/sheet1.xml",
                    sheetRows(R"(<row r="1"><c r="B1"><v>12abc</v></c></row>)"),
                    "cell B1 holds \"12abc\", which is not a number"},
        BadPartCase{"InfiniteNumber",
                    "xl/worksheets/sheet1.xml",
                    sheetRows(R"(<row r="1"><c r="A1"><v>inf</v></c></row>)"),
                    "not a number"},
        BadPartCase{"MissingSharedString",
                    "xl/worksheets/sheet1.xml",
                    sheetRows(R"(<row r="1"><c r="A1" t="s"><v>1</v></c></row>)"),
                    "not a shared string"},
        BadPartCase{"BadDate",
                    "xl/worksheets/sheet1.xml",
                    sheetRows(R"(<row r="1"><c r="A1" t="d"><v>2021-02-30</v></c></row>)"),
                    "not a date"},
        BadPartCase{"RowZero",
                    "xl/worksheets/sheet1.xml",
                    sheetRows(R"(<row r="1"><c r="A0"><v>1</v></c></row>)"),
                    "reference \"A0\""},
        BadPartCase{"BeyondTheLastColumn",
                    "xl/worksheets/sheet1.xml",
                    sheetRows(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"),
                    "reference \"XFE1\""},
        BadPartCase{"BeyondTheLastRow",
                    "xl/worksheets/sheet1.xml",
                    sheetRows(R"(<row r="1048577"><c><v>1</v></c></row>)"),
                    "row is numbered \"1048577\""},
        BadPartCase{"TooManyRows",
                    "xl/worksheets/sheet1.xml",
                    sheetRows([] {
                        std::string rows;
                        for (int row = 0; row <= MaxRows; ++row) {
                            rows += "<row/>";
                        }
                        return rows;
                    }()),
                    "more rows than a sheet holds"},
        BadPartCase{"NotAWorkbook",
                    "xl/workbook.xml",
                    R"(<document xmlns="urn:word"/>)",
                    "not a spreadsheet file"}),
    [](const auto& row) { return row.param.name; });

TEST(XlsxReader, NamesTheSheetWhosePartIsMissing)
{
    TempDir dir;
    XlsxBuilder builder;
    builder.addSheet("Data", "");
    builder.removePart("xl/worksheets/sheet1.xml");
    const auto workbook = openBuilt(dir, builder);
    const std::string message = readErrorOf([&] { (void)workbook->loadSheet(1); });
    EXPECT_NE(message.find("sheet \"Data\""), std::string::npos) << message;
    EXPECT_NE(message.find("xl/worksheets/sheet1.xml is missing"), std::string::npos) << message;
}

// What a reader that reads a sheet twice hands the walks: the first reading's tally must be
// the summary of the sheet read whole, and the bands of the second, end to end, its cells.
// The rows are cut where a cell stored twice and a cell cleared by an empty one meet the
// band's end.
TEST(SheetBands, JoinedBandsAreTheSheetReadWhole)
{
    const auto feed = [](SheetBuilder& builder, RowBands* bands) {
        const auto before = [&](std::int32_t row) {
            if (bands) {
                bands->beforeCell(row);
            }
        };
        for (std::int32_t row = 1; row <= 20000; ++row) {
            for (std::int32_t column = 10; column >= 1; --column) { // each row backwards
                before(row);
                if (column == 3) {
                    builder.addBlank(row, column, 1);
                } else {
                    builder.addNumber(row, column, row * 100 + column, 0);
                }
            }
            before(row);
            builder.addText(row, 2, "again " + std::to_string(row), 0); // replaces B
            before(row);
            builder.addEmpty(row, 4); // clears D
            if (row % 1000 == 0) {
                before(row);
                builder.countFormulaWithoutResult();
            }
        }
        before(20001);
        builder.addEmpty(20001, 12); // widens the range only
    };
    SheetBuilder wholeBuilder("Data", nullptr);
    feed(wholeBuilder, nullptr);
    const Sheet whole = wholeBuilder.finish();
    const SheetSummary expected = summaryOf(whole);

    BandTally tally;
    SheetBuilder first("Data", nullptr);
    RowBands counting(first, tally.handOver());
    feed(first, &counting);
    counting.finish();
    EXPECT_EQ(tally.summary().usedRange, (UsedRange{20001, 12}));
    EXPECT_EQ(tally.summary().storedCells, expected.storedCells);
    EXPECT_EQ(tally.summary().valuedCells, expected.valuedCells);
    EXPECT_EQ(tally.summary().formulasWithoutResult, 20U);

    ThreadedSheetParts parts(tally.summary(), [&](const HandOver& handOver) {
        SheetBuilder second("Data", nullptr);
        RowBands bands(second, handOver, tally.summary().usedRange);
        feed(second, &bands);
        bands.finish();
    });
    std::size_t at = 0;
    int partCount = 0;
    while (const std::optional<Sheet> part = parts.next()) {
        ++partCount;
        EXPECT_EQ(part->usedRange(), whole.usedRange());
        for (const StoredCell& cell : part->cells()) {
            ASSERT_LT(at, whole.cells().size());
            const StoredCell& want = whole.cells()[at++];
            ASSERT_EQ(std::pair(cell.row, cell.column), std::pair(want.row, want.column));
            EXPECT_EQ(part->text(cell.row, cell.column), whole.text(want.row, want.column));
        }
    }
    EXPECT_EQ(at, whole.cells().size());
    EXPECT_GT(partCount, 1);
}

struct TallyCase
{
    const char* name;
    std::string rowsXml; // rows from row 2 on
    bool readWhole; // the sheet is read once, whole (or not at all, being damaged)
};

class Tallies : public ::testing::TestWithParam<TallyCase>
{};

// The first reading of a sheet read in parts counts what the sheet read whole holds. Row 1's
// long text makes a second band; 64 MiB of white space after the rows, stored uncompressed,
// make the sheet large enough to be read in parts.
TEST_P(Tallies, GiveTheSummaryOfTheSheetReadWhole)
{
    const TallyCase& tally = GetParam();
    TempDir dir;
    std::string rows = R"(<row r="1"><c r="A1" t="str"><v>)";
    rows.append(RowBands::BandBytes, 't');
    rows += "</v></c></row>";
    rows += tally.rowsXml;
    rows.append(std::size_t{64} << 20, ' ');
    XlsxBuilder builder;
    builder.setSharedStrings({"one", "two"});
    builder.addSheet("Data", std::move(rows));
    builder.save(dir.path() / "book.xlsx", "xl/worksheets/sheet1.xml");
    const auto workbook = openWorkbookFile(dir.path() / "book.xlsx");

    std::optional<Sheet> loaded;
    const std::string error = readErrorOf([&] { loaded = workbook->loadSheet(1); });
    if (!error.empty()) {
        // The first reading finds what the sheet read whole fails on.
        EXPECT_EQ(readErrorOf([&] { (void)workbook->loadSheetInParts(1); }), error);
        return;
    }
    const Sheet& whole = *loaded;
    SheetSummary expected = summaryOf(whole);
    if (!tally.readWhole) {
        const auto columns = static_cast<std::size_t>(whole.usedRange().lastColumn) + 1;
        expected.columnCells.resize(columns);
        expected.columnTextBytes.resize(columns);
        for (const StoredCell& cell : whole.cells()) {
            ++expected.columnCells[static_cast<std::size_t>(cell.column)];
            if (cell.kind == CellKind::Text || cell.kind == CellKind::Error) {
                expected.columnTextBytes[static_cast<std::size_t>(cell.column)] +=
                    whole.value(cell).text.size();
            }
        }
    }
    const std::unique_ptr<SheetParts> parts = workbook->loadSheetInParts(1);
    const SheetSummary& summary = parts->summary();
    EXPECT_EQ(summary.usedRange, expected.usedRange);
    EXPECT_EQ(summary.storedCells, expected.storedCells);
    EXPECT_EQ(summary.valuedCells, expected.valuedCells);
    EXPECT_EQ(summary.formulasWithoutResult, expected.formulasWithoutResult);
    EXPECT_EQ(summary.columnCells, expected.columnCells);
    EXPECT_EQ(summary.columnTextBytes, expected.columnTextBytes);

    std::size_t at = 0;
    int partCount = 0;
    while (const std::optional<Sheet> part = parts->next()) {
        ++partCount;
        for (const StoredCell& cell : part->cells()) {
            ASSERT_LT(at, whole.cells().size());
            const StoredCell& want = whole.cells()[at++];
            ASSERT_EQ(std::pair(cell.row, cell.column), std::pair(want.row, want.column));
            EXPECT_EQ(part->text(cell.row, cell.column), whole.text(want.row, want.column));
        }
    }
    EXPECT_EQ(at, whole.cells().size());
    EXPECT_EQ(partCount == 1, tally.readWhole);
}

INSTANTIATE_TEST_SUITE_P(
    XlsxReader,
    Tallies,
    ::testing::Values(
        TallyCase{"BlankStyledCells",
                  R"(<row r="2"><c r="A2" s="1"/><c r="C2" s="1"><v></v></c>)"
                  R"(<c r="E2"><v>5</v></c><c r="F2" t="s" s="1"><v> </v></c></row>)"
                  R"(<row r="3"><c r="H3" s="2"/></row>)",
                  false},
        TallyCase{"FormulasWithoutResults",
                  R"(<row r="2"><c r="B2"><f>1+1</f></c><c r="C2"><f>2</f><v></v></c>)"
                  R"(<c r="D2" t="str"><f>""</f><v></v></c><c r="E2" t="b"><f>1</f></c></row>)",
                  false},
        TallyCase{
            "InlineStringsAndTexts",
            R"(<row r="2"><c r="A2" t="inlineStr"><is><t>ab</t></is></c>)"
            R"(<c r="B2" t="inlineStr"><is><r><t>c</t></r><rPh><t>x</t></rPh></is></c>)"
            R"(<c r="C2" t="inlineStr"/><c r="D2" t="inlineStr"><v>_x0041_b</v></c>)"
            R"(<c r="E2" t="e"><v> #N/A </v></c><c r="F2" t="s"><v>1</v></c>)"
            R"(<c r="G2" t="str"><v>_x0041__x0042_</v></c><c r="H2" t="d"><v>2024-01-02</v></c>)"
            R"(<c r="I2" t="x"><v></v></c></row>)",
            false},
        TallyCase{"CellsStoredTwiceOrCleared",
                  R"(<row r="2"><c r="C2"><v>1</v></c><c r="A2"><v>2</v></c><c r="C2"/>)"
                  R"(<c r="A2" t="e"><v>#N/A</v></c><c r="B2"><v>3</v></c><c r="B2"/>)"
                  R"(<c r="D2"><v>4</v></c><c r="B2" t="inlineStr"><is><t>b</t></is></c></row>)"
                  R"(<row r="3"><c r="A3"><v>1</v></c><c r="B3"><v>1</v></c></row>)"
                  R"(<row r="3"><c r="A3" t="s"><v>0</v></c><c r="B3"/></row>)",
                  false},
        TallyCase{
            "RowsWithoutNumbers",
            R"(<row><c><v>1</v></c><c><v>2</v></c></row>)"
            R"(<row><c r="D4"><v>3</v></c><c><v>4</v></c></row><row><c/><c><v>5</v></c></row>)",
            false},
        TallyCase{"EmptyRows",
                  R"(<row r="2"/><row r="4"><c r="B4"><v>1</v></c></row><row r="5"></row>)"
                  R"(<row r="9" spans="1:3"/>)",
                  false},
        TallyCase{"NumbersOfEveryForm",
                  R"(<row r="2"><c r="A2"><v> 1e5 </v></c><c r="B2"><v>+3</v></c>)"
                  R"(<c r="C2"><v>007</v></c><c r="D2"><v>-0.25</v></c><c r="E2"><v>)"
                      + std::string(300, '9') + "</v></c></row>",
                  false},
        TallyCase{"NumberTooLarge", R"(<row r="2"><c r="A2"><v>1e400</v></c></row>)", true},
        TallyCase{"IntegerTooLong",
                  R"(<row r="2"><c r="A2"><v>)" + std::string(310, '9') + "</v></c></row>",
                  true},
        TallyCase{"NoNumber", R"(<row r="2"><c r="A2"><v>1.2.3</v></c></row>)", true},
        TallyCase{
            "RowsOutOfOrder",
            R"(<row r="5"><c r="A5"><v>1</v></c></row><row r="3"><c r="B3"><v>2</v></c></row>)",
            true}),
    [](const auto& row) { return row.param.name; });

// A failure of the second reading reaches the walk; a walk that stops early stops it.
TEST(SheetBands, FailuresReachTheWalkAndAnEarlyEndStopsTheReading)
{
    const auto bandsOf = [](bool fail) {
        return [fail](const HandOver& handOver) {
            for (int i = 0; i < 100; ++i) {
                handOver(SheetBuilder("Data", nullptr).finish());
            }
            if (fail) {
                throw ReadError(ReadError::Reason::SheetDamaged, "late");
            }
        };
    };
    {
        ThreadedSheetParts parts({}, bandsOf(true));
        int count = 0;
        EXPECT_THROW(
            {
                while (parts.next()) {
                    ++count;
                }
            },
            ReadError);
        EXPECT_EQ(count, 100);
        EXPECT_FALSE(parts.next()) << "the failure is told once";
    }
    ThreadedSheetParts stopped({}, bandsOf(false));
    EXPECT_TRUE(stopped.next());
    // Leaving with 99 bands unread must not wait for them.
}

// Long texts cut bands of fewer cells: a band's text stays near BandBytes.
TEST(SheetBands, LongTextsCutBandsToo)
{
    SheetBuilder builder("Data", nullptr);
    std::vector<std::size_t> bandBytes;
    RowBands bands(builder, [&](Sheet part) {
        std::size_t bytes = 0;
        for (const StoredCell& cell : part.cells()) {
            bytes += part.value(cell).text.size();
        }
        bandBytes.push_back(bytes);
    });
    const std::string text(std::size_t{1} << 20, 't');
    for (std::int32_t row = 1; row <= 12; ++row) {
        bands.beforeCell(row);
        builder.addText(row, 1, text, 0);
    }
    bands.finish();
    ASSERT_EQ(bandBytes.size(), 3U);
    for (const std::size_t bytes : bandBytes) {
        EXPECT_LE(bytes, RowBands::BandBytes);
    }
}

// A sheet whose rows go back is not cut in bands.
TEST(SheetBands, RowsOutOfOrderAreTold)
{
    SheetBuilder builder("Data", nullptr);
    RowBands bands(builder, [](Sheet) {});
    bands.beforeCell(5);
    bands.beforeCell(5);
    EXPECT_THROW(bands.beforeCell(4), RowBands::OutOfOrder);
}

} // namespace
} // namespace sheetfray::engine::readers
