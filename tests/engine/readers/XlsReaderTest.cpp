#include "engine/readers/XlsReader.h"

#include "support/Error.h"
#include "tests/builders/XlsBuilder.h"
#include "tests/engine/readers/PartsDifference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>

namespace sheetfray::testing {
namespace {

using engine::CellValue;
using engine::readers::openXlsWorkbook;

std::unique_ptr<engine::Workbook> open(const XlsBuilder& builder)
{
    return openXlsWorkbook("book.xls", builder.build());
}

// Opens the file and loads every sheet; the message of the first ReadError, or "" if none.
std::string firstFailure(Bytes bytes)
{
    try {
        auto book = openXlsWorkbook("book.xls", std::move(bytes));
        for (std::int32_t i = 1; i <= book->sheetCount(); ++i) {
            (void)book->loadSheet(i);
        }
    } catch (const ReadError& e) {
        return e.what();
    }
    return "";
}

Bytes formulaRecord(const Bytes& value)
{
    return RecordData().u16(0).u16(0).u16(0).bytes(value).u16(0).u32(0).u16(0).data();
}

Bytes taggedResult(unsigned type, unsigned payload)
{
    return RecordData().u8(type).u8(0).u8(payload).u8(0).u16(0).u16(0xFFFF).data();
}

struct CellCase
{
    const char* name;
    std::vector<std::pair<std::uint16_t, Bytes>> records; // placed in the sheet, cell at A1
    CellValue::Kind kind;
    double number;
    std::string text; // displayed text; checked for all but numbers
};

// Names the case in a failure message.
void PrintTo(const CellCase& c, std::ostream* os)
{
    *os << c.name;
}

class XlsCell : public ::testing::TestWithParam<CellCase>
{};

TEST_P(XlsCell, GivesValueAndDisplayedText)
{
    const CellCase& c = GetParam();
    XlsBuilder b;
    const auto sheet = b.addSheet("Sheet1");
    for (const auto& [type, data] : c.records) {
        b.addRecord(sheet, type, data);
    }
    const engine::Sheet s = open(b)->loadSheet(1);
    ASSERT_EQ(s.cells().size(), 1u);
    const CellValue v = s.value(1, 1);
    EXPECT_EQ(v.kind, c.kind);
    if (c.kind == CellValue::Kind::Number) {
        EXPECT_DOUBLE_EQ(v.number, c.number);
    } else {
        EXPECT_EQ(s.text(1, 1), c.text);
    }
}

Bytes cell(unsigned xf = 0)
{
    return RecordData().u16(0).u16(0).u16(xf).data();
}

Bytes rk(std::uint32_t value)
{
    return RecordData().bytes(cell()).u32(value).data();
}

const auto booleanTrue = RecordData().bytes(cell()).u8(1).u8(0).data();
const auto errorNa = RecordData().bytes(cell()).u8(0x2A).u8(1).data();

INSTANTIATE_TEST_SUITE_P(
    Records,
    XlsCell,
    ::testing::Values(
        CellCase{"Number",
                 {{0x0203, RecordData().bytes(cell()).f64(2.5).data()}},
                 CellValue::Kind::Number,
                 2.5,
                 ""},
        CellCase{"RkInteger", {{0x027E, rk((123u << 2) | 2u)}}, CellValue::Kind::Number, 123, ""},
        CellCase{"RkNegativeInteger",
                 {{0x027E, rk((static_cast<std::uint32_t>(-7) << 2) | 2u)}},
                 CellValue::Kind::Number,
                 -7,
                 ""},
        CellCase{"RkIntegerHundredths",
                 {{0x027E, rk((12345u << 2) | 3u)}},
                 CellValue::Kind::Number,
                 123.45,
                 ""},
        CellCase{"RkDouble", {{0x027E, rk(0x3FF80000u)}}, CellValue::Kind::Number, 1.5, ""},
        CellCase{
            "RkDoubleHundredths", {{0x027E, rk(0x3FF80001u)}}, CellValue::Kind::Number, 0.015, ""},
        CellCase{"LabelLatin",
                 {{0x0204, RecordData().bytes(cell()).unicode("Pen").data()}},
                 CellValue::Kind::Text,
                 0,
                 "Pen"},
        CellCase{"LabelUtf16",
                 {{0x0204, RecordData().bytes(cell()).unicode("Москва 😀").data()}},
                 CellValue::Kind::Text,
                 0,
                 "Москва 😀"},
        CellCase{"BooleanTrue", {{0x0205, booleanTrue}}, CellValue::Kind::Boolean, 0, "TRUE"},
        CellCase{"ErrorNotAvailable", {{0x0205, errorNa}}, CellValue::Kind::Error, 0, "#N/A"},
        CellCase{"FormulaNumber",
                 {{0x0006, formulaRecord(RecordData().f64(42).data())}},
                 CellValue::Kind::Number,
                 42,
                 ""},
        CellCase{"FormulaBoolean",
                 {{0x0006, formulaRecord(taggedResult(1, 1))}},
                 CellValue::Kind::Boolean,
                 0,
                 "TRUE"},
        CellCase{"FormulaError",
                 {{0x0006, formulaRecord(taggedResult(2, 0x07))}},
                 CellValue::Kind::Error,
                 0,
                 "#DIV/0!"},
        CellCase{"FormulaEmptyText",
                 {{0x0006, formulaRecord(taggedResult(3, 0))}},
                 CellValue::Kind::Text,
                 0,
                 ""},
        CellCase{"FormulaText",
                 {{0x0006, formulaRecord(taggedResult(0, 0))},
                  {0x0207, RecordData().unicode("ab").data()}},
                 CellValue::Kind::Text,
                 0,
                 "ab"},
        CellCase{"FormulaTextAfterSharedFormula",
                 {{0x0006, formulaRecord(taggedResult(0, 0))},
                  {0x04BC, Bytes(10, std::byte{0})},
                  {0x0207, RecordData().unicode("ab").data()}},
                 CellValue::Kind::Text,
                 0,
                 "ab"}),
    [](const auto& row) { return std::string(row.param.name); });

// A cell record of BIFF2, BIFF3 or BIFF4 in a worksheet file, at A1.
struct OldCellCase
{
    const char* name;
    OldBiff version;
    std::vector<std::pair<std::uint16_t, Bytes>> records;
    CellValue::Kind kind;
    double number;
    std::string text;
};

void PrintTo(const OldCellCase& c, std::ostream* os)
{
    *os << c.name;
}

class OldBiffCell : public ::testing::TestWithParam<OldCellCase>
{};

TEST_P(OldBiffCell, GivesValueAndDisplayedText)
{
    const OldCellCase& c = GetParam();
    OldBiffBuilder b(c.version);
    for (const auto& [type, data] : c.records) {
        b.addRecord(0, type, data);
    }
    const engine::Sheet s = openXlsWorkbook("old.xls", b.build())->loadSheet(1);
    ASSERT_EQ(s.cells().size(), 1u);
    const CellValue v = s.value(1, 1);
    EXPECT_EQ(v.kind, c.kind);
    if (c.kind == CellValue::Kind::Number) {
        EXPECT_DOUBLE_EQ(v.number, c.number);
    } else {
        EXPECT_EQ(s.text(1, 1), c.text);
    }
}

// Row, column and three attribute bytes: the BIFF2 cell header.
Bytes cell2()
{
    return RecordData().u16(0).u16(0).u8(0).u8(0).u8(0).data();
}

Bytes formula2(const Bytes& value)
{
    return RecordData().bytes(cell2()).bytes(value).u8(0).u8(0).data();
}

INSTANTIATE_TEST_SUITE_P(
    Records,
    OldBiffCell,
    ::testing::Values(
        OldCellCase{"Biff2Integer",
                    OldBiff::V2,
                    {{0x0002, RecordData().bytes(cell2()).u16(65535).data()}},
                    CellValue::Kind::Number,
                    65535,
                    ""},
        OldCellCase{"Biff2Number",
                    OldBiff::V2,
                    {{0x0003, RecordData().bytes(cell2()).f64(-2.5).data()}},
                    CellValue::Kind::Number,
                    -2.5,
                    ""},
        OldCellCase{"Biff2Label",
                    OldBiff::V2,
                    {{0x0004, RecordData().bytes(cell2()).byteString("caf\xe9", true).data()}},
                    CellValue::Kind::Text,
                    0,
                    "café"},
        OldCellCase{"Biff2Boolean",
                    OldBiff::V2,
                    {{0x0005, RecordData().bytes(cell2()).u8(1).u8(0).data()}},
                    CellValue::Kind::Boolean,
                    0,
                    "TRUE"},
        OldCellCase{"Biff2Error",
                    OldBiff::V2,
                    {{0x0005, RecordData().bytes(cell2()).u8(0x07).u8(1).data()}},
                    CellValue::Kind::Error,
                    0,
                    "#DIV/0!"},
        OldCellCase{"Biff2FormulaNumber",
                    OldBiff::V2,
                    {{0x0006, formula2(RecordData().f64(42).data())}},
                    CellValue::Kind::Number,
                    42,
                    ""},
        OldCellCase{"Biff2FormulaText",
                    OldBiff::V2,
                    {{0x0006, formula2(taggedResult(0, 0))},
                     {0x0007, RecordData().byteString("ab", true).data()}},
                    CellValue::Kind::Text,
                    0,
                    "ab"},
        OldCellCase{
            "Biff3Rk", OldBiff::V3, {{0x027E, rk((7u << 2) | 2u)}}, CellValue::Kind::Number, 7, ""},
        OldCellCase{"Biff3Label",
                    OldBiff::V3,
                    {{0x0204, RecordData().bytes(cell()).byteString("Pen").data()}},
                    CellValue::Kind::Text,
                    0,
                    "Pen"},
        OldCellCase{"Biff3FormulaText",
                    OldBiff::V3,
                    {{0x0206, formulaRecord(taggedResult(0, 0))},
                     {0x0207, RecordData().byteString("cd").data()}},
                    CellValue::Kind::Text,
                    0,
                    "cd"},
        OldCellCase{"Biff4FormulaBoolean",
                    OldBiff::V4,
                    {{0x0406, formulaRecord(taggedResult(1, 1))}},
                    CellValue::Kind::Boolean,
                    0,
                    "TRUE"},
        OldCellCase{"Biff4BooleanError",
                    OldBiff::V4,
                    {{0x0205, errorNa}},
                    CellValue::Kind::Error,
                    0,
                    "#N/A"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XlsReader, OldWorksheetFilesTakeTheFileNameFormatsAndCodePage)
{
    for (const OldBiff version : {OldBiff::V2, OldBiff::V3, OldBiff::V4}) {
        SCOPED_TRACE(static_cast<int>(version));
        OldBiffBuilder b(version);
        b.setCodePage(1251).setDate1904(true);
        b.addFormat("General");
        const auto twoPlaces = b.addXf(b.addFormat("0.00"));
        b.number(0, 0, 0, 3.14159, twoPlaces);
        b.label(0, 1, 0, "\xcc\xee\xf1\xea\xe2\xe0"); // "Москва"
        auto book = openXlsWorkbook("Quarter 3.xls", b.build());
        ASSERT_EQ(book->sheetCount(), 1);
        EXPECT_EQ(book->sheetName(1), "Quarter 3");
        const engine::Sheet s = book->loadSheet(1);
        EXPECT_EQ(s.text(1, 1), "3.14");
        EXPECT_EQ(s.text(2, 1), "Москва");
        EXPECT_EQ(s.styles().dateSystem, engine::format::DateSystem::Date1904);
    }
}

TEST(XlsReader, Biff3BuiltInFormatsLackTheFractions)
{
    // Without FORMAT records, BIFF3's format 12 is the short date (BIFF4's is "# ?/?").
    OldBiffBuilder b3(OldBiff::V3);
    b3.number(0, 0, 0, 45000, b3.addXf(12));
    EXPECT_EQ(openXlsWorkbook("a.xls", b3.build())->loadSheet(1).value(1, 1).kind,
              CellValue::Kind::Date);
    OldBiffBuilder b4(OldBiff::V4);
    b4.number(0, 0, 0, 0.5, b4.addXf(12));
    EXPECT_EQ(openXlsWorkbook("a.xls", b4.build())->loadSheet(1).value(1, 1).kind,
              CellValue::Kind::Number);
}

TEST(XlsReader, Biff2CellsFindTheirFormatThroughIxfeOrTheirOwnAttributes)
{
    OldBiffBuilder b(OldBiff::V2);
    b.addFormat("General");
    const auto percent = b.addFormat("0%");
    for (int i = 0; i < 70; ++i) {
        b.addXf(0);
    }
    const auto far = b.addXf(percent); // XF 70: the cell names 63 and an IXFE record says 70
    b.number(0, 0, 0, 0.25, far);
    EXPECT_EQ(openXlsWorkbook("a.xls", b.build())->loadSheet(1).text(1, 1), "25%");

    // No XF records at all: the format index among the cell's attributes counts.
    OldBiffBuilder bare(OldBiff::V2);
    bare.addFormat("General");
    bare.addFormat("0.0");
    bare.addRecord(0, 0x0003, RecordData().u16(0).u16(0).u8(0).u8(1).u8(0).f64(2).data());
    EXPECT_EQ(openXlsWorkbook("a.xls", bare.build())->loadSheet(1).text(1, 1), "2.0");
}

TEST(XlsReader, Biff4WorkbookSheetsFollowTheirHeaders)
{
    OldBiffBuilder b(OldBiff::V4, true);
    const auto first = b.addSheet("First");
    b.number(first, 0, 0, 1);
    b.label(first, 1, 0, "one");
    b.addSheet("Graph", SheetKind::Chart);
    const auto third = b.addSheet("Third");
    b.number(third, 2, 2, 3);
    auto book = openXlsWorkbook("w.xls", b.build());
    ASSERT_EQ(book->sheetCount(), 3);
    EXPECT_EQ(book->sheetName(1), "First");
    EXPECT_EQ(book->sheetName(3), "Third");
    EXPECT_EQ(book->loadSheet(1).text(2, 1), "one");
    EXPECT_THROW((void)book->loadSheet(2), SheetWithoutCells);
    EXPECT_EQ(book->loadSheet(3).usedRange(), (engine::UsedRange{3, 3}));
}

TEST(XlsReader, Biff4WorkbookSheetsKeepTheirOwnFormats)
{
    // Each sheet of a BIFF4 workbook lists its own formats and XF records.
    OldBiffBuilder b(OldBiff::V4, true);
    b.addFormat("General");
    const auto xf = b.addXf(b.addFormat("0.000"));
    const auto first = b.addSheet("First");
    b.number(first, 0, 0, 1.5, xf);
    const auto second = b.addSheet("Second");
    b.number(second, 0, 0, 2.5, xf);
    auto book = openXlsWorkbook("w.xls", b.build());
    EXPECT_EQ(book->loadSheet(1).text(1, 1), "1.500");
    EXPECT_EQ(book->loadSheet(2).text(1, 1), "2.500");
}

struct EncryptedCase
{
    const char* name;
    // One sheet: numbers in column A, text in column B.
    std::function<Bytes(const std::vector<double>&)> build;
    const char* sheetName;
};

void PrintTo(const EncryptedCase& c, std::ostream* os)
{
    *os << c.name;
}

class XlsEncrypted : public ::testing::TestWithParam<EncryptedCase>
{};

TEST_P(XlsEncrypted, OpensWithTheDefaultPassword)
{
    // Enough rows that the records run over several 1024-byte blocks.
    std::vector<double> numbers;
    for (int i = 0; i < 300; ++i) {
        numbers.push_back(i * 1.25);
    }
    auto book = openXlsWorkbook("book.xls", GetParam().build(numbers));
    ASSERT_EQ(book->sheetCount(), 1);
    EXPECT_EQ(book->sheetName(1), GetParam().sheetName);
    const engine::Sheet s = book->loadSheet(1);
    EXPECT_EQ(s.usedRange(), (engine::UsedRange{300, 2}));
    for (std::int32_t row : {1, 150, 300}) {
        EXPECT_DOUBLE_EQ(s.value(row, 1).number, (row - 1) * 1.25) << row;
        EXPECT_EQ(s.text(row, 2), "row " + std::to_string(row)) << row;
    }
}

Bytes encryptedBook(bool biff8,
                    const Encryption& e,
                    const std::vector<double>& numbers,
                    bool secondFilePass = false)
{
    XlsBuilder b(biff8);
    if (secondFilePass) {
        // Only the first FILEPASS counts; decrypting again would garble the records.
        b.addGlobalRecord(0x002F, filePassBody(e, biff8));
    }
    const auto s = b.addSheet("Data");
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto row = static_cast<unsigned>(i);
        b.number(s, row, 0, numbers[i]);
        b.label(s, row, 1, "row " + std::to_string(i + 1));
    }
    b.encrypt(e);
    return b.build();
}

Bytes encryptedOld(OldBiff version, const std::vector<double>& numbers)
{
    OldBiffBuilder b(version);
    b.encryptXor();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto row = static_cast<unsigned>(i);
        b.number(0, row, 0, numbers[i]);
        b.label(0, row, 1, "row " + std::to_string(i + 1));
    }
    return b.build();
}

using Method = Encryption::Method;

INSTANTIATE_TEST_SUITE_P(
    Methods,
    XlsEncrypted,
    ::testing::Values(
        EncryptedCase{"Biff8Rc4",
                      [](const auto& n) { return encryptedBook(true, {Method::Rc4}, n); },
                      "Data"},
        EncryptedCase{"Biff8CryptoApi128",
                      [](const auto& n) { return encryptedBook(true, {Method::CryptoApiRc4}, n); },
                      "Data"},
        EncryptedCase{
            "Biff8CryptoApi40",
            [](const auto& n) {
                return encryptedBook(true, {Method::CryptoApiRc4, "VelvetSweatshop", 40}, n);
            },
            "Data"},
        EncryptedCase{"Biff8Rc4TwoFilePass",
                      [](const auto& n) { return encryptedBook(true, {Method::Rc4}, n, true); },
                      "Data"},
        EncryptedCase{"Biff8Xor",
                      [](const auto& n) { return encryptedBook(true, {Method::Xor}, n); },
                      "Data"},
        EncryptedCase{"Biff5Xor",
                      [](const auto& n) { return encryptedBook(false, {Method::Xor}, n); },
                      "Data"},
        EncryptedCase{
            "Biff2Xor", [](const auto& n) { return encryptedOld(OldBiff::V2, n); }, "book"},
        EncryptedCase{
            "Biff3Xor", [](const auto& n) { return encryptedOld(OldBiff::V3, n); }, "book"},
        EncryptedCase{
            "Biff4Xor", [](const auto& n) { return encryptedOld(OldBiff::V4, n); }, "book"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XlsReader, BlankCellsCountForTheUsedRange)
{
    XlsBuilder b;
    const auto s = b.addSheet("Sheet1");
    b.number(s, 0, 0, 1);
    b.addRecord(s, 0x0201, RecordData().u16(4).u16(1).u16(0).data()); // BLANK B5
    // MULBLANK row 7, columns B to D.
    b.addRecord(s, 0x00BE, RecordData().u16(6).u16(1).u16(0).u16(0).u16(0).u16(3).data());
    const engine::Sheet sheet = open(b)->loadSheet(1);
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{7, 4}));
    ASSERT_NE(sheet.find(7, 4), nullptr);
    EXPECT_EQ(sheet.find(7, 4)->kind, engine::CellKind::Blank);
    EXPECT_EQ(sheet.cells().size(), 5u);
}

TEST(XlsReader, MultipleRkCellsTrustTheRecordSizeNotTheStatedLastColumn)
{
    XlsBuilder b;
    const auto s = b.addSheet("Sheet1");
    RecordData mulRk;
    mulRk.u16(2).u16(3); // row 3, from column D
    for (std::uint32_t v : {1u, 2u, 3u}) {
        mulRk.u16(0).u32((v << 2) | 2u);
    }
    mulRk.u16(200); // claims a last column far beyond the three cells present
    b.addRecord(s, 0x00BD, mulRk.data());
    const engine::Sheet sheet = open(b)->loadSheet(1);
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{3, 6}));
    EXPECT_DOUBLE_EQ(sheet.value(3, 4).number, 1);
    EXPECT_DOUBLE_EQ(sheet.value(3, 6).number, 3);
}

TEST(XlsReader, SharedStringsContinueAcrossRecords)
{
    XlsBuilder b;
    b.setSstRecordLimit(24);
    const std::vector<std::string> texts = {"short",
                                            "a compressed string longer than one record",
                                            "Ελληνικά across records",
                                            "",
                                            "last"};
    const auto s = b.addSheet("Sheet1");
    for (const std::string& text : texts) {
        const auto index = b.addSharedString(text);
        b.labelSst(s, index, 0, index);
    }
    const engine::Sheet sheet = open(b)->loadSheet(1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(sheet.text(static_cast<std::int32_t>(i) + 1, 1), texts[i]) << "string " << i;
    }
}

TEST(XlsReader, SharedStringSwitchesToWideCharactersInItsContinueRecord)
{
    // "ab" compressed in the SST record, then "βγ" as UTF-16 after a fresh option byte, then a
    // rich string with phonetic data whose runs and data straddle the next record.
    XlsBuilder b;
    const auto s = b.addSheet("Sheet1");
    b.labelSst(s, 0, 0, 0);
    b.labelSst(s, 1, 0, 1);
    b.labelSst(s, 2, 0, 2);
    b.addGlobalRecord(0x00FC, RecordData().u32(3).u32(3).u16(4).u8(0).u8('a').u8('b').data());
    b.addGlobalRecord(0x003C,
                      RecordData()
                          .u8(1)
                          .u16(0x03B2)
                          .u16(0x03B3)
                          .u16(2)
                          .u8(0x0C)
                          .u16(1) // one formatting run
                          .u32(6) // six bytes of phonetic data
                          .u8('x')
                          .u8('y')
                          .u16(0)
                          .data());
    b.addGlobalRecord(0x003C,
                      RecordData().u16(0).u8(9).u8(9).u8(9).u8(9).u8(9).u8(9).unicode("z").data());
    const engine::Sheet sheet = open(b)->loadSheet(1);
    EXPECT_EQ(sheet.text(1, 1), "abβγ");
    EXPECT_EQ(sheet.text(2, 1), "xy");
    EXPECT_EQ(sheet.text(3, 1), "z");
}

TEST(XlsReader, SharedStringCountsAreNotTrusted)
{
    XlsBuilder b;
    const auto s = b.addSheet("Sheet1");
    b.labelSst(s, 0, 0, 1);
    // Claims 4,000,000,000 strings and holds two.
    b.addGlobalRecord(
        0x00FC,
        RecordData().u32(4000000000u).u32(4000000000u).unicode("one").unicode("two").data());
    EXPECT_EQ(open(b)->loadSheet(1).text(1, 1), "two");
}

TEST(XlsReader, SheetsKeepOrderNamesAndKinds)
{
    XlsBuilder b;
    b.addSheet("Visible");
    b.addSheet("Hidden", SheetKind::Worksheet, 1);
    b.addSheet("Диаграмма", SheetKind::Chart);
    b.addSheet("Macro1", SheetKind::MacroSheet);
    auto book = open(b);
    EXPECT_EQ(book->name(), "book.xls");
    ASSERT_EQ(book->sheetCount(), 4);
    EXPECT_EQ(book->sheetName(1), "Visible");
    EXPECT_EQ(book->sheetName(2), "Hidden");
    EXPECT_EQ(book->sheetName(3), "Диаграмма");
    EXPECT_EQ(book->loadSheet(2).usedRange(), (engine::UsedRange{1, 1}));
    try {
        (void)book->loadSheet(3);
        FAIL() << "a chart sheet has no cells to read";
    } catch (const SheetWithoutCells& e) {
        EXPECT_STREQ(e.what(),
                     "cannot read sheet \"Диаграмма\" of \"book.xls\": it is a chart sheet, which "
                     "has no cells");
    }
    EXPECT_THROW((void)book->loadSheet(4), ReadError);
}

TEST(XlsReader, DialogSheetCannotBeRead)
{
    XlsBuilder b;
    const auto s = b.addSheet("Dialog1");
    b.addRecord(s, 0x0081, RecordData().u16(0x0010).data());
    EXPECT_NE(firstFailure(b.build()).find("dialog sheet"), std::string::npos);
    EXPECT_THROW((void)open(b)->loadSheet(1), SheetWithoutCells);
}

TEST(XlsReader, EmbeddedChartDoesNotEndTheSheet)
{
    XlsBuilder b;
    const auto s = b.addSheet("Sheet1");
    b.number(s, 0, 0, 1);
    b.addRecord(s, 0x0809, RecordData().u16(0x0600).u16(0x0020).u32(0).u32(0).u32(0).data());
    b.addRecord(s, 0x0203, RecordData().u16(50).u16(50).u16(0).f64(9).data()); // chart data
    b.addRecord(s, 0x000A, {});
    b.number(s, 1, 0, 2);
    const engine::Sheet sheet = open(b)->loadSheet(1);
    EXPECT_EQ(sheet.usedRange(), (engine::UsedRange{2, 1}));
}

TEST(XlsReader, Date1904FlagSetsTheDateSystem)
{
    XlsBuilder b;
    b.setDate1904(true);
    b.addSheet("Sheet1");
    EXPECT_EQ(open(b)->loadSheet(1).styles().dateSystem, engine::format::DateSystem::Date1904);
}

TEST(XlsReader, Biff5TextUsesTheWorkbookCodePage)
{
    XlsBuilder b(false);
    b.setCodePage(1251);
    const auto s = b.addSheet("\xcb\xe8\xf1\xf2"); // "Лист"
    b.label(s, 0, 0, "\xcc\xee\xf1\xea\xe2\xe0"); // "Москва"
    auto book = open(b);
    EXPECT_EQ(book->sheetName(1), "Лист");
    EXPECT_EQ(book->loadSheet(1).text(1, 1), "Москва");
}

// A sheet read in bands of a few rows hands over the cells of the sheet read whole, band by
// band, and again for a walk that takes several passes: cells of a row in any order, several
// cells in one record, a cell stored twice, formulas whose text follows them or never comes.
// A sheet whose rows go back, or of one band, is read whole.
TEST(XlsReader, SheetInBandsIsTheSheetReadWhole)
{
    for (const bool biff8 : {true, false}) {
        SCOPED_TRACE(biff8 ? "BIFF8" : "BIFF5");
        XlsBuilder b(biff8);
        const auto shared = b.addSharedString("shared");
        const auto inOrder = b.addSheet("Rows");
        const auto text = [&](const std::string& utf8) {
            return biff8 ? RecordData().unicode(utf8).data() : RecordData().byteString(utf8).data();
        };
        for (unsigned row = 0; row < 40; ++row) {
            if (row % 7 == 3) {
                continue; // a row without cells
            }
            // Column A: a formula whose text comes in STRING, the row's first cell on even
            // rows; on odd rows it comes last and its text never does: the next row's first
            // cell ends the wait.
            const auto formula = [&] {
                b.addRecord(inOrder,
                            0x0006,
                            RecordData()
                                .u16(row)
                                .u16(0)
                                .u16(0)
                                .bytes(taggedResult(0, 0))
                                .u16(0)
                                .u32(0)
                                .u16(0)
                                .data());
            };
            if (row % 2 == 0) {
                formula();
                b.addRecord(inOrder, 0x0207, text("result " + std::to_string(row)));
            }
            if (row % 3 == 0) {
                b.label(inOrder, row, 13, "first"); // a text may come first too
            }
            b.number(inOrder, row, 12, row);
            b.label(inOrder, row, 12, "twice " + std::to_string(row)); // replaces the number
            b.addRecord(inOrder, 0x027E, RecordData().u16(row).u16(9).u16(0).u32(0x0A).data());
            RecordData mulRk;
            mulRk.u16(row).u16(5);
            for (std::uint32_t v = 1; v <= 3; ++v) {
                mulRk.u16(0).u32(((row * 10 + v) << 2) | 2u);
            }
            b.addRecord(inOrder, 0x00BD, mulRk.u16(7).data());
            b.addRecord(inOrder,
                        0x00BE,
                        RecordData().u16(row).u16(3).u16(0).u16(0).u16(4).data()); // D:E blank
            if (biff8) {
                b.labelSst(inOrder, row, 1, shared);
            }
            b.addRecord(inOrder, 0x0205, RecordData().u16(row).u16(10).u16(0).u8(1).u8(0).data());
            if (row % 2 == 1) {
                formula();
            }
        }
        const auto backwards = b.addSheet("Back");
        for (unsigned row = 30; row-- > 0;) {
            b.number(backwards, row, 0, row);
            b.number(backwards, row, 1, -1.0 * row);
        }
        const Bytes file = b.build();

        auto book = openXlsWorkbook("book.xls", file, {.wholeCells = 0, .bandCells = 10});
        for (std::int32_t sheet = 1; sheet <= 2; ++sheet) {
            SCOPED_TRACE(book->sheetName(sheet));
            const engine::Sheet whole = book->loadSheet(sheet);
            const std::unique_ptr<engine::SheetParts> parts = book->loadSheetInParts(sheet);
            int count = 0;
            EXPECT_EQ(partsDifference(*parts, whole, count), "");
            if (sheet == 1) {
                EXPECT_GT(count, 10);
                const std::unique_ptr<engine::SheetParts> again = parts->again();
                ASSERT_NE(again, nullptr);
                EXPECT_EQ(partsDifference(*again, whole, count), "");
                EXPECT_GT(count, 10);
            } else {
                EXPECT_EQ(count, 1);
            }
        }
        // Bands larger than the sheet, or a sheet under the threshold: the sheet whole.
        for (const engine::readers::XlsBands bands :
             {engine::readers::XlsBands{.wholeCells = 0}, engine::readers::XlsBands{}}) {
            auto once = openXlsWorkbook("book.xls", file, bands);
            int count = 0;
            EXPECT_EQ(partsDifference(*once->loadSheetInParts(1), once->loadSheet(1), count), "");
            EXPECT_EQ(count, 1);
        }
    }
}

// A sheet that cannot be read fails in parts as it fails whole, before any part.
TEST(XlsReader, SheetInBandsFailsAsTheSheetReadWhole)
{
    XlsBuilder b;
    const auto s = b.addSheet("Data");
    for (unsigned row = 0; row < 20; ++row) {
        b.number(s, row, 0, row);
    }
    b.addRecord(s, 0x0203, RecordData().u16(21).u16(0).u16(0).data()); // NUMBER cut short
    b.addSheet("Chart", SheetKind::Chart);
    auto book = openXlsWorkbook("book.xls", b.build(), {.wholeCells = 0, .bandCells = 4});
    for (std::int32_t sheet = 1; sheet <= 2; ++sheet) {
        std::string whole;
        std::string inParts;
        try {
            (void)book->loadSheet(sheet);
        } catch (const ReadError& e) {
            whole = e.what();
        }
        try {
            (void)book->loadSheetInParts(sheet);
        } catch (const ReadError& e) {
            inParts = e.what();
        }
        EXPECT_NE(whole, "");
        EXPECT_EQ(inParts, whole);
    }
}

// The workbooks of other writers give the same cells in bands of a few rows as whole.
TEST(XlsReader, SharedWorkbooksInBandsAreTheSheetsReadWhole)
{
    const std::filesystem::path folder =
        std::filesystem::path(SHEETFRAY_SHARED_TESTDATA) / "workbooks";
    if (!std::filesystem::is_directory(folder)) {
        GTEST_SKIP() << "the shared test data is not there";
    }
    int banded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".xls") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string raw((std::istreambuf_iterator<char>(in)), {});
        Bytes bytes(raw.size());
        std::memcpy(bytes.data(), raw.data(), raw.size());
        std::unique_ptr<engine::Workbook> book;
        try {
            book = openXlsWorkbook(entry.path().filename().string(),
                                   std::move(bytes),
                                   {.wholeCells = 0, .bandCells = 3});
        } catch (const ReadError&) {
            continue;
        }
        for (std::int32_t sheet = 1; sheet <= book->sheetCount(); ++sheet) {
            SCOPED_TRACE(book->sheetName(sheet));
            std::optional<engine::Sheet> whole;
            std::string failure;
            try {
                whole = book->loadSheet(sheet);
            } catch (const ReadError& e) {
                failure = e.what();
            }
            try {
                const std::unique_ptr<engine::SheetParts> parts = book->loadSheetInParts(sheet);
                ASSERT_TRUE(whole) << "read in parts, but whole: " << failure;
                int count = 0;
                EXPECT_EQ(partsDifference(*parts, *whole, count), "");
                banded += count > 1 ? 1 : 0;
            } catch (const ReadError& e) {
                EXPECT_EQ(e.what(), failure);
            }
        }
    }
    EXPECT_GT(banded, 5);
}

struct BadFile
{
    const char* name;
    Bytes bytes;
    const char* reason; // a part of the message
};

// Names the case in a failure message.
void PrintTo(const BadFile& c, std::ostream* os)
{
    *os << c.name;
}

class XlsBadFile : public ::testing::TestWithParam<BadFile>
{};

TEST_P(XlsBadFile, FailsWithReadErrorNamingFileAndReason)
{
    const std::string message = firstFailure(GetParam().bytes);
    EXPECT_NE(message.find("\"book.xls\""), std::string::npos) << message;
    EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
}

Bytes withSheet(XlsBuilder b)
{
    const auto s = b.addSheet("Sheet1");
    b.number(s, 0, 0, 1);
    return b.build();
}

Bytes passwordProtected()
{
    XlsBuilder b;
    b.addGlobalRecord(0x002F, RecordData().u16(1).data());
    return withSheet(b);
}

Bytes recordPastEnd()
{
    XlsBuilder b;
    const auto s = b.addSheet("Sheet1");
    b.number(s, 0, 0, 1);
    Bytes stream = b.workbookStream();
    stream.resize(stream.size() - 6); // the EOF record and part of the NUMBER record
    return compoundFile({{"Workbook", stream}});
}

Bytes sheetOffsetPastEnd()
{
    XlsBuilder b;
    b.addSheet("Sheet1");
    Bytes stream = b.workbookStream();
    // Walk the records to the BOUNDSHEET record and move its sheet far past the end.
    std::size_t at = 0;
    while (std::to_integer<unsigned>(stream[at]) != 0x85 || stream[at + 1] != std::byte{0}) {
        at += 4 + std::to_integer<std::size_t>(stream[at + 2])
            + (std::to_integer<std::size_t>(stream[at + 3]) << 8);
    }
    stream[at + 4 + 3] = std::byte{0x7F};
    return compoundFile({{"Workbook", stream}});
}

Bytes biff2Chart()
{
    return RecordData().u16(0x0009).u16(4).u16(2).u16(0x20).u16(0x000A).u16(0).data();
}

Bytes otherPassword(bool biff8, Encryption::Method method)
{
    XlsBuilder b(biff8);
    b.encrypt({method, "secret"});
    return withSheet(b);
}

Bytes xorOtherPassword()
{
    XlsBuilder b;
    b.encrypt({Encryption::Method::Xor});
    Bytes stream = b.workbookStream();
    stream[4 + 16 + 4 + 4] ^= std::byte{1}; // the verifier in FILEPASS, right after BOF
    return compoundFile({{"Workbook", stream}});
}

Bytes oldXorOtherPassword()
{
    OldBiffBuilder b(OldBiff::V3);
    b.encryptXor(false).number(0, 0, 0, 1);
    return b.build();
}

Bytes unknownRc4Version()
{
    XlsBuilder b;
    b.addGlobalRecord(0x002F, RecordData().u16(1).u16(1).u16(3).bytes(Bytes(48)).data());
    return withSheet(b);
}

Bytes sheetWithoutHeaderInBiff4Workbook()
{
    Bytes stream = RecordData().u16(0x0409).u16(6).u16(0x0400).u16(0x0100).u16(0).data();
    appendRecord(stream, 0x0409, RecordData().u16(0x0400).u16(0x0010).u16(0).data());
    appendRecord(stream, 0x000A, {});
    appendRecord(stream, 0x000A, {});
    return stream;
}

std::vector<BadFile> badFiles()
{
    const Bytes text = RecordData().bytes(Bytes(4, std::byte{'x'})).data();
    return {
        {"PasswordProtected", passwordProtected(), "it is password-protected"},
        {"EncryptedPackage",
         compoundFile({{"EncryptionInfo", Bytes(8)}, {"EncryptedPackage", Bytes(8)}}),
         "it is password-protected"},
        {"Biff2Chart", biff2Chart(), "single chart or macro sheet"},
        {"Biff3Workspace",
         RecordData().u16(0x0209).u16(6).u16(0x0300).u16(0x0100).u16(0).data(),
         "old BIFF3 workbook format"},
        {"Rc4OtherPassword", otherPassword(true, Encryption::Method::Rc4), "password-protected"},
        {"CryptoApiOtherPassword",
         otherPassword(true, Encryption::Method::CryptoApiRc4),
         "password-protected"},
        {"XorOtherPassword", xorOtherPassword(), "password-protected"},
        {"Biff3XorOtherPassword", oldXorOtherPassword(), "password-protected"},
        {"UnknownRc4Version", unknownRc4Version(), "password-protected"},
        {"Biff4WorkbookSheetWithoutHeader",
         sheetWithoutHeaderInBiff4Workbook(),
         "old BIFF4 workbook format"},
        {"NoWorkbookStream",
         compoundFile({{"WordDocument", Bytes(100)}}),
         "it is not a spreadsheet file"},
        {"PlainText", text, "it is not a spreadsheet file"},
        {"RecordPastEnd", recordPastEnd(), "damaged"},
        {"SheetOffsetPastEnd", sheetOffsetPastEnd(), "damaged"},
        {"EmptyWorkbookStream", compoundFile({{"Workbook", Bytes(2)}}), "damaged"},
    };
}

INSTANTIATE_TEST_SUITE_P(Damaged, XlsBadFile, ::testing::ValuesIn(badFiles()), [](const auto& row) {
    return std::string(row.param.name);
});

} // namespace
} // namespace sheetfray::testing
