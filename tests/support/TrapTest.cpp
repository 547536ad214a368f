#include "support/Trap.h"

#include "support/Error.h"
#include "tests/fakes/FakeHost.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

TEST(ErrorReport, TextIsDescriptionLocationLineAndRequest)
{
    const ErrorReport report{
        std::string(Location::SaveEachRow), 146, "cannot write \"/out/a.txt\""};
    EXPECT_EQ(report.text(),
              "cannot write \"/out/a.txt\"\r\n"
              "in Rendlet2021/08/31.Excel1.SaveEachRow at line 146\r\r"
              "Please email screenshot of this message to support@sheetfray.example");
}

TEST(Trap, ReportsEachFailureWithItsLineAndGoesOn)
{
    RecordingReporter reporter;
    Trap trap(Location::FolderScan, reporter);
    std::vector<int> ran;
    EXPECT_FALSE(trap.step(100, [&] { throw Error("first fails"); }));
    EXPECT_TRUE(trap.step(102, [&] { ran.push_back(102); }));
    EXPECT_FALSE(trap.step(104, [&] { throw 42; }));
    EXPECT_TRUE(trap.step(106, [&] { ran.push_back(106); }));
    EXPECT_EQ(ran, (std::vector<int>{102, 106}));
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].line, 100);
    EXPECT_EQ(reporter.reports[0].description, "first fails");
    EXPECT_EQ(reporter.reports[0].location,
              "in Mornquist2021/08/31.AddFolder.GetSubDirectories2016 ");
    EXPECT_EQ(reporter.reports[1].line, 104);
    EXPECT_EQ(trap.failures(), 2);
}

TEST(Trap, MemoryRunningOutIsReportedWithTheFile)
{
    RecordingReporter reporter;
    Trap trap(Location::SaveEachRow, reporter);
    EXPECT_FALSE(trap.step(100, [] { throw std::bad_alloc(); }));
    trap.nameFile("/in/big.csv");
    EXPECT_FALSE(trap.step(102, [] { throw std::bad_alloc(); }));
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].description, "there is not enough memory");
    EXPECT_EQ(reporter.reports[1].description, "\"/in/big.csv\": there is not enough memory");
}

TEST(Trap, ControlCharactersInADescriptionAreEscaped)
{
    RecordingReporter reporter;
    Trap trap(Location::SaveEachRow, reporter);
    // Whoever worded it, a report never reaches a terminal with its escapes: the title and
    // the screen stay as they are. Line breaks and tabs stay.
    trap.report(100, "bad \"\x1b]0;title\x07\x1b[2J\"\n\tnext\xff");
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_EQ(reporter.reports[0].description, "bad \"\\x1b]0;title\\x07\\x1b[2J\"\n\tnext\\xff");
}

TEST(Trap, FailingReporterDoesNotEndTheProcedure)
{
    struct Throwing : Reporter
    {
        void report(const ErrorReport&) override { throw std::runtime_error("no screen"); }
    } reporter;

    Trap trap(Location::CleanValue, reporter);
    EXPECT_FALSE(trap.step(100, [] { throw Error("x"); }));
    EXPECT_TRUE(trap.step(102, [] {}));
}

} // namespace
} // namespace sheetfray::testing
