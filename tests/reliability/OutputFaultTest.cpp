// Output that cannot be damaged: full disks, read-only and vanishing folders, refused names.
#include "engine/Batch.h"
#include "engine/OutputFile.h"
#include "engine/Split.h"
#include "support/Error.h"
#include "tests/fakes/FakeHost.h"
#include "tests/reliability/Faults.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

namespace sheetfray::testing {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

std::string errorOf(const std::function<void()>& write)
{
    try {
        write();
    } catch (const WriteError& e) {
        return e.what();
    }
    return "";
}

// Sheet1 of rows whose single cell is row n's text, each of the given length.
FakeBook bookOfRows(const std::vector<std::size_t>& lengths)
{
    std::vector<std::vector<std::string>> rows;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        rows.push_back({std::string(lengths[i], static_cast<char>('a' + i % 26))});
    }
    return {{{"Sheet1", table(rows)}}};
}

class OutputFault : public ::testing::Test, protected SplitHarness
{
protected:
    TempDir dir;

    // Splits the book by rows into folder as Book_N.txt, each row's text followed by ",".
    void splitRows(const FakeBook& book, const fs::path& folder)
    {
        hosts.books["/in/Book.xlsx"] = book;
        engine::SaveEachRow(context(), "/in/Book.xlsx", (folder / "Book").string(), ",");
    }

    // Each file the split left is the complete row, each missing one was reported once with
    // its path and reason, and no temporary is left.
    void expectCompleteOrReported(const std::vector<std::size_t>& lengths,
                                  const fs::path& folder,
                                  const std::string& reason)
    {
        const Files files = fs::exists(folder) ? filesIn(folder) : Files{};
        std::size_t missing = 0;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const std::string name = "Book_" + std::to_string(i + 1) + ".txt";
            const auto found = files.find(name);
            if (found == files.end()) {
                ++missing;
                const std::string path = (folder / name).string();
                std::size_t mentions = 0;
                for (const ErrorReport& r : reporter.reports) {
                    if (r.description.find("\"" + path + "\"") != std::string::npos) {
                        ++mentions;
                        EXPECT_NE(r.description.find(reason), std::string::npos) << r.description;
                    }
                }
                EXPECT_EQ(mentions, 1u) << name;
            } else {
                EXPECT_EQ(found->second,
                          std::string(lengths[i], static_cast<char>('a' + i % 26)) + ",")
                    << name;
            }
        }
        EXPECT_EQ(reporter.reports.size(), missing);
        for (const auto& [name, content] : files) {
            EXPECT_FALSE(isTemporary(name)) << name;
        }
    }
};

TEST_F(OutputFault, FullDiskKeepsTheOldFileAndTheRunGoesOn)
{
    auto point = ScratchMount::mount(dir, "size=64k", false);
    if (!point) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    ScratchMount mounted(*point);
    const fs::path target = *point / "Book_1.txt";
    writeFile(target, "old");
    const std::string message =
        errorOf([&] { engine::WriteTextFile(std::string(256 * 1024, 'x'), target.string()); });
    EXPECT_EQ(message, "cannot write \"" + target.string() + "\": No space left on device");
    EXPECT_EQ(filesIn(*point), (Files{{"Book_1.txt", "old"}}));

    // A split that fills the disk part way: the rows that fit are whole, the rest reported.
    fs::remove(target);
    const std::vector<std::size_t> lengths(12, 6000);
    const FakeBook book = bookOfRows(lengths);
    splitRows(book, *point);
    EXPECT_FALSE(reporter.reports.empty());
    expectCompleteOrReported(lengths, *point, "No space left on device");
}

// Without the privilege to mount, a file-size limit injects the same failure: writes past
// it fail (EFBIG) as writes to a full disk do.
TEST_F(OutputFault, WriteFailurePartWayLeavesNoPartialFile)
{
    const std::vector<std::size_t> lengths{10, 20'000, 30, 50'000, 40};
    const FakeBook book = bookOfRows(lengths);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 8192;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    writeFile(out / "Book_2.txt", "older");
    splitRows(book, out);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(filesIn(out),
              (Files{{"Book_1.txt", std::string(10, 'a') + ","},
                     {"Book_2.txt", "older"},
                     {"Book_3.txt", std::string(30, 'c') + ","},
                     {"Book_5.txt", std::string(40, 'e') + ","}}));
    ASSERT_EQ(reporter.reports.size(), 2u);
    EXPECT_EQ(reporter.reports[0].description,
              "cannot write \"" + (out / "Book_2.txt").string() + "\": File too large");
    EXPECT_EQ(reporter.reports[1].description,
              "cannot write \"" + (out / "Book_4.txt").string() + "\": File too large");
}

TEST_F(OutputFault, ReadOnlyFolderIsReportedForEachFile)
{
    fs::path folder;
    std::optional<ScratchMount> mounted;
    if (auto point = ScratchMount::mount(dir, "size=64k", true)) {
        mounted.emplace(*point);
        folder = *point;
    } else if (::geteuid() != 0) {
        folder = dir.path() / "locked";
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    } else {
        GTEST_SKIP() << "root without a read-only mount: nothing refuses the write";
    }
    const std::vector<std::size_t> lengths{3, 4, 5};
    splitRows(bookOfRows(lengths), folder);
    EXPECT_EQ(reporter.reports.size(), 3u);
    expectCompleteOrReported(
        lengths, folder, mounted ? "Read-only file system" : "Permission denied");
}

TEST_F(OutputFault, NameTheFileSystemRefusesIsReportedAndLeavesNothing)
{
    // A name of a megabyte is quoted by its folder and its start: the message stays short.
    const std::string folder = dir.path().string() + "/";
    const std::string tooLong = folder + std::string(1 << 20, 'n') + ".txt";
    EXPECT_EQ(errorOf([&] { engine::WriteTextFile("x", tooLong); }),
              "cannot write \"" + folder + std::string(199 - folder.size(), 'n')
                  + "\u2026\": File name too long");
    const std::string withNul = (dir.path() / "a").string() + std::string(1, '\0') + "b.txt";
    EXPECT_NE(errorOf([&] { engine::WriteTextFile("x", withNul); }).find("NUL"), std::string::npos);
    EXPECT_TRUE(filesIn(dir.path()).empty());

    // Named by their first cell: the long one is refused, the run writes the others.
    controls.scheme = engine::NamingScheme::FirstCellValue;
    hosts.books["/in/Book.xlsx"] = {
        {{"Sheet1", table({{"short"}, {std::string(300, 'n')}, {"after"}})}}};
    engine::SaveEachRow(context(), "/in/Book.xlsx", dir.str() + "/Book", ",");
    EXPECT_EQ(filesIn(dir.path()), (Files{{"short.txt", "short,"}, {"after.txt", "after,"}}));
    ASSERT_EQ(reporter.reports.size(), 1u);
    EXPECT_NE(reporter.reports[0].description.find("File name too long"), std::string::npos);
}

TEST_F(OutputFault, FolderThatVanishesMidRunFailsEachLaterFileOnceAndTenAreReported)
{
    const fs::path out = dir.path() / "out";
    const fs::path moved = dir.path() / "moved";
    fs::create_directories(out);
    controls.onYield = [&] {
        if (controls.yields == 5) {
            fs::rename(out, moved);
        }
    };
    const std::vector<std::size_t> lengths(30, 7);
    splitRows(bookOfRows(lengths), out);
    // Rows 1 to 4 were written before the folder went; rows 5 to 30 failed, and of those
    // the first ten are reported, the rest counted in one line.
    Files before;
    for (int i = 1; i <= 4; ++i) {
        before["Book_" + std::to_string(i) + ".txt"] =
            std::string(7, static_cast<char>('a' + i - 1)) + ",";
    }
    EXPECT_EQ(filesIn(moved), before);
    EXPECT_FALSE(fs::exists(out));
    ASSERT_EQ(reporter.reports.size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(reporter.reports[i].description,
                  "cannot write \"" + (out / ("Book_" + std::to_string(i + 5) + ".txt")).string()
                      + "\": No such file or directory");
    }
    EXPECT_EQ(outputs.filesWritten(), 4u);
    EXPECT_EQ(outputs.filesFailed(), 26u);
    EXPECT_EQ(outputs.takeUnreportedFailures(),
              std::vector<std::string>{
                  "and 16 more files of \"Book.xlsx\" failed: No such file or directory"});

    // The next workbook's failures are counted afresh.
    splitRows(bookOfRows(std::vector<std::size_t>(11, 3)), out);
    EXPECT_EQ(reporter.reports.size(), 20u);
    EXPECT_EQ(outputs.takeUnreportedFailures(),
              std::vector<std::string>{
                  "and 1 more file of \"Book.xlsx\" failed: No such file or directory"});
}

} // namespace
} // namespace sheetfray::testing
