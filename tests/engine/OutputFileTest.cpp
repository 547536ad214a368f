#include "engine/OutputFile.h"

#include "support/Error.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

namespace sheetfray::testing {
namespace {

TEST(WriteTextFile, CreatesAndReplacesWithoutLeavingTemporaries)
{
    TempDir dir;
    const std::string path = (dir.path() / "a.txt").string();
    engine::WriteTextFile("first", path);
    engine::WriteTextFile("", (dir.path() / "empty.txt").string());
    engine::WriteTextFile("second, longer", path);
    engine::WriteTextFile("3", path);
    EXPECT_EQ(filesIn(dir.path()),
              (std::map<std::string, std::string>{{"a.txt", "3"}, {"empty.txt", ""}}));
}

TEST(WriteTextFile, MissingFolderFailsWithThePathAndLeavesNothing)
{
    TempDir dir;
    const std::string path = (dir.path() / "no" / "a.txt").string();
    try {
        engine::WriteTextFile("x", path);
        FAIL() << "no error";
    } catch (const WriteError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos);
    }
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST(WriteTextFile, FailedReplacementKeepsTheOldContent)
{
    // A folder of that name cannot be replaced by a file: the rename fails after the new
    // content was written beside it.
    TempDir dir;
    const auto target = dir.path() / "taken.txt";
    std::filesystem::create_directory(target);
    writeFile(target / "inside", "old");
    EXPECT_THROW(engine::WriteTextFile("new", target.string()), WriteError);
    EXPECT_EQ(filesIn(dir.path()),
              (std::map<std::string, std::string>{{"taken.txt/inside", "old"}}));
}

TEST(WriteTextFile, NewAndReplacedFilesGetTheUsualPermissions)
{
    // Files made without a name first must come out as any created file would: 0666 less
    // the umask, not the owner-only mode some temporaries get.
    TempDir dir;
    const mode_t mask = ::umask(022);
    const auto fresh = dir.path() / "fresh.txt";
    const auto older = dir.path() / "older.txt";
    writeFile(older, "old");
    ::chmod(older.c_str(), 0600);
    engine::WriteTextFile("new", fresh.string());
    engine::WriteTextFile("new", older.string());
    ::umask(mask);
    struct stat info{};
    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(older.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(WriteTextFile, AFailedWriteLeavesNothingWhetherTheNameIsNewOrTaken)
{
    // Files past the size limit fail part way, as on a full disk. Replacing a file takes
    // another way to its name than creating one, and the writer keeps to that way for a
    // while: a run of new names after a replacement goes through both.
    TempDir dir;
    const auto taken = dir.path() / "taken.txt";
    writeFile(taken, "old");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string large(10'000, 'x');
    bool takenFailed = false;
    try {
        engine::WriteTextFile(large, taken.string());
    } catch (const WriteError& e) {
        takenFailed = std::string(e.what()).find("File too large") != std::string::npos;
    }
    engine::WriteTextFile("replaced", taken.string());
    int failures = 0;
    for (int i = 0; i < 200; ++i) {
        const std::string path = (dir.path() / ("new" + std::to_string(i) + ".txt")).string();
        try {
            engine::WriteTextFile(large, path);
        } catch (const WriteError&) {
            ++failures;
        }
    }
    engine::WriteTextFile("last", (dir.path() / "last.txt").string());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(takenFailed);
    EXPECT_EQ(failures, 200);
    EXPECT_EQ(filesIn(dir.path()),
              (std::map<std::string, std::string>{{"last.txt", "last"},
                                                  {"taken.txt", "replaced"}}));
}

} // namespace
} // namespace sheetfray::testing
