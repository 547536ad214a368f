// What one run (a batch of the window, an invocation of the command line) knows about the
// files it reads and writes, so that none of its output files takes another's place.
#pragma once

#include "engine/NameRecord.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sheetfray::engine {

class RunOutputs
{
public:
    // Remembers the file at path (by device and inode) as a workbook of the run, which no
    // output file may replace. A path that cannot be looked at is passed over. Call it between
    // splits: the writer's naming thread reads the workbooks while a split runs.
    void addWorkbook(const std::string& path);

    // The workbooks remembered so far, to be shared: a run split in several lanes looks at its
    // workbooks once, and every lane's record reads the same copy.
    using Workbooks = std::set<std::pair<std::uint64_t, std::uint64_t>>; // device, inode
    [[nodiscard]] std::shared_ptr<const Workbooks> workbooksToShare() const;
    void shareWorkbooks(std::shared_ptr<const Workbooks> workbooks);

    // Whether the file of that device and inode is a workbook of the run.
    [[nodiscard]] bool isWorkbook(std::uint64_t device, std::uint64_t inode) const;

    // Answers whether a file this run wrote under that path is still there (waiting for its
    // name or named): the check on a remembered name, which is kept only as a hash.
    using StillThere = std::function<bool(const std::string& path)>;

    // The path to write a file that the naming gave path, whose extension takes the last
    // extensionLength bytes: path itself when the run has not written it yet, otherwise the
    // first of "NAME (2).ext", "NAME (3).ext", ... that the run has not written. Files that were
    // there before the run do not count: a second run writes the names of the first.
    [[nodiscard]] std::string
    claim(std::string path, std::size_t extensionLength, const StillThere& stillThere);

    // With no-clobber, a file that was there before the run is never replaced: claim() treats
    // its name as taken, so the new file takes the next "NAME (2).ext" form instead.
    void setNoClobber(bool noClobber) { m_noClobber = noClobber; }

    [[nodiscard]] bool noClobber() const { return m_noClobber; }

    // A preview run claims names as a real run would but writes nothing: each file's path goes
    // to the preview instead, and a name claimed once stays taken though no file holds it.
    using Preview = std::function<void(const std::string& path)>;

    void setPreview(Preview preview) { m_preview = std::move(preview); }

    [[nodiscard]] const Preview& preview() const { return m_preview; }

    // Adds the file counts and renamed files of another run's outputs to these (the parts of
    // one run split at once, each with its own outputs).
    void addCounts(const RunOutputs& other);

    // How many files took a new name, and the first such name (for the end-of-run note).
    [[nodiscard]] std::uint64_t renamedFiles() const { return m_renamed; }

    [[nodiscard]] const std::string& firstRenamed() const { return m_firstRenamed; }

    // One output file handed to the writer (written) or given up before that.
    void countFile(bool written) { ++(written ? m_filesWritten : m_filesFailed); }

    // A file counted as written failed later, while it was named or written out.
    void countLateFailure()
    {
        --m_filesWritten;
        ++m_filesFailed;
    }

    [[nodiscard]] std::uint64_t filesWritten() const { return m_filesWritten; }

    [[nodiscard]] std::uint64_t filesFailed() const { return m_filesFailed; }

    // A workbook that could not be opened, or one of whose sheets could not be loaded, and
    // why; the first reason of each workbook is kept.
    struct Unreadable
    {
        std::string path;
        std::string reason;
    };

    void markUnreadable(const std::string& path, std::string reason);
    [[nodiscard]] std::vector<Unreadable> takeUnreadable();

    // One cause (a folder moved away, a full disk) can fail every file of a workbook: of the
    // failures of one workbook with the same reason, the first ReportsPerReason are reported
    // and the later ones only counted. Call beginWorkbook before a workbook's split and
    // endWorkbook after it.
    static constexpr std::uint32_t ReportsPerReason = 10;

    void beginWorkbook(std::string fileName);
    // Whether a failure of the workbook for this reason is to be reported; when not, it is
    // counted instead.
    [[nodiscard]] bool shouldReport(const std::string& reason);
    // Gives each reason with failures left unreported its end line:
    // `and 48,959 more files of "Book.xlsx" failed: No such file or directory`.
    void endWorkbook();
    // Those lines, oldest first, for the front end to show with the reports.
    [[nodiscard]] std::vector<std::string> takeUnreportedFailures();

    // Warnings that do not make the run fail, oldest first, for the front end to show.
    void warn(std::string message);
    [[nodiscard]] std::vector<std::string> takeWarnings();

private:
    [[nodiscard]] bool written(const std::string& path, const StillThere& stillThere) const;

    Workbooks m_workbooks;
    std::shared_ptr<const Workbooks> m_sharedWorkbooks; // another record's, as they were
    NameRecord m_written;
    // For a name taken more than once, the suffix number its next copy tries first, so that a
    // thousand rows of one first value cost a thousand lookups, not half a million.
    std::unordered_map<std::uint64_t, std::uint32_t> m_nextSuffix;
    std::uint64_t m_renamed = 0;
    std::string m_firstRenamed;
    std::vector<std::string> m_warnings;
    std::uint64_t m_filesWritten = 0;
    std::uint64_t m_filesFailed = 0;
    std::vector<Unreadable> m_unreadable;
    bool m_noClobber = false;
    Preview m_preview;

    struct ReasonCount
    {
        std::string reason;
        std::uint64_t failures = 0;
    };

    std::string m_workbookName;
    std::vector<ReasonCount> m_reasons; // of the workbook being split; a handful at most
    std::vector<std::string> m_unreportedLines;
};

// 48959 as "48,959", as counts in messages read.
[[nodiscard]] std::string groupedNumber(std::uint64_t number);

// The end-of-run line for renamed files: `3 files took a new name, such as "Report (2).txt",
// because an earlier file of this run had the same name.` Empty when none did.
[[nodiscard]] std::string renamedFilesNote(const RunOutputs& outputs);

} // namespace sheetfray::engine
