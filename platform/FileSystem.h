// What the file list needs from the file system: folder listings, folder identities, link
// targets and file attributes.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sheetfray::platform {

// One name in a folder listing, without "." and "..".
struct FolderEntry
{
    enum class Kind : std::uint8_t {
        File, // a regular file, or a link to one
        Folder, // a folder, or a link to one
        Other, // a device, pipe or socket, or a link that leads nowhere
    };

    std::string name;
    Kind kind = Kind::Other;
    bool isLink = false; // the name itself is a symbolic link
};

// A folder as the system knows it, whatever path led there: two paths with the same
// identity are one folder.
struct FolderId
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    auto operator<=>(const FolderId&) const = default;
};

struct FolderListing
{
    enum class Outcome : std::uint8_t {
        Listed,
        AccessDenied, // the folder may not be read
        NotFound, // the folder, or a folder on its path, does not exist (any more)
        Failed, // anything else: an input/output error, too many open files, ...
    };

    Outcome outcome = Outcome::Failed;
    FolderId id; // valid when listed
    std::vector<FolderEntry> entries; // in the order the system gives them
};

// File attributes as bits, the values the list's rules are written in. Here hidden means a
// name that begins with ".", archive a regular file and reparse point a symbolic link;
// system is never set.
namespace Attribute {
inline constexpr std::uint32_t ReadOnly = 1; // the user may not write it
inline constexpr std::uint32_t Hidden = 2;
inline constexpr std::uint32_t System = 4;
inline constexpr std::uint32_t Folder = 16;
inline constexpr std::uint32_t Archive = 32;
inline constexpr std::uint32_t ReparsePoint = 1024;
} // namespace Attribute

// Paths are the system's bytes (UTF-8 text where names are valid UTF-8). No call throws for
// a path that is missing or cannot be examined; it answers with its "nothing" value.
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // Lists one folder (a path with or without a final "/"), links resolved for each
    // entry's kind.
    [[nodiscard]] virtual FolderListing listFolder(const std::string& folder) = 0;
    // The path with every link resolved, or the empty text when it cannot be resolved.
    [[nodiscard]] virtual std::string realPath(const std::string& path) = 0;
    // The attribute bits of the path itself (a link is not followed), or nothing when the
    // path does not exist.
    [[nodiscard]] virtual std::optional<std::uint32_t> attributes(const std::string& path) = 0;
    // The longest path, in bytes, that the system accepts.
    [[nodiscard]] virtual std::size_t pathLimit() const = 0;
};

} // namespace sheetfray::platform
