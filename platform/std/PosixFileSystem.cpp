#include "platform/std/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

namespace sheetfray::platform {

namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};

using DirHandle = std::unique_ptr<DIR, DirCloser>;

FolderListing::Outcome outcomeOf(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return FolderListing::Outcome::AccessDenied;
    case ENOENT:
    case ENOTDIR:
        return FolderListing::Outcome::NotFound;
    default:
        return FolderListing::Outcome::Failed;
    }
}

FolderEntry::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode)) {
        return FolderEntry::Kind::File;
    }
    if (S_ISDIR(mode)) {
        return FolderEntry::Kind::Folder;
    }
    return FolderEntry::Kind::Other;
}

// The kind of what a link leads to; a link that leads nowhere is Other.
FolderEntry::Kind targetKind(int folder, const char* name)
{
    struct stat target
    {};

    if (fstatat(folder, name, &target, 0) != 0) {
        return FolderEntry::Kind::Other;
    }
    return kindOf(target.st_mode);
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The last name of the path, trailing "/" ignored.
std::string_view lastName(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

FolderListing PosixFileSystem::listFolder(const std::string& folder)
{
    FolderListing listing;
    const DirHandle dir(opendir(folder.c_str()));
    if (!dir) {
        listing.outcome = outcomeOf(errno);
        return listing;
    }
    const int fd = dirfd(dir.get());

    struct stat own
    {};

    if (fstat(fd, &own) != 0) {
        listing.outcome = outcomeOf(errno);
        return listing;
    }
    listing.id = {static_cast<std::uint64_t>(own.st_dev), static_cast<std::uint64_t>(own.st_ino)};
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                listing.outcome = outcomeOf(errno);
                listing.entries.clear();
                return listing;
            }
            break;
        }
        if (isDotOrDotDot(entry->d_name)) {
            continue;
        }
        FolderEntry found{entry->d_name, FolderEntry::Kind::Other, false};
        switch (entry->d_type) {
        case DT_REG:
            found.kind = FolderEntry::Kind::File;
            break;
        case DT_DIR:
            found.kind = FolderEntry::Kind::Folder;
            break;
        case DT_LNK:
            found.isLink = true;
            found.kind = targetKind(fd, entry->d_name);
            break;
        case DT_UNKNOWN: {
            // Some file systems leave the type out of the listing.
            struct stat ownEntry
            {};

            if (fstatat(fd, entry->d_name, &ownEntry, AT_SYMLINK_NOFOLLOW) != 0) {
                continue; // gone since it was listed
            }
            found.isLink = S_ISLNK(ownEntry.st_mode);
            found.kind = found.isLink ? targetKind(fd, entry->d_name) : kindOf(ownEntry.st_mode);
            break;
        }
        default:
            break;
        }
        listing.entries.push_back(std::move(found));
    }
    listing.outcome = FolderListing::Outcome::Listed;
    return listing;
}

std::string PosixFileSystem::realPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                               &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

std::optional<std::uint32_t> PosixFileSystem::attributes(const std::string& path)
{
    struct stat own
    {};

    if (path.empty() || lstat(path.c_str(), &own) != 0) {
        return std::nullopt;
    }
    std::uint32_t bits = 0;
    mode_t mode = own.st_mode;
    if (S_ISLNK(mode)) {
        bits |= Attribute::ReparsePoint;

        struct stat target
        {};

        mode = stat(path.c_str(), &target) == 0 ? target.st_mode : 0;
    }
    if (S_ISDIR(mode)) {
        bits |= Attribute::Folder;
    } else if (S_ISREG(mode)) {
        bits |= Attribute::Archive;
    }
    if (lastName(path).starts_with('.')) {
        bits |= Attribute::Hidden;
    }
    if (access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
        bits |= Attribute::ReadOnly;
    }
    return bits;
}

std::size_t PosixFileSystem::pathLimit() const
{
    // PATH_MAX counts the terminating NUL.
    return PATH_MAX - 1;
}

} // namespace sheetfray::platform
