#include "engine/OutputFile.h"

#include "engine/ZipOutput.h"
#include "support/Error.h"
#include "tests/fakes/MemoryLimit.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zip.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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

TEST(WriteTextFile, NewFilesGetTheUsualPermissionsAndReplacedOnesKeepTheirs)
{
    // Files made without a name first must come out as any created file would: 0666 less
    // the umask, not the owner-only mode some temporaries get. A private file stays private.
    TempDir dir;
    const mode_t mask = ::umask(022);
    const auto fresh = dir.path() / "fresh.txt";
    const auto older = dir.path() / "older.txt";
    writeFile(older, "old");
    ::chmod(older.c_str(), 0600);
    engine::WriteTextFile("new", fresh.string());
    engine::WriteTextFile("new", older.string());
    ::umask(mask);

    struct stat info
    {};

    ASSERT_EQ(::stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    ASSERT_EQ(::stat(older.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(older), "new");
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
    EXPECT_EQ(
        filesIn(dir.path()),
        (std::map<std::string, std::string>{{"last.txt", "last"}, {"taken.txt", "replaced"}}));
}

// Writes a file of size bytes as the first file of the process, with a bound on private
// memory of what it holds already and bound more; exits 0 when the file is complete.
[[noreturn]] void
writeWithinMemory(const std::filesystem::path& folder, std::size_t size, std::size_t bound)
{
    limitPrivateMemory(bound);
    int code = 1;
    try {
        const std::string content(size, 'x');
        engine::OutputWriter writer;
        writer.write(content, (folder / "large.txt").string(), 1);
        writer.finish();
        code = std::filesystem::file_size(folder / "large.txt") == size ? 0 : 2;
    } catch (...) {
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::_Exit(code);
}

TEST(OutputWriter, ALargeFileIsNeverHeldTwice)
{
    // A process of its own: before any file has been linked in, the writer keeps a copy of
    // the bytes of a small file, never of a large one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    constexpr std::size_t Size = 96u << 20;
    EXPECT_EXIT(
        writeWithinMemory(dir.path(), Size, Size * 3 / 2), ::testing::ExitedWithCode(0), "");
}

using Files = std::map<std::string, std::string>;

TEST(OutputWriter, NamesFilesInTheOrderWrittenSoTheLaterOfOneNameStays)
{
    // Seven names taken in turn over many files, some of them there before the run: every
    // replacement sends the writer the named way for a stretch and back, and whichever way
    // each file goes, the last file of each name must win.
    TempDir dir;
    writeFile(dir.path() / "name2.txt", "before");
    Files expected;
    {
        engine::OutputWriter writer;
        for (int i = 0; i < 700; ++i) {
            const std::string name = "name" + std::to_string(i * i % 7) + ".txt";
            const std::string content = "file " + std::to_string(i);
            writer.write(content, (dir.path() / name).string(), i);
            expected[name] = content;
            if (i % 50 == 0) {
                const std::string fresh = "fresh" + std::to_string(i) + ".txt";
                writer.write(fresh, (dir.path() / fresh).string(), i);
                expected[fresh] = fresh;
            }
        }
        writer.finish();
        EXPECT_EQ(filesIn(dir.path()), expected);
        EXPECT_TRUE(writer.takeFailures().empty());
    }
}

TEST(OutputWriter, AFailureIsThrownOrComesBackOnceWithItsTag)
{
    // The file system takes the unnamed file and its bytes but refuses the name itself;
    // where the writer goes the named way just then, the name is refused at once.
    TempDir dir;
    engine::OutputWriter writer;
    const std::string tooLong = (dir.path() / (std::string(300, 'n') + ".txt")).string();
    const std::string expected = "cannot write \"" + dir.path().string() + "/"
        + std::string(198 - dir.path().string().size(), 'n') + "\u2026\": File name too long";
    std::vector<engine::OutputWriter::Failure> failures;
    writer.write("a", (dir.path() / "a.txt").string(), 1);
    try {
        writer.write("x", tooLong, 2);
    } catch (const WriteError& e) {
        failures.push_back({2, e.what()});
    }
    writer.write("b", (dir.path() / "b.txt").string(), 3);
    writer.finish();
    for (engine::OutputWriter::Failure& late : writer.takeFailures()) {
        failures.push_back(std::move(late));
    }
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].tag, 2);
    EXPECT_EQ(failures[0].message, expected);
    EXPECT_TRUE(writer.takeFailures().empty());
    EXPECT_EQ(filesIn(dir.path()), (Files{{"a.txt", "a"}, {"b.txt", "b"}}));
}

TEST(OutputWriter, FailuresFoundWhileWritingAreThrownAtOnce)
{
    TempDir dir;
    engine::OutputWriter writer;
    const std::string missing = (dir.path() / "no" / "a.txt").string();
    try {
        writer.write("x", missing, 1);
        FAIL() << "no error";
    } catch (const WriteError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot write \"" + missing + "\": No such file or directory");
    }
    writer.finish();
    EXPECT_TRUE(writer.takeFailures().empty());
    EXPECT_TRUE(filesIn(dir.path()).empty());
}

TEST(OutputWriter, FilesWaitingForNamesGiveBackDescriptorsWhenTheProcessRunsOut)
{
    // Each file waiting for its name holds two descriptors. With room for only a few more,
    // the writer must name the waiting files to go on, not fail the next one.
    TempDir dir;
    std::size_t open = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++open;
    }
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = open + 9;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
    Files expected;
    std::vector<std::string> errors;
    {
        engine::OutputWriter writer;
        for (int i = 0; i < 200; ++i) {
            const std::string name = std::to_string(i) + ".txt";
            try {
                writer.write(name, (dir.path() / name).string(), i);
            } catch (const WriteError& e) {
                errors.emplace_back(e.what());
            }
            expected[name] = name;
        }
        writer.finish();
        for (const engine::OutputWriter::Failure& failure : writer.takeFailures()) {
            errors.push_back(failure.message);
        }
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(errors, std::vector<std::string>{});
    EXPECT_EQ(filesIn(dir.path()), expected);
}

TEST(OutputWriter, FinishingEveryWriterNamesAllFilesWritten)
{
    // What the window does when it is closed during a run, just before the program ends.
    TempDir dir;
    engine::OutputWriter writer;
    Files expected;
    for (int i = 0; i < 300; ++i) {
        const std::string name = std::to_string(i) + ".txt";
        writer.write(name, (dir.path() / name).string(), i);
        expected[name] = name;
    }
    engine::OutputWriter::finishAll();
    EXPECT_EQ(filesIn(dir.path()), expected);
}

// The entries of a zip archive as libzip reads them, checked for consistency.
std::map<std::string, std::string> zipEntries(const std::string& path)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (archive == nullptr) {
        ADD_FAILURE() << "libzip cannot open it: " << error;
        return {};
    }
    std::map<std::string, std::string> entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t info;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &info);
        EXPECT_EQ(info.comp_method, ZIP_CM_DEFLATE) << info.name;
        std::string bytes(info.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        EXPECT_EQ(zip_fread(file, bytes.data(), bytes.size()),
                  static_cast<zip_int64_t>(bytes.size()));
        zip_fclose(file);
        entries[info.name] = bytes;
    }
    zip_discard(archive);
    return entries;
}

TEST(ZipArchive, AppearsOnlyWhenCommittedAndHoldsEveryEntryPastPlainZipsLimits)
{
    TempDir dir;
    const std::string root = dir.path().string();
    const std::string path = root + "/all.zip";
    std::string large;
    for (int i = 0; i < 20000; ++i) {
        large += std::to_string(i * 7919 % 1000) + (i % 3 == 0 ? "\r\n" : ",");
    }
    // Each way an entry is deflated: literals alone, a small stream, the full one.
    std::map<std::string, std::string> expected{
        {"empty.txt", ""},
        {"tiny.txt", "Pen\r\n3\r\n"},
        {"high.txt", "\xC3\xA9\xFF\x90\x8F bytes past 143"},
        {"mid.txt", std::string(2000, 'a') + "b"},
        {"large.txt", large},
        {"P\xC3\xA9n.txt", "utf-8 name"},
    };
    // More entries than a zip without its 64-bit records can count.
    for (int i = 0; i < 70000; ++i) {
        expected["n" + std::to_string(i) + ".txt"] = std::to_string(i);
    }
    {
        engine::ZipArchive archive(path, root);
        for (const auto& [name, bytes] : expected) {
            archive.add(root + "/" + name, bytes);
        }
        EXPECT_TRUE(archive.holds(root + "/tiny.txt"));
        EXPECT_FALSE(archive.holds(root + "/other.txt"));
        EXPECT_TRUE(filesIn(dir.path()).empty()); // no name, not even a temporary one
        archive.commit(nullptr);
    }
    EXPECT_EQ(zipEntries(path), expected);
    const std::string committed = readFile(path);

    // One never committed leaves the older archive as it was, and nothing beside it.
    {
        engine::ZipArchive again(path, root);
        again.add(root + "/tiny.txt", "other");
    }
    EXPECT_EQ(filesIn(dir.path()), (std::map<std::string, std::string>{{"all.zip", committed}}));
    EXPECT_THROW(engine::ZipArchive(root + "/no/such.zip", root), WriteError);
}

} // namespace
} // namespace sheetfray::testing
