// Writes the benchmark workbook: SHEETS sheets (default 1) of ROWS rows by COLUMNS columns of
// mixed types, fixed seed.
#include "tests/builders/XlsxBuilder.h"

#include <cstdio>
#include <random>
#include <string>

namespace {

using sheetfray::testing::XlsxBuilder;

// Column types cycle through texts with repetition, integers, two-decimal numbers, percents,
// dates, booleans and blanks, as a real export would hold them.
std::string makeRows(std::mt19937& random,
                     int rows,
                     int columns,
                     std::uint32_t percentStyle,
                     std::uint32_t dateStyle)
{
    std::uniform_int_distribution<int> word(0, 499);
    std::uniform_int_distribution<int> integer(-100000, 100000);
    std::uniform_real_distribution<double> real(-10000, 10000);
    std::uniform_int_distribution<int> day(36526, 47482); // 2000 to 2029
    std::string xml;
    xml.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns) * 40);
    char buffer[64];
    for (int r = 1; r <= rows; ++r) {
        xml += "<row r=\"" + std::to_string(r) + "\">";
        for (int c = 1; c <= columns; ++c) {
            const std::string ref = XlsxBuilder::columnName(c) + std::to_string(r);
            switch ((c - 1) % 7) {
            case 0:
                xml +=
                    "<c r=\"" + ref + "\" t=\"s\"><v>" + std::to_string(word(random)) + "</v></c>";
                break;
            case 1:
                xml += "<c r=\"" + ref + "\"><v>" + std::to_string(integer(random)) + "</v></c>";
                break;
            case 2:
                std::snprintf(buffer, sizeof buffer, "%.2f", real(random));
                xml += "<c r=\"" + ref + "\"><v>" + buffer + "</v></c>";
                break;
            case 3:
                std::snprintf(buffer, sizeof buffer, "%.4f", real(random) / 10000);
                xml += "<c r=\"" + ref + "\" s=\"" + std::to_string(percentStyle) + "\"><v>"
                    + buffer + "</v></c>";
                break;
            case 4:
                xml += "<c r=\"" + ref + "\" s=\"" + std::to_string(dateStyle) + "\"><v>"
                    + std::to_string(day(random)) + "</v></c>";
                break;
            case 5:
                xml += "<c r=\"" + ref + "\" t=\"b\"><v>" + std::to_string(r % 2) + "</v></c>";
                break;
            default:
                break; // blank
            }
        }
        xml += "</row>";
    }
    return xml;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4 && argc != 5) {
        std::fputs("usage: sheetfray-bench-workbook OUT.xlsx ROWS COLUMNS [SHEETS]\n", stderr);
        return 2;
    }
    const int rows = std::stoi(argv[2]);
    const int columns = std::stoi(argv[3]);
    const int sheets = argc == 5 ? std::stoi(argv[4]) : 1;
    XlsxBuilder builder;
    std::vector<std::string> words;
    for (int i = 0; i < 500; ++i) {
        words.push_back("item " + std::to_string(i * 7919 % 1000));
    }
    builder.setSharedStrings(words);
    const std::uint32_t percent = builder.addBuiltinFormat(10);
    const std::uint32_t date = builder.addBuiltinFormat(14);
    // One generator for all sheets: the first sheet is the same whatever the sheet count.
    std::mt19937 random(20261208);
    for (int sheet = 1; sheet <= sheets; ++sheet) {
        const std::string name = sheet == 1 ? "Data" : "Data" + std::to_string(sheet);
        builder.addSheet(name, makeRows(random, rows, columns, percent, date));
    }
    builder.save(argv[1]);
    return 0;
}
