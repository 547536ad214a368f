// The files and folders named when the window is started ("sheetfray FILE..."), as the menu
// entry and file managers pass them.
#pragma once

#include <string>
#include <vector>

namespace sheetfray::window {

// The paths among the arguments (the program's name and Qt's own options already taken
// out), in order and byte for byte. Arguments starting with "-" are options this window does
// not have and are passed over, up to a "--" after which every argument is a path; empty
// arguments are passed over. A relative path is taken from currentFolder; "." and ".." parts
// and doubled separators are removed, so the list shows what a drop would show.
[[nodiscard]] std::vector<std::string> startPaths(const std::vector<std::string>& arguments,
                                                  const std::string& currentFolder);

} // namespace sheetfray::window
