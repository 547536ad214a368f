// What the window tells the user about the host: that none can be created at start-up, and
// that one is open before a run.
#pragma once

#include "engine/Host.h"
#include "platform/Dialogs.h"

#include <QtGlobal>

#include <string_view>

namespace sheetfray::window {

// Shown when no host instance can be created; the program ends when it is closed.
inline constexpr std::string_view HostMissingMessage = QT_TRANSLATE_NOOP(
    "Sheetfray",
    "Error 842001. A normal instance of Excel could not be created.\r\n\r\n"
    "1. Please make sure Excel is installed on this computer.\r\n\r\n"
    "2. Please open Excel normally and make sure a blank spreadsheet opens immediately without "
    "any interrupting window (such as an Excel file recovery window).\r\n\r\n"
    "3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens "
    "normally without any interrupting messages.\r\n\r\n"
    "4. All versions of Excel are supported by this software except for the rare Excel Starter "
    "and Student editions.");

// Asked before a run when the user has the spreadsheet application open.
inline constexpr std::string_view OpenInstanceQuestion =
    QT_TRANSLATE_NOOP("Sheetfray",
                      "Excel may be open. It is recommended that you close Excel first.\r\n\r\n"
                      "Would you like to proceed anyway?");

// Creates a host instance and releases it at once. True when that worked; otherwise shows
// HostMissingMessage (OK, no icon) and returns false: the caller then ends the program.
[[nodiscard]] bool
checkHostCanStart(engine::HostFactory& hosts, platform::Dialogs& dialogs, std::string_view title);

// True when the run must not start: the user has an instance open (running) and answers
// No to OpenInstanceQuestion. Asks nothing when none is open.
[[nodiscard]] bool
shouldStopForOpenHost(platform::Dialogs& dialogs, std::string_view title, bool running);

} // namespace sheetfray::window
