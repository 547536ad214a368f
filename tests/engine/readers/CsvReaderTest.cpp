#include "engine/readers/CsvReader.h"

#include "support/Error.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

namespace sheetfray::testing {
namespace {

using engine::readers::dialectForName;
using engine::readers::looksLikeText;
using engine::readers::openDelimitedText;
using engine::readers::TextDialect;
using engine::readers::TextReading;
using Bytes = std::vector<std::byte>;
using Grid = std::vector<std::vector<std::string>>; // "" where the file has no cell

Bytes bytesOf(std::string_view text)
{
    const auto* data = reinterpret_cast<const std::byte*>(text.data());
    return Bytes(data, data + text.size());
}

// text in UTF-16 or UTF-32 (unitSize 2 or 4), in either byte order, with or without its
// byte-order mark.
std::string unitsOf(std::u32string_view text, std::size_t unitSize, bool bigEndian, bool bom)
{
    std::string bytes;
    const auto put = [&](std::uint32_t unit) {
        for (std::size_t i = 0; i < unitSize; ++i) {
            const std::size_t shift = 8 * (bigEndian ? unitSize - 1 - i : i);
            bytes += static_cast<char>((unit >> shift) & 0xFF);
        }
    };
    if (bom) {
        put(0xFEFF);
    }
    for (const char32_t c : text) {
        if (unitSize == 2 && c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return bytes;
}

constexpr TextDialect Csv{',', true};
constexpr TextDialect Tsv{'\t', true};
constexpr TextDialect Plain{'\t', false};

struct CsvCase
{
    const char* name;
    std::string input;
    TextDialect dialect;
    Grid cells;
};

// Names the case in a failure message.
void PrintTo(const CsvCase& c, std::ostream* os)
{
    *os << c.name << ": " << ::testing::PrintToString(c.input);
}

class DelimitedText : public ::testing::TestWithParam<CsvCase>
{};

// Checks the cells of sheet against the case's grid.
void expectCells(const engine::Sheet& sheet, const CsvCase& c)
{
    engine::UsedRange range;
    std::size_t stored = 0;
    for (std::size_t r = 0; r < c.cells.size(); ++r) {
        for (std::size_t col = 0; col < c.cells[r].size(); ++col) {
            const auto row = static_cast<std::int32_t>(r + 1);
            const auto column = static_cast<std::int32_t>(col + 1);
            const std::string& expected = c.cells[r][col];
            EXPECT_EQ(sheet.text(row, column), expected) << "row " << row << ", column " << column;
            if (!expected.empty()) {
                EXPECT_EQ(sheet.value(row, column).text, expected);
                range.lastRow = std::max(range.lastRow, row);
                range.lastColumn = std::max(range.lastColumn, column);
                ++stored;
            }
        }
    }
    EXPECT_EQ(sheet.cells().size(), stored);
    EXPECT_EQ(sheet.usedRange(), range);
}

// The parts of a sheet as one sheet, checked against their summary.
engine::Sheet joinedParts(engine::SheetParts& parts)
{
    engine::SheetBuilder builder("joined", nullptr);
    builder.allowRows(engine::readers::MostTextLines);
    std::uint64_t cells = 0;
    while (const std::optional<engine::Sheet> part = parts.next()) {
        EXPECT_EQ(part->usedRange(), parts.summary().usedRange);
        for (const engine::StoredCell& cell : part->cells()) {
            builder.addCopy(*part, cell);
            ++cells;
        }
    }
    EXPECT_EQ(cells, parts.summary().storedCells);
    return builder.finishPart(parts.summary().usedRange);
}

TEST_P(DelimitedText, GivesFieldsAsTextCells)
{
    const CsvCase& c = GetParam();
    expectCells(openDelimitedText("data.csv", bytesOf(c.input), c.dialect)->loadSheet(1), c);
}

// Read in bands block by block, every field, character, quote and line end of the cases lies
// across a block's edge for some block size.
TEST_P(DelimitedText, GivesTheSameCellsReadInBlocks)
{
    const CsvCase& c = GetParam();
    for (const std::size_t blockSize : {1, 2, 3, 4, 5, 7, 11, 4096}) {
        SCOPED_TRACE(blockSize);
        const TextReading reading{.blockSize = blockSize, .wholeBytes = 0, .wholeLines = 0};
        auto book = openDelimitedText("data.csv", bytesOf(c.input), c.dialect, reading);
        const std::unique_ptr<engine::SheetParts> parts = book->loadSheetInParts(1);
        expectCells(joinedParts(*parts), c);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rfc4180,
    DelimitedText,
    ::testing::Values(
        CsvCase{"CommaFields", "a,b,c\n1,2,3\n", Csv, {{"a", "b", "c"}, {"1", "2", "3"}}},
        CsvCase{"QuotedDelimiterAndDoubledQuote",
                "\"a,b\",\"say \"\"hi\"\"\"\n",
                Csv,
                {{"a,b", "say \"hi\""}}},
        CsvCase{"LineBreakInsideQuotes", "\"two\r\nlines\",x", Csv, {{"two\nlines", "x"}}},
        CsvCase{"LineBreaksInsideQuotesAroundDoubledQuote",
                "\"\r\n\"\"a\"\"\r\n\r\n\",b\r\nc",
                Csv,
                {{"\n\"a\"\n\n", "b"}, {"c"}}},
        CsvCase{"LoneCrInsideQuotesKept", "\"a\rb\",\"c\n\rd\"", Csv, {{"a\rb", "c\n\rd"}}},
        CsvCase{"CrLfLfAndLoneCrEndLines", "a\r\nb\nc\rd", Csv, {{"a"}, {"b"}, {"c"}, {"d"}}},
        CsvCase{"FinalLineEndAddsNoRow", "a\r\n", Csv, {{"a"}}},
        CsvCase{"EmptyFieldsKeepPositions",
                "a,,c\n,,\n,e",
                Csv,
                {{"a", "", "c"}, {"", "", ""}, {"", "e"}}},
        CsvCase{"EmptyLineKeepsRowNumbers", "a\n\nb", Csv, {{"a"}, {}, {"b"}}},
        CsvCase{"SpacesAndNumbersKeptAsWritten", " a , 007,1e3", Csv, {{" a ", " 007", "1e3"}}},
        CsvCase{"QuotesInsideUnquotedFieldKept", "5\" pipe,x", Csv, {{"5\" pipe", "x"}}},
        CsvCase{"TextAfterClosingQuoteKept", "\"ab\"cd,e", Csv, {{"abcd", "e"}}},
        CsvCase{"UnclosedQuoteTakesTheRest", "\"abc,def\nghi", Csv, {{"abc,def\nghi"}}},
        CsvCase{"UnclosedQuoteWithCrLf", "\"abc\r\ndef\r\n", Csv, {{"abc\ndef\n"}}},
        CsvCase{"TabDelimited", "a\tb,c\n", Tsv, {{"a", "b,c"}}},
        CsvCase{"OwnRowOutput", "Name\tQty\t", Plain, {{"Name", "Qty"}}},
        CsvCase{"OwnOutputWithEmptyCells", "\tx\t\t", Plain, {{"", "x"}}},
        CsvCase{"PlainTabTextKeepsQuotes",
                "\"Hello,\" she said\t\"x\"\"\n",
                Plain,
                {{"\"Hello,\" she said", "\"x\"\""}}},
        CsvCase{"Utf8ByteOrderMark", "\xEF\xBB\xBF\xC3\xA4,b", Csv, {{"ä", "b"}}},
        CsvCase{"Utf16LittleEndian",
                std::string("\xFF\xFE"
                            "a\0,\0\xA4\x02\n\0",
                            10),
                Csv,
                {{"a", "ʤ"}}},
        CsvCase{"Utf16BigEndian", std::string("\xFE\xFF\0a\0,\0b", 8), Csv, {{"a", "b"}}},
        // The pair of surrogates lies across two blocks of the decoding.
        CsvCase{"Utf16PairAcrossBlocks",
                [] {
                    std::string bytes = "\xFF\xFE";
                    for (int i = 0; i < 4095; ++i) {
                        bytes += std::string("a\0", 2);
                    }
                    return bytes + std::string("\x3D\xD8\x00\xDE", 4);
                }(),
                Csv,
                {{std::string(4095, 'a') + "\xF0\x9F\x98\x80"}}},
        CsvCase{"Windows1252WhenNotUtf8", "caf\xE9,\x80", Csv, {{"café", "€"}}},
        // Read in blocks, each character here is cut by some block edge, and the byte that
        // is not UTF-8 comes only at the end.
        CsvCase{"Utf8CharactersAcrossLines",
                "\xC3\xA4\xE2\x82\xAC,\xF0\x9F\x98\x80\n\xC3\xA4\n",
                Csv,
                {{"ä€", "\xF0\x9F\x98\x80"}, {"ä"}}},
        CsvCase{
            "Windows1252FoundAtTheEnd", "\xC3\xA4,b\nc\n\xE9", Csv, {{"Ã¤", "b"}, {"c"}, {"é"}}},
        CsvCase{"Utf16LittleEndianWithoutMark",
                unitsOf(U"Name,Qty\r\nÄpfel,3", 2, false, false),
                Csv,
                {{"Name", "Qty"}, {"Äpfel", "3"}}},
        CsvCase{"Utf16BigEndianWithoutMark",
                unitsOf(U"Имя\tЦена\nx\t1", 2, true, false),
                Tsv,
                {{"Имя", "Цена"}, {"x", "1"}}},
        CsvCase{"Utf32LittleEndian",
                unitsOf(U"a,\U0001F600\n漢", 4, false, true),
                Csv,
                {{"a", "\xF0\x9F\x98\x80"}, {"漢"}}},
        CsvCase{"Utf32BigEndian", unitsOf(U"a,b", 4, true, true), Csv, {{"a", "b"}}},
        CsvCase{
            "Utf32WithoutMark", unitsOf(U"ab,c\nd", 4, false, false), Csv, {{"ab", "c"}, {"d"}}},
        CsvCase{"InvalidUnitsBecomeReplacementCharacters",
                unitsOf(U"a,b\n", 4, false, true) + std::string("\x00\xD8\0\0\0\0\x11\0", 8),
                Csv,
                {{"a", "b"}, {"\xEF\xBF\xBD\xEF\xBF\xBD"}}},
        CsvCase{"UnpairedSurrogatesBecomeReplacementCharacters",
                std::string("\xFF\xFE"
                            "a\0\x00\xDC,\0\x3D\xD8",
                            10),
                Csv,
                {{"a\xEF\xBF\xBD", "\xEF\xBF\xBD"}}},
        CsvCase{"SeparatorLine", "sep=;\na;b,c\n", Csv, {{"a", "b,c"}}},
        CsvCase{"QuotedSeparatorLineAfterMark",
                "\xEF\xBB\xBF\"sep=|\"\r\n\"x|y\"|z",
                Csv,
                {{"x|y", "z"}}},
        CsvCase{"SeparatorLineQuotesPlainText", "sep=,\r\"a,b\",c", Plain, {{"a,b", "c"}}},
        CsvCase{
            "SeparatorLineInUtf16", unitsOf(U"sep=;\r\n1;2", 2, false, true), Csv, {{"1", "2"}}},
        CsvCase{"SeparatorLineAlone", "sep=;", Csv, {}},
        CsvCase{"SeparatorLineAndCrLf", "\"sep=;\"\r\n1;2\r\n3", Csv, {{"1", "2"}, {"3"}}},
        CsvCase{"QuotedLineEndsAcrossLines",
                "\"a\r\n\"\"\r\r\nb\"c\r\n\"\"\"\"\r\n\"",
                Csv,
                {{"a\n\"\r\nbc"}, {"\""}}},
        CsvCase{"LongerLineIsData", "sep=;;\nsep=\n", Csv, {{"sep=;;"}, {"sep="}}},
        CsvCase{"OnlyAUtf32Mark", std::string("\xFF\xFE\0\0", 4), Csv, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DelimitedText, SheetIsNamedAfterTheFile)
{
    EXPECT_EQ(openDelimitedText("Book1_1.xls", bytesOf("a\t"), Plain)->sheetName(1), "Book1_1");
    EXPECT_EQ(openDelimitedText("data.tsv", bytesOf(""), Tsv)->sheetName(1), "data");
}

TEST(DelimitedText, LineWiderThanASheetIsAnError)
{
    std::string line;
    for (int i = 0; i <= engine::MaxColumns; ++i) {
        line += "x,";
    }
    auto book = openDelimitedText("wide.csv", bytesOf(line), Csv);
    try {
        (void)book->loadSheet(1);
        FAIL() << "no error";
    } catch (const ReadError& e) {
        EXPECT_NE(std::string(e.what()).find("\"wide.csv\""), std::string::npos);
    }
}

// A text file has no grid: rows past the grid's last are read, held whole and in parts.
TEST(DelimitedText, MoreLinesThanTheGridHasRowsAreRead)
{
    const std::string text = "x\n" + std::string(engine::MaxRows, '\n') + "y,z\n";
    const engine::UsedRange range{engine::MaxRows + 2, 2};
    const auto book = openDelimitedText("long.csv", bytesOf(text), Csv);
    const engine::Sheet whole = book->loadSheet(1);
    EXPECT_EQ(whole.usedRange(), range);
    EXPECT_EQ(whole.text(engine::MaxRows + 2, 2), "z");
    for (const TextReading reading :
         {TextReading{}, TextReading{.blockSize = 4096, .wholeBytes = 0, .wholeLines = 0}}) {
        const auto read = openDelimitedText("long.csv", bytesOf(text), Csv, reading);
        const auto parts = read->loadSheetInParts(1);
        EXPECT_EQ(parts->summary().usedRange, range);
        const engine::Sheet joined = joinedParts(*parts);
        EXPECT_EQ(joined.text(1, 1), "x");
        EXPECT_EQ(joined.text(engine::MaxRows + 2, 1), "y");
    }
}

// A file is read block by block from the disk, once for its summary and again for its bands.
TEST(DelimitedText, FileIsReadInBlocksTwice)
{
    const TempDir dir;
    std::string text;
    for (int r = 1; r <= 3000; ++r) {
        text += "\"line\r\n" + std::to_string(r) + "\",\xE2\x82\xAC" + std::to_string(r) + "\r\n";
    }
    writeFile(dir.path() / "blocks.csv", text);
    const TextReading reading{.blockSize = 97, .wholeBytes = 1000, .wholeLines = 100};
    const auto book = engine::readers::openDelimitedTextFile(
        dir.path() / "blocks.csv", "blocks.csv", Csv, reading);
    const auto parts = book->loadSheetInParts(1);
    EXPECT_EQ(parts->summary().usedRange, (engine::UsedRange{3000, 2}));
    EXPECT_EQ(parts->summary().columnCells, (std::vector<std::uint64_t>{0, 3000, 3000}));
    // "line\n1" to "line\n3000", "€1" to "€3000": 10,893 digits, and 5 or 3 bytes besides.
    EXPECT_EQ(parts->summary().columnTextBytes,
              (std::vector<std::uint64_t>{0, 10893 + 5 * 3000, 10893 + 3 * 3000}));
    const engine::Sheet joined = joinedParts(*parts);
    EXPECT_EQ(joined.text(2999, 1), "line\n2999");
    EXPECT_EQ(joined.text(3000, 2), "€3000");
}

TEST(DelimitedText, DialectFollowsTheName)
{
    EXPECT_EQ(dialectForName("a.csv"), Csv);
    EXPECT_EQ(dialectForName("A.CSV"), Csv);
    EXPECT_EQ(dialectForName("a.tsv"), Tsv);
    EXPECT_EQ(dialectForName("Book1_1.xls"), Plain);
    EXPECT_EQ(dialectForName("csv"), Plain);
}

TEST(DelimitedText, WebPagesAndXmlAreNotReadAsText)
{
    for (const char* text : {"<html><table><tr><td>1</td></tr></table></html>",
                             "\r\n<?xml version=\"1.0\"?><Workbook/>",
                             "<!DOCTYPE html>\n<TABLE>"}) {
        try {
            (void)openDelimitedText("page.xls", bytesOf(text), Plain);
            ADD_FAILURE() << text;
        } catch (const ReadError& e) {
            EXPECT_NE(std::string(e.what()).find("\"page.xls\": it is a web page"),
                      std::string::npos);
        }
    }
    EXPECT_EQ(openDelimitedText("a.csv", bytesOf("<5,<b>"), Csv)->loadSheet(1).text(1, 2), "<b>");
}

TEST(DelimitedText, TextIsToldFromBinary)
{
    EXPECT_TRUE(looksLikeText(bytesOf("Name\tQty\r\n")));
    EXPECT_TRUE(looksLikeText(bytesOf(std::string("\xFF\xFE"
                                                  "a\0",
                                                  4))));
    EXPECT_FALSE(looksLikeText(bytesOf(std::string("abc\0def", 7))));
    EXPECT_TRUE(looksLikeText(bytesOf(unitsOf(U"Name,Qty\n", 2, false, false))));
    EXPECT_TRUE(looksLikeText(bytesOf(unitsOf(U"Name,Qty\n", 4, true, false))));
    EXPECT_FALSE(looksLikeText(bytesOf("\x01\x02\x03\x04 binary \x05\x06")));
}

} // namespace
} // namespace sheetfray::testing
