// Questions about paths that never fail: a path that cannot be examined answers false.
#pragma once

#include <string_view>

namespace sheetfray::window {

// True when the path names an existing folder.
[[nodiscard]] bool IsFolder(std::string_view path) noexcept;

// True when the path exists, as a file or a folder.
[[nodiscard]] bool FileIsPresent(std::string_view path) noexcept;

// True when the path names an existing regular file (or a link to one).
[[nodiscard]] bool IsRegularFile(std::string_view path) noexcept;

} // namespace sheetfray::window
