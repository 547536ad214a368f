#include "support/Error.h"

#include <gtest/gtest.h>

#include <string>

namespace sheetfray::testing {
namespace {

using Reason = ReadError::Reason;

struct MessageCase
{
    const char* name;
    ReadError error;
    const char* expected;
};

// The messages as the readers have always worded them.
TEST(ReadError, MessageNamesFileSheetAndPartAroundTheReason)
{
    const MessageCase cases[] = {
        {"NoFileYet",
         ReadError(Reason::Damaged, "a record ends before its data"),
         "the workbook is damaged (a record ends before its data)"},
        {"File",
         ReadError(Reason::PasswordProtected, {}, {.file = "q3.xlsx"}),
         "cannot read \"q3.xlsx\": it is password-protected"},
        {"FileAndSheet",
         ReadError(Reason::ChartSheet, {}, {.file = "book.xls", .sheet = "Диаграмма"}),
         "cannot read sheet \"Диаграмма\" of \"book.xls\": it is a chart sheet, which has no "
         "cells"},
        {"PartAndDetail",
         ReadError(Reason::XmlMalformed,
                   "mismatched tag at line 3",
                   {.file = "book.xlsx", .part = "xl/part.xml"}),
         "cannot read \"book.xlsx\": the workbook is damaged (xl/part.xml: mismatched tag at "
         "line 3)"},
        {"SheetAndPart",
         ReadError(Reason::PartMissing,
                   {},
                   {.file = "book.xlsx", .sheet = "Data", .part = "xl/worksheets/sheet2.xml"}),
         "cannot read sheet \"Data\" of \"book.xlsx\": the workbook is damaged (the part "
         "xl/worksheets/sheet2.xml is missing)"},
        {"WordsThatNameTheFile",
         ReadError(Reason::NoSuchSheetInFile, "2", {.file = "data.csv"}),
         "\"data.csv\" has no sheet 2"},
        {"TerminalEscapesInNamesAreShownEscaped",
         ReadError(Reason::ChartSheet,
                   {},
                   {.file = "b\x9b"
                            "1m.xls",
                    .sheet = "\x1b]0;owned\x07\x1b[2J"}),
         "cannot read sheet \"\\x1b]0;owned\\x07\\x1b[2J\" of \"b\\x9b1m.xls\": it is a chart "
         "sheet, which has no cells"},
        {"BracesInTheDetailStay",
         ReadError(Reason::Damaged, "the stream \"{part}\" is missing", {.part = "xl/a.xml"}),
         "the workbook is damaged (the stream \"{part}\" is missing)"},
    };
    for (const MessageCase& c : cases) {
        EXPECT_STREQ(c.error.what(), c.expected) << c.name;
    }
}

TEST(ReadError, QuotedDetailIsCutAndKeepsItsClosingQuote)
{
    const ReadError error(
        Reason::OtherOpenDocument, "text/\x1b[2J" + std::string(1 << 20, 'x'), {.file = "a.ods"});
    // 199 characters ("text/", the escape counted as one, "[2J" and 190 more), then "…".
    EXPECT_EQ(std::string(error.what()),
              "cannot read \"a.ods\": it is not a spreadsheet file (it is an OpenDocument "
              "\"text/\\x1b[2J"
                  + std::string(190, 'x') + "\u2026\" document)");
}

TEST(ReadError, TheFirstNameGivenStays)
{
    ReadError error(Reason::SheetDamaged, "cell A1 holds \"x\", which is not a number");
    EXPECT_STREQ(error.what(), "the sheet is damaged (cell A1 holds \"x\", which is not a number)");
    error.nameSheet("Data");
    error.nameFile("inner.xlsx");
    error.nameSheet("Other");
    error.nameFile("outer.xlsx");
    EXPECT_EQ(error.place().file, "inner.xlsx");
    EXPECT_STREQ(error.what(),
                 "cannot read sheet \"Data\" of \"inner.xlsx\": the sheet is damaged (cell A1 "
                 "holds \"x\", which is not a number)");
}

} // namespace
} // namespace sheetfray::testing
