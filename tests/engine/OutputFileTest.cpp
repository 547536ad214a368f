#include "engine/OutputFile.h"

#include "support/Error.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace sheetfray::testing
