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
                                        "--kind=spreadsheet",
                                        "--name",
                                        "first-value",
                                        "--output=/tmp",
                                        "--beside-source",
                                        "b.xls",
                                        "--",
                                        "--odd.xlsx"});
    EXPECT_EQ(options.mode, engine::SplitMode::Cells);
    EXPECT_TRUE(options.spreadsheetKind);
    EXPECT_EQ(options.naming, engine::NamingScheme::FirstCellValue);
    EXPECT_EQ(options.outputFolder, "/tmp");
    EXPECT_EQ(options.folder, engine::FolderChoice::SourceFolder);
    EXPECT_EQ(options.workbooks, (std::vector<std::string>{"b.xls", "--odd.xlsx"}));
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
        {{"--each", "sheet"}, "option --each does not take \"sheet\""},
        {{"--kind"}, "option --kind needs a value"},
        {{"--colour", "red"}, "unknown option --colour"},
        {{"--name=title"}, "option --name does not take \"title\""},
    };
    for (const auto& [arguments, error] : cases) {
        const cli::ParseResult result = cli::parseOptions(arguments);
        EXPECT_FALSE(result.options);
        EXPECT_EQ(result.error, error);
    }
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
