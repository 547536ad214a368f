// One zip archive that takes every file of a run in place of a folder.
#pragma once

#include "engine/OutputFile.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace sheetfray::engine {

class RunOutputs;

// Entries are deflated as they come and written at once, so the archive's memory is its
// directory alone. The archive is a GrowingFile: it takes its name only in commit(), and a run
// that stops or fails before then leaves nothing, an older file of that name unchanged.
// Several lanes may add at once: each deflates on its own thread, and the writing is locked.
class ZipArchive
{
public:
    // root is the folder that the run's paths are named in: an entry is named by the part of
    // the path after it. Throws WriteError when the archive's folder cannot take the file.
    ZipArchive(std::string path, std::string root);

    // The entry name of a path of the run.
    [[nodiscard]] std::string_view entryName(std::string_view path) const;

    // Whether an entry of that path's name was added.
    [[nodiscard]] bool holds(const std::string& path);

    // Adds the bytes as the entry of path, deflated. Throws WriteError; after a failure every
    // later call fails too, and the archive cannot be committed.
    void add(const std::string& path, std::string_view bytes);

    // Writes the directory and gives the archive its name, replacing a file of that name
    // unless it is one of the run's workbooks (outputs) or read-only. Throws WriteError.
    void commit(const RunOutputs* outputs);

    [[nodiscard]] const std::string& path() const { return m_file.path(); }

    [[nodiscard]] std::uint64_t entries();

private:
    struct Entry
    {
        std::string name;
        std::uint32_t crc = 0;
        std::uint64_t compressedSize = 0;
        std::uint64_t size = 0;
        std::uint64_t offset = 0;
        std::uint16_t flags = 0; // of the local header and the directory's
    };

    void flush(); // the buffer into the file; the mutex is held
    void failWith(const std::string& reason); // remembers it and throws

    std::mutex m_mutex;
    GrowingFile m_file;
    std::string m_root; // with its final "/"
    std::string m_buffer;
    std::uint64_t m_written = 0; // bytes in the file and the buffer
    std::vector<Entry> m_entries;
    std::unordered_set<std::string> m_names;
    std::uint16_t m_dosTime = 0;
    std::uint16_t m_dosDate = 0;
    std::string m_failure; // why the archive is of no use; empty: it is
};

} // namespace sheetfray::engine
