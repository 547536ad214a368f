#include "cli/Options.h"

#include "cli/Console.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

cli::Options parse(std::vector<std::string> arguments)
{
    const cli::ParseResult result = cli::parseOptions(arguments);
    EXPECT_TRUE(result.options) << result.error;
    return result.options.value_or(cli::Options{});
}

TEST(CommandLine, DefaultsAreRowsTextEnterNumberHere)
{
    const cli::Options options = parse({"a.xlsx"});
    EXPECT_EQ(options.mode, engine::SplitMode::Rows);
    EXPECT_FALSE(options.spreadsheetKind);
    EXPECT_EQ(options.separator, engine::SeparatorChoice::Enter);
    EXPECT_EQ(options.naming, engine::NamingScheme::FileNamePlusNumber);
    EXPECT_EQ(options.outputFolder, ".");
    EXPECT_EQ(options.folder, engine::FolderChoice::ChosenFolder);
    EXPECT_EQ(options.workbooks, (std::vector<std::string>{"a.xlsx"}));
}

TEST(CommandLine, EveryChoiceInBothSpellings)
{
    const cli::Options options = parse({"--each",
                                        "cell",
                                        "--kind=tab-text",
                                        "--name",
                                        "first-value",
                                        "--output=/tmp",
                                        "--beside-source",
                                        "b.xls",
                                        "--",
                                        "--odd.xlsx"});
    EXPECT_EQ(options.mode, engine::SplitMode::Cells);
    EXPECT_EQ(options.kind, engine::OutputKind::TabText);
    EXPECT_TRUE(options.spreadsheetKind);
    EXPECT_EQ(options.naming, engine::NamingScheme::FirstCellValue);
    EXPECT_EQ(options.outputFolder, "/tmp");
    EXPECT_EQ(options.folder, engine::FolderChoice::SourceFolder);
    EXPECT_EQ(options.workbooks, (std::vector<std::string>{"b.xls", "--odd.xlsx"}));
}

TEST(CommandLine, ShortOptionsPrefixesAndWorkbooksAnywhere)
{
    const cli::Options options = parse({"a.xlsx",
                                        "-ecolumn",
                                        "-k",
                                        "spreadsheet",
                                        "-qv",
                                        "--out=/tmp",
                                        "-n",
                                        "location",
                                        "--skip-h",
                                        "--sheet",
                                        "2",
                                        "--sheet=Totals",
                                        "-",
                                        "--jobs",
                                        "3",
                                        "--",
                                        "-o"});
    EXPECT_EQ(options.mode, engine::SplitMode::Columns);
    EXPECT_EQ(options.kind, engine::OutputKind::Spreadsheet);
    EXPECT_TRUE(options.spreadsheetKind);
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.verbose);
    EXPECT_EQ(options.outputFolder, "/tmp");
    EXPECT_EQ(options.naming, engine::NamingScheme::CellLocation);
    EXPECT_TRUE(options.skipHidden);
    EXPECT_EQ(options.sheets, (std::vector<std::string>{"2", "Totals"}));
    EXPECT_EQ(options.jobs, 3);
    EXPECT_EQ(options.workbooks, (std::vector<std::string>{"a.xlsx", "-", "-o"}));
    // The parser starts afresh on each call.
    EXPECT_EQ(parse({"b.xls"}).workbooks, (std::vector<std::string>{"b.xls"}));
}

TEST(CommandLine, TextFormChoices)
{
    const cli::Options options =
        parse({"--kind=json", "--head", "--enc", "UTF-8", "--eol=lf", "--zip", "a.zip", "b"});
    EXPECT_EQ(options.kind, engine::OutputKind::Json);
    EXPECT_FALSE(options.spreadsheetKind);
    EXPECT_TRUE(options.header);
    EXPECT_EQ(options.encoding, "UTF-8");
    EXPECT_TRUE(options.lfLineEnds);
    EXPECT_EQ(options.zip, "a.zip");
    EXPECT_FALSE(parse({"--eol", "crlf", "a"}).lfLineEnds);
    EXPECT_TRUE(parse({"--quote", "-s", "comma", "a"}).quote);
}

TEST(CommandLine, CustomSeparatorMayBeEmpty)
{
    const cli::Options empty = parse({"--separator-text", "", "a"});
    EXPECT_EQ(empty.separator, engine::SeparatorChoice::Custom);
    EXPECT_EQ(empty.customSeparator, "");
    const cli::Options later = parse({"--separator-text=; ", "--separator", "comma-space", "a"});
    EXPECT_EQ(later.separator, engine::SeparatorChoice::CommaSpace);
}

TEST(CommandLine, WrongWordsAreRefusedWithTheReason)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--each", "sheet"}, "invalid argument 'sheet' for '--each'"},
        {{"-s", "tab"}, "invalid argument 'tab' for '-s'"},
        {{"--kind"}, "option '--kind' requires an argument"},
        {{"a", "-o"}, "option requires an argument -- 'o'"},
        {{"--colour", "red"}, "unrecognized option '--colour'"},
        {{"--colour=red"}, "unrecognized option '--colour'"},
        {{"-x"}, "invalid option -- 'x'"},
        {{"--name=title"}, "invalid argument 'title' for '--name'"},
        {{"--s", "x"}, "option '--s' is ambiguous"},
        {{"--help=yes"}, "option '--help' does not take a value"},
        {{"--pad", "-1"}, "invalid argument '-1' for '--pad'"},
        {{"--jobs", "0"}, "invalid argument '0' for '--jobs'"},
        {{"--jobs=2x"}, "invalid argument '2x' for '--jobs'"},
        {{"--stdin-name", "a/b"}, "invalid argument 'a/b' for '--stdin-name'"},
        {{"--eol", "cr"}, "invalid argument 'cr' for '--eol'"},
        {{"--zip="}, "invalid argument '' for '--zip'"},
        {{"--encoding", "klingon"}, "unknown encoding 'klingon' for '--encoding'"},
        {{"--header", "a"}, "'--header' needs '--kind json'"},
        {{"-k", "json", "--header", "-e", "column"}, "'--header' needs '--each row'"},
        {{"-k", "json", "--quote"}, "'--quote' needs '--kind text'"},
        {{"-k", "json", "--encoding", "cp1252"},
         "'--kind json' is always written in UTF-8: leave out '--encoding cp1252'"},
        {{"-k", "spreadsheet", "--encoding", "utf-16le"},
         "'--encoding' needs a text kind: text, tab-text or json"},
        {{"--zip", "a.zip", "--beside-source"}, "'--zip' and '--beside-source' cannot go together"},
        {{"--zip", "a.zip", "-o", "out"}, "'--zip' writes no folder: leave out '--output'"},
    };
    for (const auto& [arguments, error] : cases) {
        const cli::ParseResult result = cli::parseOptions(arguments);
        EXPECT_FALSE(result.options);
        EXPECT_EQ(result.error, error);
    }
}

TEST(ConsoleReporter, OneLineNamesTheWholePathAndTheReasonAlone)
{
    ErrorReport report{std::string(Location::SaveEachRow), 100, "cannot read \"a.xlsx\": x"};
    report.reason = "the workbook is damaged (it is not a complete zip archive)";
    EXPECT_EQ(cli::reportLine(report, "/data/a.xlsx"),
              "sheetfray-split: /data/a.xlsx: the workbook is damaged (it is not a complete zip "
              "archive)\n");
    // Any other failure keeps its words, on one line.
    const ErrorReport write{std::string(Location::SaveEachRow), 142, "cannot write\n\"o.txt\""};
    EXPECT_EQ(cli::reportLine(write, "/data/a.xlsx"),
              "sheetfray-split: /data/a.xlsx: cannot write \"o.txt\"\n");
}

TEST(ConsoleReporter, PrintsTheReportAsLines)
{
    const ErrorReport report{std::string(Location::SaveEachRow), 100, "cannot read \"a.xlsx\""};
    EXPECT_EQ(cli::reportLines(report),
              "cannot read \"a.xlsx\"\n"
              "in Rendlet2021/08/31.Excel1.SaveEachRow at line 100\n\n"
              "Please email screenshot of this message to support@sheetfray.example\n");
}

} // namespace
} // namespace sheetfray::testing
