#include "engine/readers/LiteralText.h"

#include "engine/Sheet.h"
#include "engine/format/NumberFormat.h"
#include "engine/readers/FileHost.h"
#include "tests/builders/ZipPackage.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace sheetfray::engine::readers {
namespace {

std::string render(const format::NumberFormat& format, double value)
{
    std::string out;
    format.render(value, format::DateSystem::Date1900, out);
    return out;
}

// The reader keeps a plain literal's text without compiling its format: the format would
// have shown exactly that text for any value. Pins that promise to the format compiler.
TEST(LiteralText, PlainLiteralsCompileToFormatsThatShowThemForEveryValue)
{
    std::mt19937_64 random(11);
    const std::string alphabet = "0123456789.,-+%$E e#?@;:[]()/\\*_!<>&'\"\t"
                                 "abcXYZ\xC3\xA9\xE2\x82\xAC";
    const double values[] = {0, -0.0, 1, -1, 0.9115, -2597.11, 1e300, -1e-300, 45000.5};
    for (int i = 0; i < 3000; ++i) {
        std::string text;
        const std::size_t length = 1 + random() % (i % 10 == 0 ? 300 : 12);
        while (text.size() < length) {
            text += alphabet[random() % alphabet.size()];
        }
        if (!isPlainLiteral(text)) {
            continue;
        }
        const std::string quoted = "\"" + text + "\"";
        const auto format = format::NumberFormat::compile(quoted + ";" + quoted + ";" + quoted);
        for (const double value : values) {
            ASSERT_EQ(render(format, value), text) << text << " with " << value;
        }
    }
    EXPECT_FALSE(isPlainLiteral(""));
    EXPECT_FALSE(isPlainLiteral("say \"hi\""));
    EXPECT_FALSE(isPlainLiteral("line\nbreak"));
    EXPECT_FALSE(isPlainLiteral(std::string(301, 'x')));
    EXPECT_TRUE(isPlainLiteral(std::string(300, 'x')));
}

// Writes an OpenDocument spreadsheet of one row of the given cells.
std::filesystem::path writeRow(const testing::TempDir& dir, const std::string& cells)
{
    const auto path = dir.path() / "row.ods";
    testing::writeZipPackage(
        path,
        {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
         {"content.xml",
          R"(<office:document-content xmlns:office="o" xmlns:table="t" xmlns:text="x">)"
          R"(<office:body><office:spreadsheet><table:table table:name="S"><table:table-row>)"
              + cells
              + "</table:table-row></table:table></office:spreadsheet></office:body>"
                "</office:document-content>"}},
        "mimetype");
    return path;
}

TEST(LiteralText, TextsOfEveryLengthKeepTheirOwnIndex)
{
    // Texts are interned: those of up to 8 bytes in the index's slots, longer ones by hash.
    // Texts that share a prefix, differ in length by one byte or only past the eighth byte,
    // each seen twice, keep their own text; numbers shown as such texts too.
    std::vector<std::string> texts;
    for (const std::string stem : {"a", "ab", "item 98", "item 984", "item 9845", "12345678"}) {
        texts.push_back(stem);
        texts.push_back(stem + " ");
        texts.push_back(stem + "x");
        texts.push_back(stem + "12345678");
    }
    std::string cells;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& text : texts) {
            cells += R"(<table:table-cell office:value-type="string"><text:p>)" + text
                + "</text:p></table:table-cell>";
            cells += R"(<table:table-cell office:value-type="float" office:value="7"><text:p>)"
                + text + "%</text:p></table:table-cell>";
        }
    }
    testing::TempDir dir;
    const Sheet sheet = openWorkbookFile(writeRow(dir, cells))->loadSheet(1);
    int column = 1;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& text : texts) {
            EXPECT_EQ(sheet.text(1, column++), text);
            EXPECT_EQ(sheet.text(1, column++), text + "%");
        }
    }
}

TEST(LiteralText, NumbersShownAsTextsOfTheirOwnKeepValueAndText)
{
    // A percentage, a formula's TRUE as the number 1, a plain number General shows, and a
    // number whose text needs a quote, which goes through a compiled literal format.
    const std::string cells =
        R"(<table:table-cell office:value-type="percentage" office:value="0.9115">)"
        R"(<text:p>91.15%</text:p></table:table-cell>)"
        R"(<table:table-cell office:value-type="float" office:value="1"><text:p>TRUE</text:p>)"
        R"(</table:table-cell><table:table-cell office:value-type="float" office:value="-2.5">)"
        R"(<text:p>-2.5</text:p></table:table-cell>)"
        R"(<table:table-cell office:value-type="float" office:value="3">)"
        R"(<text:p>3 &quot;in&quot;</text:p></table:table-cell>)";
    testing::TempDir dir;
    const Sheet sheet = openWorkbookFile(writeRow(dir, cells))->loadSheet(1);
    const std::pair<std::string, double> expected[] = {
        {"91.15%", 0.9115}, {"TRUE", 1}, {"-2.5", -2.5}, {"3 \"in\"", 3}};
    for (int column = 1; column <= 4; ++column) {
        const auto& [text, number] = expected[column - 1];
        EXPECT_EQ(sheet.text(1, column), text);
        const CellValue value = sheet.value(1, column);
        EXPECT_EQ(value.kind, CellValue::Kind::Number) << text;
        EXPECT_EQ(value.number, number) << text;
    }
}

} // namespace
} // namespace sheetfray::engine::readers
