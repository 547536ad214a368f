// Writes the generated sample workbooks into a folder: a customer list, and monthly sales over
// several sheets with dates, percents and currency. The inventory (.ods) and the timesheet
// (.xls) beside this file were saved once by an office suite; the build copies them.
#include "tests/builders/XlsxBuilder.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using sheetfray::testing::XlsxBuilder;

std::string cell(const std::string& ref, const std::string& body, std::uint32_t style = 0)
{
    std::string xml = "<c r=\"" + ref + "\"";
    if (style != 0) {
        xml += " s=\"" + std::to_string(style) + "\"";
    }
    return xml + ">" + body + "</c>";
}

std::string text(const std::string& ref, const std::string& value)
{
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + XlsxBuilder::escape(value)
        + "</t></is></c>";
}

void customers(const std::filesystem::path& folder)
{
    XlsxBuilder book;
    book.addTableSheet("Customers",
                       {{"Customer", "City", "Phone", "Orders"},
                        {"Alder & Sons", "Leeds", "0113 496 0000", 12},
                        {"Birchwood Ltd", "Cork", "021 490 0000", 7},
                        {"Cedar Café", "Lyon", "04 72 00 00 00", 31},
                        {"Dunmore Books", "Perth", "08 9200 0000", 3},
                        {"Elmstead Farm", "Utrecht", "030 200 0000", 18}});
    book.save(folder / "Customers.xlsx");
}

void sales(const std::filesystem::path& folder)
{
    XlsxBuilder book;
    const std::uint32_t date = book.addNumberFormat("d mmm yyyy");
    const std::uint32_t money = book.addNumberFormat("#,##0.00 [$€-407]");
    const std::uint32_t percent = book.addBuiltinFormat(10);
    const char* months[] = {"January", "February", "March"};
    for (int m = 0; m < 3; ++m) {
        std::string rows = "<row r=\"1\">" + text("A1", "Date") + text("B1", "Product")
            + text("C1", "Amount") + text("D1", "Discount") + "</row>";
        for (int r = 2; r <= 8; ++r) {
            const std::string n = std::to_string(r);
            const int serial = 46023 + m * 31 + r * 3; // January 2026 on
            rows += "<row r=\"" + n + "\">"
                + cell("A" + n, "<v>" + std::to_string(serial) + "</v>", date)
                + text("B" + n, r % 2 ? "Lamp" : "Desk")
                + cell("C" + n, "<v>" + std::to_string(120 + r * 17.25 + m * 40) + "</v>", money)
                + cell("D" + n, "<v>" + std::to_string((r % 4) * 0.05) + "</v>", percent)
                + "</row>";
        }
        book.addSheet(months[m], rows);
    }
    book.save(folder / "Sales.xlsx");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: sheetfray-samples FOLDER\n", stderr);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    customers(folder);
    sales(folder);
    return 0;
}
