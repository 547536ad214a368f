// Folder scans on real folders and on folders with faults: order, skipping rules, links,
// depth, and the files a scan adds.
#include "filelist/FolderScan.h"

#include "tests/fakes/FakeFileSystem.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace sheetfray::testing {

namespace {

namespace fs = std::filesystem;
using platform::FolderEntry;
using platform::FolderListing;

class FolderScan : public ::testing::Test
{
protected:
    TempDir dir;
    FakeFileSystem files;
    engine::CodePage codePage = engine::CodePage::utf8();
    RecordingReporter reporter;
    int yields = 0;
    filelist::ScanServices services{files, codePage, reporter, [this] {
                                        ++yields;
                                        return true;
                                    }};

    [[nodiscard]] std::string root() const { return dir.str() + "/"; }

    void makeFolders(std::initializer_list<const char*> relative)
    {
        for (const char* folder : relative) {
            fs::create_directories(dir.path() / folder);
        }
    }

    // The folders a scan from the start folders keeps, relative to the temporary folder.
    std::vector<std::string> scan(std::vector<std::string> start)
    {
        filelist::addSubfolders(start, services);
        for (std::string& folder : start) {
            folder = folder.starts_with(root()) ? folder.substr(root().size()) : folder;
        }
        return start;
    }
};

TEST_F(FolderScan, ListsLevelByLevelWithEachParentsSubfoldersByName)
{
    makeFolders({"start/B/B1", "start/A/A1", "start/A/a0", "start/c"});
    const std::vector<std::string> expected{
        "start/", "start/A/", "start/B/", "start/c/", "start/A/a0/", "start/A/A1/", "start/B/B1/"};
    EXPECT_EQ(scan({root() + "start"}), expected);
    // The window handles its events once per folder.
    EXPECT_EQ(yields, 7);
    EXPECT_TRUE(reporter.reports.empty());
}

TEST_F(FolderScan, EntersNoHiddenFolderNorNamesWithBadCharacters)
{
    makeFolders({"start/.git/objects", "start/.cache", "start/ok/.Trash-1000/files", "start/v1.2"});
    fs::create_directory_symlink(dir.path() / "start/ok", dir.path() / "start/.link");
    for (const char* bad : {"start/what?",
                            "start/tab\there",
                            "start/bad\xff"
                            "name"}) {
        fs::create_directories(dir.path() / bad / "inner");
    }
    const std::vector<std::string> expected{"start/", "start/ok/", "start/v1.2/"};
    EXPECT_EQ(scan({root() + "start"}), expected);
}

TEST_F(FolderScan, EntersAHiddenStartFolderButNoHiddenFolderBelowIt)
{
    makeFolders({".config/app/.state", ".config/more"});
    const std::vector<std::string> expected{".config/", ".config/app/", ".config/more/"};
    EXPECT_EQ(scan({root() + ".config"}), expected);
}

TEST_F(FolderScan, FollowsNoLinkBackIntoTheTreeAndScansNoFolderTwice)
{
    makeFolders({"tree/a", "tree/b", "tree/c", "outside/inner"});
    fs::create_directory_symlink(dir.path() / "tree", dir.path() / "tree/a/up");
    fs::create_directory_symlink(".", dir.path() / "tree/a/self");
    fs::create_directory_symlink(dir.path() / "outside", dir.path() / "tree/b/out");
    fs::create_directory_symlink(dir.path() / "outside", dir.path() / "tree/c/again");
    fs::create_directory_symlink(dir.path() / "tree/b", dir.path() / "outside/inner/back");
    fs::create_directory_symlink(dir.path() / "outside", dir.path() / "outside/inner/loop");
    fs::create_directory_symlink(dir.path() / "nowhere", dir.path() / "tree/dangling");
    // The outside folder is scanned once, through the first link to it.
    const std::vector<std::string> expected{
        "tree/", "tree/a/", "tree/b/", "tree/c/", "tree/b/out/", "tree/b/out/inner/"};
    EXPECT_EQ(scan({root() + "tree"}), expected);
}

TEST_F(FolderScan, DropsFoldersThatDenyAccessVanishOrThrowAndGoesOn)
{
    makeFolders(
        {"s/denied/below", "s/gone/below", "s/failing/below", "s/ok/below", "s/throws/below"});
    files.listingFaults[root() + "s/denied/"] = FolderListing::Outcome::AccessDenied;
    files.listingFaults[root() + "s/gone/"] = FolderListing::Outcome::NotFound;
    // A folder that fails otherwise is kept, but what is below it is unknown.
    files.listingFaults[root() + "s/failing/"] = FolderListing::Outcome::Failed;
    // An unexpected failure is reported as the scan's, and the scan goes on.
    files.listingThrows[root() + "s/throws/"] = "Device I/O error";
    const std::vector<std::string> expected{"s/", "s/failing/", "s/ok/", "s/ok/below/"};
    EXPECT_EQ(scan({root() + "s"}), expected);
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, Location::FolderScan);
    EXPECT_EQ(reporter.reports[0].description, "Device I/O error");
}

TEST_F(FolderScan, EntersNoFolderBeyondThePathLimit)
{
    makeFolders({"s/abcd/efgh", "s/ab/cd"});
    // Room for ".../s/ab/cd/" but not for ".../s/abcd/efgh/".
    files.limit = root().size() + std::string("s/ab/cd/").size();
    const std::vector<std::string> expected{"s/", "s/ab/", "s/abcd/", "s/ab/cd/"};
    EXPECT_EQ(scan({root() + "s"}), expected);
}

TEST_F(FolderScan, EndsWhenTheWindowSaysSo)
{
    makeFolders({"s/a/b/c"});
    services.yield = [this] { return ++yields < 3; };
    const std::vector<std::string> expected{"s/", "s/a/"};
    EXPECT_EQ(scan({root() + "s"}), expected);
}

TEST_F(FolderScan, WalksTenThousandLevelsWithoutRecursing)
{
    constexpr std::size_t Depth = 10'000;
    files.limit = std::size_t(1) << 20;
    files.madeUpListing = [](const std::string& folder) {
        FolderListing listing{FolderListing::Outcome::Listed, {0, folder.size()}, {}};
        if (folder.size() < 2 * Depth + 1) {
            listing.entries.push_back({"d", FolderEntry::Kind::Folder, false});
            listing.entries.push_back({"f.xlsx", FolderEntry::Kind::File, false});
        }
        return listing;
    };
    std::size_t folders = 0;
    std::size_t deepest = 0;
    filelist::scanFolderTree({"/"}, services, [&](const std::string& folder, const auto&) {
        ++folders;
        deepest = folder.size();
    });
    EXPECT_EQ(folders, Depth + 1);
    EXPECT_EQ(deepest, 2 * Depth + 1);
}

TEST(HasBadChars, TellsNamesAFolderScanSkips)
{
    const engine::CodePage utf8 = engine::CodePage::utf8();
    const engine::CodePage western = engine::CodePage::singleByte("WINDOWS-1252");

    struct Case
    {
        const char* name;
        bool badInUtf8;
        bool badInWestern;
    };

    const Case cases[] = {
        {"Quarterly reports", false, false},
        {"Résumés", false, false},
        {"what?", true, true},
        {"line\x01", true, true},
        {"del\x7f", true, true},
        {"next\xc2\x85line", true, true}, // U+0085, a control from 127 to 159
        {"\xe2\x82\xac rates", false, true}, // the euro sign is code 128 in Windows-1252
        {"\xd0\xb6urnal", false, true}, // a Cyrillic letter Windows-1252 lacks
        {"bytes\xff", true, true}, // not UTF-8
        {"\xef\xbf\xbd", false, true}, // a real replacement character
    };
    for (const Case& c : cases) {
        EXPECT_EQ(filelist::hasBadChars(c.name, utf8), c.badInUtf8) << c.name;
        EXPECT_EQ(filelist::hasBadChars(c.name, western), c.badInWestern) << c.name;
    }
}

class FilesInFolder : public FolderScan
{
protected:
    void makeFiles(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            writeFile(dir.path() / name, "x");
        }
    }
};

TEST_F(FilesInFolder, ListsMatchingFilesByNameWithHiddenOnesAndWithoutFolders)
{
    makeFiles({"b.xlsx", "A.XLS", ".hidden.xlsx", "c.txt"});
    fs::create_directory(dir.path() / "folder.xlsx");
    const std::vector<std::string> expected{".hidden.xlsx", "A.XLS", "b.xlsx"};
    EXPECT_EQ(filelist::filesInFolder(dir.str(), "*.xl*", files), expected);
    EXPECT_EQ(filelist::filesInFolder(dir.str() + "/", "*.*", files).size(), 4U);
    EXPECT_TRUE(filelist::filesInFolder(dir.str() + "/missing", "*.*", files).empty());
}

TEST_F(FilesInFolder, AppendsWhatAddAllTakes)
{
    makeFiles({"Book.XLSX", "notes.txt", "~$Book.xlsx", ".draft.xlsx", ".kept.xlsx", "a.xls"});
    fs::create_symlink(dir.path() / "Book.XLSX", dir.path() / ".link.xlsx");
    fs::create_symlink(dir.path() / "gone.xlsx", dir.path() / "dangling.xlsx");
    // Read-only, so not exactly hidden + archive (a test running as root cannot make a file
    // read-only for itself).
    files.attributeOverrides[root() + ".kept.xlsx"] =
        platform::Attribute::Hidden | platform::Attribute::Archive | platform::Attribute::ReadOnly;
    const FolderListing listing = files.listFolder(root());
    std::vector<FolderEntry> entries = listing.entries;
    // A hidden file that vanished after the listing is skipped.
    entries.push_back({".vanished.xlsx", FolderEntry::Kind::File, false});
    std::vector<std::string> added = filelist::filesToAppend(root(), entries, "*.xl*", files);
    std::ranges::sort(added);
    const std::vector<std::string> expected{
        root() + ".kept.xlsx", root() + ".link.xlsx", root() + "Book.XLSX", root() + "a.xls"};
    EXPECT_EQ(added, expected);
    // The star takes every type, still without "~" names.
    EXPECT_EQ(filelist::filesToAppend(root(), listing.entries, "*.*", files).size(), 5U);
    EXPECT_EQ(filelist::filesToAppend(root(), listing.entries, "*.txt", files),
              std::vector<std::string>{root() + "notes.txt"});
}

TEST_F(FilesInFolder, RealAttributesMapOntoTheFileRules)
{
    makeFiles({".hidden", "plain"});
    fs::create_directory(dir.path() / ".folder");
    fs::create_symlink(dir.path() / "plain", dir.path() / "link");
    using namespace platform::Attribute;
    EXPECT_EQ(files.attributes(root() + ".hidden"), Hidden | Archive);
    EXPECT_EQ(files.attributes(root() + "plain"), Archive);
    EXPECT_EQ(files.attributes(root() + ".folder/"), Hidden | Folder);
    EXPECT_EQ(files.attributes(root() + "link"), ReparsePoint | Archive);
    EXPECT_EQ(files.attributes(root() + "missing"), std::nullopt);
}

} // namespace

} // namespace sheetfray::testing
