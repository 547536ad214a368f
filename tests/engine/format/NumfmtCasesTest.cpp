// Runs every case of the shared number-format vectors; the few texts the engine does not match
// are listed, each with its reason, in numfmt-known-differences.tsv beside this file.
#include "NumfmtCases.h"

#include "engine/format/NumberFormat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

namespace sheetfray::tests {
namespace {

using engine::format::DateSystem;
using engine::format::NumberFormat;

// The case files; disagreements.tsv only repeats variants whose kept text is in these files.
const char* const CaseFiles[] = {"general.tsv",
                                 "numbers.tsv",
                                 "percent_thousands.tsv",
                                 "fractions.tsv",
                                 "scientific.tsv",
                                 "dates_times.tsv",
                                 "dates_times_sweep.tsv",
                                 "text_and_literals.tsv",
                                 "conditions_colors.tsv",
                                 "special.tsv"};

using CaseKey = std::tuple<std::string, std::string, std::string, std::string>;

// file, format, value, date_system -> the expected text recorded with the difference.
const std::map<CaseKey, std::string>& knownDifferences()
{
    static const std::map<CaseKey, std::string> known = [] {
        std::map<CaseKey, std::string> entries;
        const auto rows = readNumfmtTable(std::filesystem::path(SHEETFRAY_FORMAT_TEST_DIR)
                                          / "numfmt-known-differences.tsv");
        for (const auto& row : rows) {
            if (row.size() >= 6) {
                entries[{row[0], row[1], row[2], row[3]}] = row[4];
            }
        }
        return entries;
    }();
    return known;
}

std::string render(const NumfmtCase& entry)
{
    const NumberFormat format = NumberFormat::compile(entry.format);
    std::string out;
    const std::string_view value = entry.value;
    if (value.starts_with("text:")) {
        format.renderText(value.substr(5), out);
    } else if (value.starts_with("bool:")) {
        // A boolean is shown as its text TRUE or FALSE, through the text section.
        format.renderText(value.substr(5), out);
    } else {
        const DateSystem system =
            entry.dateSystem == "1904" ? DateSystem::Date1904 : DateSystem::Date1900;
        format.render(std::strtod(entry.value.c_str(), nullptr), system, out);
    }
    return out;
}

struct FileResult
{
    int cases = 0;
    int passed = 0;
    std::vector<std::string> unexpected; // differences not in the known list
    std::vector<std::string> stale; // known differences that now pass or no longer exist
};

std::string describe(const std::string& file, const NumfmtCase& entry, const std::string& got)
{
    std::ostringstream text;
    text << file << ":" << entry.line << "  format [" << entry.format << "] value [" << entry.value
         << "] " << entry.dateSystem << "\n    expected [" << entry.expected << "]\n    got      ["
         << got << "]";
    return text.str();
}

const FileResult& runFile(const std::string& file)
{
    static std::map<std::string, FileResult> results;
    const auto found = results.find(file);
    if (found != results.end()) {
        return found->second;
    }
    FileResult result;
    const auto& known = knownDifferences();
    std::set<CaseKey> seenKnown;
    for (const NumfmtCase& entry : readNumfmtCases(*numfmtFolder() / file)) {
        ++result.cases;
        const std::string got = render(entry);
        const CaseKey key{file, entry.format, entry.value, entry.dateSystem};
        const auto listed = known.find(key);
        if (got == entry.expected) {
            ++result.passed;
            if (listed != known.end()) {
                result.stale.push_back("listed but passes: " + describe(file, entry, got));
            }
        } else if (listed == known.end() || listed->second != entry.expected) {
            result.unexpected.push_back(describe(file, entry, got));
        } else {
            seenKnown.insert(key);
        }
    }
    return results.emplace(file, std::move(result)).first->second;
}

class NumfmtCaseFile : public ::testing::TestWithParam<const char*>
{};

TEST_P(NumfmtCaseFile, RendersTheApplicationsText)
{
    if (!numfmtFolder()) {
        GTEST_SKIP() << "shared test data not found at " << SHEETFRAY_SHARED_TESTDATA;
    }
    const FileResult& result = runFile(GetParam());
    std::cout << "numfmt " << GetParam() << ": " << result.passed << " of " << result.cases
              << " pass (" << (result.cases ? 100.0 * result.passed / result.cases : 0.0) << "%)\n";
    std::size_t shown = 0;
    for (const std::string& difference : result.unexpected) {
        if (shown++ < 200) {
            ADD_FAILURE() << difference;
        }
    }
    EXPECT_TRUE(result.unexpected.empty()) << result.unexpected.size() << " unexpected differences";
    for (const std::string& stale : result.stale) {
        ADD_FAILURE() << stale;
    }
}

INSTANTIATE_TEST_SUITE_P(SharedVectors,
                         NumfmtCaseFile,
                         ::testing::ValuesIn(CaseFiles),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             const std::string name = param.param;
                             return name.substr(0, name.find('.'));
                         });

TEST(NumfmtVectors, AtLeast995PerMillePass)
{
    if (!numfmtFolder()) {
        GTEST_SKIP() << "shared test data not found at " << SHEETFRAY_SHARED_TESTDATA;
    }
    int cases = 0;
    int passed = 0;
    for (const char* file : CaseFiles) {
        const FileResult& result = runFile(file);
        cases += result.cases;
        passed += result.passed;
    }
    std::cout << "numfmt all files: " << passed << " of " << cases << " pass ("
              << 100.0 * passed / cases << "%)\n";
    EXPECT_GE(passed * 1000, cases * 995);
}

TEST(NumfmtVectors, BuiltinIdsHaveTheirEnUsCodes)
{
    if (!numfmtFolder()) {
        GTEST_SKIP() << "shared test data not found at " << SHEETFRAY_SHARED_TESTDATA;
    }
    const auto rows = readNumfmtTable(*numfmtFolder() / "builtin_ids.tsv");
    ASSERT_EQ(rows.size(), 50U);
    for (const auto& row : rows) {
        EXPECT_EQ(engine::format::builtinFormatCode(std::stoi(row[0])), row[1]) << "id " << row[0];
    }
    EXPECT_EQ(engine::format::builtinFormatCode(50), "");
    EXPECT_EQ(engine::format::builtinFormatCode(-1), "");
}

TEST(NumfmtVectors, ClassifiesDateCodes)
{
    if (!numfmtFolder()) {
        GTEST_SKIP() << "shared test data not found at " << SHEETFRAY_SHARED_TESTDATA;
    }
    for (const auto& row : readNumfmtTable(*numfmtFolder() / "is_date.tsv")) {
        ASSERT_GE(row.size(), 2U);
        EXPECT_EQ(engine::format::isDateFormatCode(row[0]), row[1] == "true") << row[0];
    }
}

// The application refuses these codes; the engine must still give a text for every value.
TEST(NumfmtVectors, CodesTheApplicationRefusesStillRender)
{
    if (!numfmtFolder()) {
        GTEST_SKIP() << "shared test data not found at " << SHEETFRAY_SHARED_TESTDATA;
    }
    for (const auto& row : readNumfmtTable(*numfmtFolder() / "invalid_formats.tsv")) {
        const NumberFormat format = NumberFormat::compile(row[0]);
        for (const double value : {1234.5, -0.25, 0.0}) {
            std::string out;
            format.render(value, DateSystem::Date1900, out);
            EXPECT_FALSE(out.empty() && !row[0].empty() && row[0].find(';') == std::string::npos)
                << row[0] << " with " << value;
        }
        std::string text;
        format.renderText("x", text);
    }
}

} // namespace
} // namespace sheetfray::tests
