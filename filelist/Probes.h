// Questions about paths that never fail: a path that cannot be examined answers false.
#pragma once

#include <string_view>

namespace sheetfray::filelist {

// True when the path names an existing folder.
[[nodiscard]] bool isFolder(std::string_view path) noexcept;

// True when the path exists, as a file or a folder.
[[nodiscard]] bool pathExists(std::string_view path) noexcept;

// True when the path names an existing file that could be opened (a link to one counts);
// a folder, a device or a missing path answers false.
[[nodiscard]] bool isExistingFile(std::string_view path) noexcept;

} // namespace sheetfray::filelist
