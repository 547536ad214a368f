// sheetfray-dump: prints what the readers see in workbooks, one JSON object per line.
//
//   {"workbook": "q3.xlsx", "sheets": 2}
//   {"sheet": "Data", "index": 1, "lastRow": 3, "lastColumn": 2}
//   {"row": 1, "column": 1, "text": "Name", "value": "Name", "type": "s"}
//   {"workbook": "bad.xlsx", "error": "cannot read \"bad.xlsx\": ..."}
//
// Types: n number, d date (value is the serial), s text, b boolean, e error, z blank.
#include "engine/readers/FileHost.h"
#include "support/Error.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <exception>
#include <iostream>

namespace {

using sheetfray::engine::CellValue;
using sheetfray::engine::Sheet;
using sheetfray::engine::StoredCell;
using Json = nlohmann::ordered_json;

void print(const Json& line)
{
    // Texts come from files: a byte that is not UTF-8 is shown as U+FFFD, not refused.
    std::cout << line.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

Json cellLine(const Sheet& sheet, const StoredCell& cell)
{
    Json line;
    line["row"] = cell.row;
    line["column"] = cell.column;
    std::string text;
    sheet.appendText(cell, text);
    line["text"] = text;
    const CellValue value = sheet.value(cell);
    switch (value.kind) {
    case CellValue::Kind::Empty:
        line["value"] = nullptr;
        line["type"] = "z";
        break;
    case CellValue::Kind::Number:
        line["value"] = value.number;
        line["type"] = "n";
        break;
    case CellValue::Kind::Date:
        line["value"] = value.number;
        line["type"] = "d";
        break;
    case CellValue::Kind::Text:
        line["value"] = std::string(value.text);
        line["type"] = "s";
        break;
    case CellValue::Kind::Boolean:
        line["value"] = value.boolean;
        line["type"] = "b";
        break;
    case CellValue::Kind::Error:
        line["value"] = std::string(value.text);
        line["type"] = "e";
        break;
    }
    return line;
}

// Returns false when the workbook could not be opened.
bool dumpWorkbook(const std::string& path)
{
    std::unique_ptr<sheetfray::engine::Workbook> workbook;
    try {
        workbook = sheetfray::engine::readers::openWorkbookFile(path);
    } catch (const sheetfray::ReadError& e) {
        print(Json{{"workbook", path}, {"error", e.what()}});
        return false;
    }
    print(Json{{"workbook", std::string(workbook->name())}, {"sheets", workbook->sheetCount()}});
    for (std::int32_t index = 1; index <= workbook->sheetCount(); ++index) {
        Json header{{"sheet", std::string(workbook->sheetName(index))}, {"index", index}};
        try {
            const Sheet sheet = workbook->loadSheet(index);
            header["lastRow"] = sheet.usedRange().lastRow;
            header["lastColumn"] = sheet.usedRange().lastColumn;
            print(header);
            for (const StoredCell& cell : sheet.cells()) {
                print(cellLine(sheet, cell));
            }
        } catch (const sheetfray::ReadError& e) {
            header["error"] = e.what();
            print(header);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::cerr << "usage: sheetfray-dump WORKBOOK...\n";
        return 2;
    }
    try {
        bool allOpened = true;
        for (int i = 1; i < argc; ++i) {
            allOpened = dumpWorkbook(argv[i]) && allOpened;
        }
        return allOpened ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "sheetfray-dump: " << e.what() << '\n';
        return 3;
    }
}
