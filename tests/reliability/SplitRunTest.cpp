// sheetfray-split on hostile sheets and killed mid-run, as a script or server runs it.
#include "tests/builders/XlsxBuilder.h"
#include "tests/reliability/Faults.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <thread>

extern char** environ;

namespace sheetfray::testing {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

// Starts sheetfray-split on the workbooks; its standard error goes to the errors file. An
// empty out gives no --output, for options that write elsewhere.
pid_t startSplit(const std::vector<fs::path>& books,
                 const fs::path& out,
                 const char* each = "row",
                 const fs::path& errors = "/dev/null",
                 const std::vector<std::string>& options = {})
{
    std::vector<std::string> arguments{
        SHEETFRAY_SPLIT_PROGRAM, "--each", each, "--separator", "comma"};
    if (!out.empty()) {
        arguments.insert(arguments.end(), {"--output", out.string()});
    }
    arguments.insert(arguments.end(), options.begin(), options.end());
    for (const fs::path& book : books) {
        arguments.push_back(book.string());
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

std::size_t entryCount(const fs::path& folder)
{
    std::error_code ignored;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder, ignored), {}));
}

// Waits until the running split has written `entries` entries into folder, then sends it
// the signal; false when it ended first. status is how it ended.
bool signalAfter(pid_t pid, const fs::path& folder, std::size_t entries, int signal, int& status)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (entryCount(folder) < entries && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    kill(pid, signal);
    return waitpid(pid, &status, 0) == pid;
}

// The whole grid spanned by two cells: the cell walk visits the two, not 17 billion positions.
TEST(SplitRun, CellsOfTheGridCornersSplitAtOnce)
{
    TempDir dir;
    const fs::path book = dir.path() / "Corners.xlsx";
    XlsxBuilder()
        .addSheet("Sheet1",
                  R"(<row r="1"><c r="A1"><v>1</v></c></row>)"
                  R"(<row r="1048576"><c r="XFD1048576"><v>2</v></c></row>)")
        .save(book);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = startSplit({book}, dir.path(), "cell");
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    fs::remove(book);
    EXPECT_EQ(filesIn(dir.path()), (Files{{"Corners_1.txt", "1"}, {"Corners_2.txt", "2"}}));
}

// A batch of bad workbooks between good ones: each bad one is reported with its name and
// reason, and the good ones are split all the same.
TEST(SplitRun, BadWorkbooksAreReportedAndTheBatchGoesOn)
{
    TempDir dir;
    const fs::path in = dir.path() / "in";
    const fs::path out = dir.path() / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    XlsxBuilder().addTableSheet("Sheet1", {{"a"}, {"b"}}).save(in / "First.xlsx");
    XlsxBuilder()
        .addSheetDocument("Sheet1",
                          "<!DOCTYPE w [<!ENTITY a \"aaaaaaaa\">]><worksheet><sheetData>"
                          "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&a;</t></is></c>"
                          "</row></sheetData></worksheet>")
        .save(in / "Laughs.xlsx");
    const std::string whole = readFile(in / "First.xlsx");
    writeFile(in / "Cut.xlsx", whole.substr(0, whole.size() / 2));
    writeFile(in / "Noise.xls", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "junk");
    XlsxBuilder().addTableSheet("Sheet1", {{"c"}}).save(in / "Last.xlsx");

    const fs::path errors = dir.path() / "errors.txt";
    const pid_t pid = startSplit({in / "First.xlsx",
                                  in / "Laughs.xlsx",
                                  in / "Cut.xlsx",
                                  in / "Noise.xls",
                                  in / "Last.xlsx"},
                                 out,
                                 "row",
                                 errors);
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1); // failures were reported
    EXPECT_EQ(filesIn(out),
              (Files{{"First_1.txt", "a,"}, {"First_2.txt", "b,"}, {"Last_1.txt", "c,"}}));
    const std::string reported = readFile(errors);
    for (const std::string& expected :
         {(in / "Laughs.xlsx").string()
              + ": the workbook is damaged (xl/worksheets/sheet1.xml has a document type "
                "declaration",
          (in / "Cut.xlsx").string() + ": the workbook is damaged",
          (in / "Noise.xls").string() + ": "}) {
        EXPECT_NE(reported.find("sheetfray-split: " + expected), std::string::npos)
            << expected << "\nin:\n"
            << reported;
    }
}

TEST(SplitRun, KilledRunLeavesOnlyCompleteOrOlderFiles)
{
    TempDir dir;
    // Rows of different lengths, so a file cut short cannot look like another row's; few
    // distinct texts, as the builder looks each one up.
    std::vector<std::vector<TableCell>> rows;
    for (int r = 1; r <= 12'000; ++r) {
        rows.push_back({r, std::string(static_cast<std::size_t>(r % 97 + 1), 'x'), r * 0.25});
    }
    const fs::path book = dir.path() / "Big.xlsx";
    XlsxBuilder().addTableSheet("Sheet1", rows).save(book);
    const fs::path killed = dir.path() / "killed";
    const fs::path finished = dir.path() / "finished";
    fs::create_directories(killed);
    fs::create_directories(finished);
    // Older files the run would replace, early and late in its order.
    for (const char* name : {"Big_1.txt", "Big_5000.txt", "Big_11999.txt"}) {
        writeFile(killed / name, "older content");
    }

    const pid_t pid = startSplit({book}, killed);
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_TRUE(signalAfter(pid, killed, 1000, SIGKILL, status))
        << "the run ended before it could be killed";
    ASSERT_TRUE(WIFSIGNALED(status));

    const pid_t complete = startSplit({book}, finished);
    ASSERT_GT(complete, 0);
    ASSERT_EQ(waitpid(complete, &status, 0), complete);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const Files expected = filesIn(finished);
    ASSERT_EQ(expected.size(), rows.size());

    std::size_t temporaries = 0;
    std::size_t written = 0;
    for (const auto& [name, content] : filesIn(killed)) {
        if (isTemporary(name)) {
            ++temporaries; // the one file being written when the kill came
            continue;
        }
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end()) << name;
        if (content == "older content") {
            continue;
        }
        EXPECT_EQ(content, found->second) << name << " is not complete";
        ++written;
    }
    EXPECT_LE(temporaries, 1u);
    EXPECT_GE(written, 500u);
}

TEST(SplitRun, InterruptedRunEndsByTheSignalWithEveryWrittenFileNamed)
{
    TempDir dir;
    std::vector<std::vector<TableCell>> rows;
    for (int r = 1; r <= 12'000; ++r) {
        rows.push_back({r, std::string(static_cast<std::size_t>(r % 89 + 1), 'y')});
    }
    const fs::path book = dir.path() / "Big.xlsx";
    XlsxBuilder().addTableSheet("Sheet1", rows).save(book);
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    for (const int signal : {SIGINT, SIGTERM}) {
        fs::remove_all(out);
        fs::create_directories(out);
        const pid_t pid = startSplit({book}, out);
        ASSERT_GT(pid, 0);
        int status = 0;
        ASSERT_TRUE(signalAfter(pid, out, 500, signal, status))
            << "the run ended before the signal";
        // Ended as the signal ends a program, not as a finished run.
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        // Files are named in order: what is there is the first rows, each complete.
        const Files files = filesIn(out);
        EXPECT_GE(files.size(), 500u);
        for (std::size_t r = 1; r <= files.size(); ++r) {
            const auto found = files.find("Big_" + std::to_string(r) + ".txt");
            ASSERT_NE(found, files.end()) << r << " of " << files.size();
            EXPECT_EQ(found->second, std::to_string(r) + "," + std::string(r % 89 + 1, 'y') + ",")
                << r;
        }
    }
}

// The archive has no name until the run completes: a run stopped or killed at any moment
// leaves the older archive as it was and nothing beside it.
TEST(SplitRun, StoppedOrKilledZipRunLeavesTheOlderArchiveAlone)
{
    TempDir dir;
    std::vector<std::vector<TableCell>> rows;
    for (int r = 1; r <= 12'000; ++r) {
        rows.push_back({r, std::string(static_cast<std::size_t>(r % 89 + 1), 'z'), r * 0.5});
    }
    const fs::path book = dir.path() / "Big.xlsx";
    XlsxBuilder().addTableSheet("Sheet1", rows).save(book);
    const fs::path zips = dir.path() / "zips";
    fs::create_directories(zips);
    const fs::path zip = zips / "all.zip";
    writeFile(zip, "older archive");
    for (const int signal : {SIGTERM, SIGKILL}) {
        const pid_t pid = startSplit({book}, {}, "cell", "/dev/null", {"--zip", zip.string()});
        ASSERT_GT(pid, 0);
        // The archive is being written once the process holds a file without a name there.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        const std::string descriptors = "/proc/" + std::to_string(pid) + "/fd";
        bool writing = false;
        int status = 0;
        while (!writing && std::chrono::steady_clock::now() < deadline) {
            ASSERT_NE(waitpid(pid, &status, WNOHANG), pid) << "the run ended before the signal";
            std::error_code ignored;
            for (const auto& entry : fs::directory_iterator(descriptors, ignored)) {
                const std::string target = fs::read_symlink(entry.path(), ignored).string();
                writing = writing || target.starts_with(zips.string() + "/");
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, signal);
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the signal";
        EXPECT_EQ(filesIn(zips), (Files{{"all.zip", "older archive"}}));
    }
}

} // namespace
} // namespace sheetfray::testing
