// Extension patterns as Add All builds them ("*." and what the user typed).
#include "filelist/Wildcard.h"

#include <gtest/gtest.h>

#include <ostream>

namespace sheetfray::testing {

namespace {

struct PatternCase
{
    const char* label;
    const char* name;
    const char* pattern;
    bool matches;
};

// Names the case in a failure message.
void PrintTo(const PatternCase& c, std::ostream* os)
{
    *os << c.label << ": " << c.name << " against " << c.pattern;
}

class Wildcard : public ::testing::TestWithParam<PatternCase>
{};

TEST_P(Wildcard, Matches)
{
    const PatternCase& c = GetParam();
    EXPECT_EQ(filelist::matchesPattern(c.name, c.pattern), c.matches)
        << c.name << " against " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns,
    Wildcard,
    ::testing::Values(PatternCase{"DefaultExtension", "Book.xlsx", "*.xl*", true},
                      PatternCase{"UpperCaseName", "Book.XLSX", "*.xl*", true},
                      PatternCase{"UpperCasePattern", "book.xlsm", "*.XL*", true},
                      PatternCase{"OtherExtension", "Book.csv", "*.xl*", false},
                      PatternCase{"LettersBeforeTheDot", "xl.csv", "*.xl*", false},
                      PatternCase{"SeveralDots", "a.b.xls", "*.xls", true},
                      PatternCase{"LongerExtension", "a.xlsx", "*.xls", false},
                      PatternCase{"TypedTxt", "notes.TXT", "*.txt", true},
                      PatternCase{"StarTakesNamesWithoutDot", "README", "*.*", true},
                      PatternCase{"StarTakesHiddenNames", ".profile", "*.*", true},
                      PatternCase{"DotStarTakesBareName", "Report", "Report.*", true},
                      PatternCase{"DotStarNeedsWholeName", "Reports", "Report.*", false},
                      PatternCase{"QuestionMarkOneCharacter", "file1.csv", "file?.csv", true},
                      PatternCase{"QuestionMarkNotTwo", "file10.csv", "file?.csv", false},
                      PatternCase{"QuestionMarkWholeLetter", "\xc3\xa4.ods", "?.ods", true},
                      PatternCase{"StarsBacktrack", "aXbXc.ods", "*X*X*.ods", true},
                      PatternCase{"StarsNeedEveryPiece", "aXb.ods", "*X*X*.ods", false}),
    [](const ::testing::TestParamInfo<PatternCase>& row) { return std::string(row.param.label); });

} // namespace

} // namespace sheetfray::testing
