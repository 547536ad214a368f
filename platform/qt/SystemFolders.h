// The folders the program finds on the system: its own and the user's desktop.
#pragma once

#include <string>

namespace sheetfray::platform::qt {

// The folder of the running executable, without a trailing "/". Needs a QCoreApplication.
[[nodiscard]] std::string programFolder();

// The user's desktop folder (XDG_DESKTOP_DIR) when it exists, else the home folder; without
// a trailing "/".
[[nodiscard]] std::string desktopFolder();

} // namespace sheetfray::platform::qt
