// Runs the sheetfray-split program itself on workbooks built in the test.
#include "tests/builders/XlsxBuilder.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace sheetfray::testing {
namespace {

using Files = std::map<std::string, std::string>;

struct Outcome
{
    int status = -1;
    std::string errors;
};

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char ch : text) {
        out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    }
    return out + "'";
}

class SplitCommand : public ::testing::Test
{
protected:
    TempDir dir;
    std::filesystem::path out = dir.path() / "out";
    std::filesystem::path in = dir.path() / "in";

    void SetUp() override
    {
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(in);
    }

    std::string book1()
    {
        const auto path = in / "Book1.xlsx";
        XlsxBuilder().addTableSheet("Sheet1", {{"Name", "Qty"}, {"Pen", 3}}).save(path);
        return path.string();
    }

    // The files a run into an emptied output folder writes; the run must succeed.
    Files filesWritten(const std::vector<std::string>& arguments)
    {
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 0) << outcome.errors;
        return filesIn(out);
    }

    Outcome run(const std::vector<std::string>& arguments)
    {
        std::string command = quoted(SHEETFRAY_SPLIT_PROGRAM);
        for (const std::string& argument : arguments) {
            command += ' ' + quoted(argument);
        }
        const auto errors = dir.path() / "stderr.txt";
        command += " 2>" + quoted(errors.string()) + " </dev/null";
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.errors = readFile(errors);
        std::filesystem::remove(errors);
        return outcome;
    }
};

TEST_F(SplitCommand, WritesTheWorkedExamplesByteForByte)
{
    const std::string book = book1();
    EXPECT_EQ(filesWritten({"--separator", "comma", "--output", out.string(), book}),
              (Files{{"Book1_1.txt", "Name,Qty,"}, {"Book1_2.txt", "Pen,3,"}}));
    EXPECT_EQ(filesWritten({"--each=column",
                            "--separator=comma",
                            "--name=location",
                            "--output=" + out.string(),
                            book}),
              (Files{{"A1.txt", "Name,Pen,"}, {"B1.txt", "Qty,3,"}}));
    EXPECT_EQ(
        filesWritten({"--each=cell",
                      "--name=first-value",
                      "--kind=spreadsheet",
                      "--output",
                      out.string(),
                      book}),
        (Files{{"Name.xls", "Name"}, {"Qty.xls", "Qty"}, {"Pen.xls", "Pen"}, {"3.xls", "3"}}));
}

TEST_F(SplitCommand, SpreadsheetKindIgnoresTheSeparatorChoice)
{
    EXPECT_EQ(
        run({"--kind", "spreadsheet", "--separator", "comma", "--output", out.string(), book1()})
            .status,
        0);
    EXPECT_EQ(filesIn(out), (Files{{"Book1_1.xls", "Name\tQty\t"}, {"Book1_2.xls", "Pen\t3\t"}}));
}

TEST_F(SplitCommand, BesideSourceWritesIntoEachWorkbooksFolder)
{
    const std::string book = book1();
    // A relative workbook path still means the workbook's own folder.
    const std::string command = "cd " + quoted(in.string()) + " && "
        + quoted(SHEETFRAY_SPLIT_PROGRAM) + " --beside-source --separator-text ';' Book1.xlsx";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readFile(in / "Book1_1.txt"), "Name;Qty;");
    EXPECT_EQ(readFile(in / "Book1_2.txt"), "Pen;3;");
}

TEST_F(SplitCommand, NothingToDoIsAUsageError)
{
    Outcome none = run({"--output", out.string()});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.errors, "No files added.\n");

    Outcome folder = run({"--output", (dir.path() / "nowhere").string(), book1()});
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.errors, "Folder does not exist. Please select another folder.\n");

    Outcome wrong = run({"--each", "page", book1()});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.errors.find("--each"), std::string::npos);
    EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(SplitCommand, BadWorkbookIsReportedAndTheRunGoesOn)
{
    const auto bad = in / "notes.xlsx";
    writeFile(bad, std::string(16, '\0') + "binary junk");
    const Outcome outcome =
        run({"--output", out.string(), bad.string(), (in / "gone.xlsx").string(), book1()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.errors.find("notes.xlsx"), std::string::npos);
    EXPECT_NE(outcome.errors.find("gone.xlsx"), std::string::npos);
    EXPECT_NE(outcome.errors.find("in Rendlet2021/08/31.Excel1.SaveEachRow at line 100"),
              std::string::npos);
    EXPECT_EQ(filesIn(out),
              (Files{{"Book1_1.txt", "Name\r\nQty\r\n"}, {"Book1_2.txt", "Pen\r\n3\r\n"}}));
}

TEST_F(SplitCommand, ReportsToAClosedPipeDoNotEndTheRun)
{
    const auto bad = in / "notes.xlsx";
    writeFile(bad, std::string(16, '\0') + "binary junk");
    std::vector<std::string> arguments{SHEETFRAY_SPLIT_PROGRAM,
                                       "--output",
                                       out.string(),
                                       bad.string(),
                                       (in / "gone.xlsx").string(),
                                       book1()};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // Standard error is a pipe nobody reads any more, as after "2>&1 | head -1".
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        ::dup2(ends[1], 2);
        ::close(ends[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(filesIn(out),
              (Files{{"Book1_1.txt", "Name\r\nQty\r\n"}, {"Book1_2.txt", "Pen\r\n3\r\n"}}));
}

TEST_F(SplitCommand, FailuresPastTenOfOneReasonAreCountedInOneLine)
{
    std::vector<std::vector<TableCell>> rows;
    for (int i = 1; i <= 13; ++i) {
        rows.push_back({i});
    }
    const auto book = in / "Many.xlsx";
    XlsxBuilder().addTableSheet("Sheet1", rows).save(book);
    // No file can be written in /proc, whoever runs the test.
    const Outcome outcome = run({"--output", "/proc", book.string()});
    EXPECT_EQ(outcome.status, 1);
    std::size_t reports = 0;
    for (std::size_t at = 0;
         (at = outcome.errors.find("Application Error\n", at)) != std::string::npos;
         ++at) {
        ++reports;
    }
    EXPECT_EQ(reports, 10u);
    EXPECT_NE(outcome.errors.find("\nsheetfray-split: and 3 more files of \"Many.xlsx\" failed: "),
              std::string::npos)
        << outcome.errors;
}

TEST_F(SplitCommand, SameWorkbookInEveryFormatGivesTheSameFiles)
{
    // One workbook saved by an office suite as .xlsx, .xls and .ods.
    const std::filesystem::path data = SHEETFRAY_TEST_DATA;
    for (const char* mode : {"row", "column", "cell"}) {
        std::map<std::string, Files> byFormat;
        for (const char* extension : {".xlsx", ".xls", ".ods"}) {
            const auto target = out / (std::string(mode) + extension);
            std::filesystem::create_directories(target);
            const auto book = data / (std::string("contract") + extension);
            ASSERT_EQ(run({"--each",
                           mode,
                           "--name",
                           "location",
                           "--output",
                           target.string(),
                           book.string()})
                          .status,
                      0);
            byFormat[extension] = filesIn(target);
        }
        SCOPED_TRACE(mode);
        EXPECT_FALSE(byFormat[".xlsx"].empty());
        EXPECT_EQ(byFormat[".xls"], byFormat[".xlsx"]);
        EXPECT_EQ(byFormat[".ods"], byFormat[".xlsx"]);
    }
}

TEST_F(SplitCommand, EverySharedOfficeOpenXmlWorkbookSplitsOrNamesItsProblem)
{
    const std::filesystem::path shared =
        std::filesystem::path(SHEETFRAY_SHARED_TESTDATA) / "workbooks";
    if (!std::filesystem::exists(shared)) {
        GTEST_SKIP() << "no shared workbooks at " << shared;
    }
    int books = 0;
    for (const auto& entry : std::filesystem::directory_iterator(shared)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".xlsx" && extension != ".xlsm" && extension != ".xltx"
            && extension != ".xltm") {
            continue;
        }
        ++books;
        const auto target = out / entry.path().stem();
        std::filesystem::create_directories(target);
        for (const char* mode : {"row", "column", "cell"}) {
            const Outcome outcome =
                run({"--each", mode, "--output", target.string(), entry.path().string()});
            SCOPED_TRACE(entry.path().filename().string() + " " + mode);
            ASSERT_TRUE(outcome.status == 0 || outcome.status == 1) << outcome.errors;
            if (outcome.status == 1) {
                EXPECT_NE(outcome.errors.find(entry.path().filename().string()), std::string::npos)
                    << outcome.errors;
            }
        }
    }
    EXPECT_GE(books, 30);
}

} // namespace
} // namespace sheetfray::testing
