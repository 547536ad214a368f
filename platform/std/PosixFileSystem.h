// The file system through POSIX calls.
#pragma once

#include "platform/FileSystem.h"

namespace sheetfray::platform {

// A listing reads each folder once and asks for an entry's kind only when the folder does not
// say it (links, and file systems without entry types), so a scan costs about what a walk
// with find costs.
class PosixFileSystem final : public FileSystem
{
public:
    FolderListing listFolder(const std::string& folder) override;
    std::string realPath(const std::string& path) override;
    std::optional<std::uint32_t> attributes(const std::string& path) override;
    std::size_t pathLimit() const override;
};

} // namespace sheetfray::platform
