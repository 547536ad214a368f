// Writing output files so that a failure never leaves a partial or damaged file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::engine {

class RunOutputs;

// Temporary files carry this in their name, so a leftover one says whose it is.
inline constexpr std::string_view TemporaryMarker = ".sheetfray-";

// The space of the file system that holds a folder.
struct DiskSpace
{
    std::uint64_t available = 0; // bytes the user may still write (statvfs f_bavail)
    std::uint64_t total = 0; // the file system's size
    std::uint64_t blockSize = 0; // the least a file with any content takes (f_frsize)
};

// Tells the space of the file system that holds folder; nothing when that cannot be told (no
// such folder, a file system without a size such as /proc).
using DiskSpaceSource = std::function<std::optional<DiskSpace>(const std::string& folder)>;

// The system's answer, from statvfs.
[[nodiscard]] std::optional<DiskSpace> SystemDiskSpace(const std::string& folder);

// Writes the bytes as the whole content of the file at path, replacing a file of that name.
// The file gets its name only when it is complete: on Linux it is written without a name
// (O_TMPFILE) and linked in; where that is not possible, and to replace an older file, it is
// written as a hidden temporary beside the target (".sheetfray-NNN-K.tmp"), closed and
// renamed into place. So whoever looks at path (a reader, a run killed at any moment) sees
// the older file or the complete new one, never a part of either. On failure nothing is
// left, an older file of that name is unchanged, and WriteError says
// `cannot write "PATH": REASON` with the system's reason.
//
// A file that holds the name already is replaced only when it may be: never a workbook of the
// run (outputs, when given, knows them) and never a file the user cannot write, both reported
// as failures. A replaced file's permission bits go to the new file. A symbolic link at the
// name is replaced by the file, never followed.
void WriteTextFile(std::string_view bytes,
                   const std::string& path,
                   const RunOutputs* outputs = nullptr);

// One file written piece by piece, with WriteTextFile's promise: it gets its name only when
// complete(), replacing a file of that name only then and only as WriteTextFile may. Until
// then it has no name (on file systems without unnamed files, a hidden temporary beside the
// target), so a run that fails, or is killed, leaves nothing under the name.
class GrowingFile
{
public:
    // Throws WriteError when the folder cannot take the file (missing, not writable).
    explicit GrowingFile(std::string path);
    ~GrowingFile(); // a file never completed is removed
    GrowingFile(const GrowingFile&) = delete;
    GrowingFile& operator=(const GrowingFile&) = delete;

    // Throws WriteError; the file is of no use after that.
    void append(std::string_view bytes);

    // Gives the complete file its name. Throws WriteError, and the file is removed then.
    void complete(const RunOutputs* outputs = nullptr);

    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    std::string m_path;
    int m_fd = -1;
    std::string m_temporary; // the hidden temporary's name; empty while the file has none
};

// Writes a walk's many files as WriteTextFile does, with the same promise, but gives them
// their names on a second thread: the caller creates and fills each unnamed file while the
// one before is linked in, and the two halves of creating a file overlap. Files get their
// names in the order they were written, so of two files of one name the later one stays.
// A failure found while writing is thrown at once, as WriteTextFile throws it; one found
// while naming comes back later from takeFailures(). A file that failed is not there.
class OutputWriter
{
public:
    // outputs, when given, names the workbooks that no file may replace.
    explicit OutputWriter(const RunOutputs* outputs = nullptr);
    ~OutputWriter(); // names every file written, as finish() does
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // tag comes back with a failure of this file found later.
    void write(std::string_view bytes, const std::string& path, int tag);

    // Whether a file written under this path still waits for its name.
    [[nodiscard]] bool holds(const std::string& path);

    // Returns when every file written so far has its name or has failed.
    void finish();

    struct Failure
    {
        int tag;
        std::string message; // `cannot write "PATH": REASON`
        std::string reason{}; // REASON alone
    };

    // The failures found since the last call, oldest first; cheap when there are none.
    [[nodiscard]] std::vector<Failure> takeFailures();

    // Names the files of every writer at work: for a program about to end at once, so each
    // file whose row it has passed is there.
    static void finishAll() noexcept;

    // Whether files of any writer wait for their names; safe to ask in a signal handler.
    [[nodiscard]] static bool anyWaiting() noexcept;

    struct Queue;

private:
    std::unique_ptr<Queue> m_queue;
};

} // namespace sheetfray::engine
