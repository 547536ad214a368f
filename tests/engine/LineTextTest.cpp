#include "engine/LineText.h"

#include "engine/TextOutput.h"
#include "support/Error.h"

#include <gtest/gtest.h>

#include <string>

namespace sheetfray::testing {
namespace {

constexpr std::int32_t Rows = 5000; // long enough for columns to be rendered ahead
constexpr std::int32_t Columns = 7;

// Numbers, texts, booleans and gaps, each telling its row and column apart.
engine::Sheet tallSheet()
{
    engine::SheetBuilder b("Tall", nullptr);
    for (std::int32_t row = 1; row <= Rows; ++row) {
        for (std::int32_t column = 1; column <= Columns; ++column) {
            switch ((row + column) % 4) {
            case 0:
                b.addNumber(row, column, row * 10 + column + 0.25, 0);
                break;
            case 1:
                b.addText(row, column, "r" + std::to_string(row) + "c" + std::to_string(column), 0);
                break;
            case 2:
                b.addBoolean(row, column, row % 2 == 0, 0);
                break;
            default:
                break; // no cell here
            }
        }
    }
    return b.finish();
}

TEST(ColumnsAhead, GivesEachColumnAsTheWalkWouldRenderItAndInOrder)
{
    const engine::Sheet sheet = tallSheet();
    std::vector<engine::LineText> expected(Columns + 1);
    for (std::int32_t column = 1; column <= Columns; ++column) {
        engine::renderColumn(sheet, column, Rows, ", ", expected[column]);
    }
    EXPECT_EQ(expected[3].text.substr(0, 27), "13.25, r2c3, FALSE, , 53.25");
    EXPECT_EQ(expected[3].firstLength, 5u);
    EXPECT_EQ(expected[3].separatorOffsets.size(), static_cast<std::size_t>(Rows));

    // Twice over one walk's buffers, as two sheets of a workbook would use them.
    engine::LineText line;
    for (int pass = 0; pass < 2; ++pass) {
        engine::ColumnsAhead ahead(sheet, Rows, ", ");
        for (std::int32_t column = 1; column <= Columns; ++column) {
            line.clear();
            ahead.next(column, Columns, line);
            EXPECT_EQ(line.text, expected[column].text) << column;
            EXPECT_EQ(line.separatorOffsets, expected[column].separatorOffsets) << column;
            EXPECT_EQ(line.firstLength, expected[column].firstLength) << column;
        }
    }
}

TEST(RenderRow, ALongCellIsNotCopiedIntoTwiceItsRoom)
{
    constexpr std::size_t Size = 16u << 20;
    engine::SheetBuilder b("Long", nullptr);
    b.addText(1, 1, std::string(Size, 'x'), 0);
    b.addText(1, 2, "b", 0);
    const engine::Sheet sheet = b.finish();
    engine::LineText line;
    engine::renderRow(sheet, sheet.rowCells(1), 3, ",", line);
    EXPECT_EQ(line.text.size(), Size + 4);
    EXPECT_LT(line.text.capacity(), Size * 3 / 2);
}

// A line of these fields, each followed by the separator, as the walk renders it.
engine::LineText lineOf(const std::vector<std::string>& fields, std::string_view separator)
{
    engine::LineText line;
    for (const std::string& field : fields) {
        line.text += field;
        line.separatorOffsets.push_back(line.text.size());
        line.text += separator;
    }
    return line;
}

TEST(QuoteFields, QuotesWhatACsvReaderWouldMisreadAndKeepsTheOffsetsTrue)
{
    struct Case
    {
        std::vector<std::string> fields;
        std::string separator;
        std::string expected;
    };

    const std::vector<Case> cases{
        {{"Pen", "3"}, ",", "Pen,3,"},
        {{"a,b", "say \"hi\"", ""}, ",", "\"a,b\",\"say \"\"hi\"\"\",,"},
        {{"two\nlines", "cr\r"}, ",", "\"two\nlines\",\"cr\r\","},
        // Only the separator chosen counts: a comma is plain text between semicolons.
        {{"a,b", "c; d"}, "; ", "a,b; \"c; d\"; "},
        {{"a\r\nb", "x"}, "\r\n", "\"a\r\nb\"\r\nx\r\n"},
        {{"a,b", "\""}, "", "a,b\"\"\"\""},
    };
    for (const Case& c : cases) {
        engine::LineText line = lineOf(c.fields, c.separator);
        engine::quoteFields(line, c.separator);
        EXPECT_EQ(line.text, c.expected);
        for (const std::size_t offset : line.separatorOffsets) {
            EXPECT_EQ(line.text.substr(offset, c.separator.size()), c.separator) << c.expected;
        }
    }
    std::string cell = "a,b";
    engine::quoteField(cell); // a cell file has no separator to be mistaken
    EXPECT_EQ(cell, "a,b");
    cell = "6\" nail\n";
    engine::quoteField(cell);
    EXPECT_EQ(cell, "\"6\"\" nail\n\"");
}

TEST(JsonLine, EscapesWhatJsonMustAndGivesKeysToBlankOrRepeatedHeaders)
{
    const std::vector<std::pair<std::string, std::string>> strings{
        {"Pen", R"("Pen")"},
        {"a\"b\\c/", R"("a\"b\\c/")"},
        {"\t\n\r\b\f\x01\x1f", R"("\t\n\r\b\f\u0001\u001f")"},
        {"\xC3\xA9\xE2\x82\xAC", "\"\xC3\xA9\xE2\x82\xAC\""},
        {"\xE2\x80\xA8", R"("\u2028")"},
        // Bytes that are not UTF-8 (a lone continuation, a cut sequence) become U+FFFD.
        {"a\x80z\xE2\x82", "\"a\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const auto& [text, expected] : strings) {
        std::string out;
        engine::appendJsonString(text, out);
        EXPECT_EQ(out, expected);
    }
    const engine::LineText header = lineOf({"Name", "Qty", "Name", " ", "B", ""}, ",");
    const std::vector<std::string> keys = engine::headerKeys(header, 1);
    EXPECT_EQ(keys, (std::vector<std::string>{"Name", "Qty", "C", "D", "B", "F"}));
    const engine::LineText clash = lineOf({"", "A"}, ",");
    EXPECT_EQ(engine::headerKeys(clash, 1), (std::vector<std::string>{"A (2)", "A"}));
    // Headers that differ only in bytes that are not UTF-8 are written alike.
    const engine::LineText broken = lineOf({"\xEF", "\xA9"}, ",");
    EXPECT_EQ(engine::headerKeys(broken, 1), (std::vector<std::string>{"\xEF\xBF\xBD", "B"}));

    std::string out;
    engine::appendJsonLine(lineOf({"Pen", "", "x\"y"}, "\r\n"), 2, nullptr, out);
    EXPECT_EQ(out, "[\"Pen\",\"\",\"x\\\"y\"]\n");
    out.clear();
    const std::vector<std::string> two{"Name", "Qty"};
    engine::appendJsonLine(lineOf({"Pen", "3"}, ""), 0, &two, out);
    EXPECT_EQ(out, "{\"Name\":\"Pen\",\"Qty\":\"3\"}\n");
}

TEST(TextEncoding, WritesEachEncodingWithAQuestionMarkForWhatItLacks)
{
    const std::string text = "P\xC3\xA9 \xE2\x82\xAC \xCE\xA9 \xF0\x9F\x98\x80"; // Pé € Ω 😀
    const std::vector<std::pair<std::string, std::string>> cases{
        {"utf-8", text},
        {"UTF8", text},
        {"utf-8-bom", "\xEF\xBB\xBF" + text},
        {"utf-16le", std::string("\xFF\xFEP\0\xE9\0 \0\xAC\x20 \0\xA9\x03 \0\x3D\xD8\x00\xDE", 20)},
        {"cp1252", "P\xE9 \x80 ? ?"},
        {"latin1", "P\xE9 ? ? ?"},
        {"UTF-16BE", std::string("\0P\0\xE9\0 \x20\xAC\0 \x03\xA9\0 \xD8\x3D\xDE\x00", 18)},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(engine::TextEncoding::named(name).encode(text), expected) << name;
    }
    EXPECT_TRUE(engine::TextEncoding::named("Utf_8").isPlainUtf8());
    EXPECT_FALSE(engine::TextEncoding::named("utf-8-bom").isPlainUtf8());
    EXPECT_THROW(static_cast<void>(engine::TextEncoding::named("no-such-set")), Error);
}

} // namespace
} // namespace sheetfray::testing
