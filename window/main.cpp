// sheetfray: the window over the splitting engine.
#include "engine/Instance.h"
#include "engine/StopSignals.h"
#include "engine/readers/FileHost.h"
#include "platform/LocaleSetup.h"
#include "platform/SystemLocale.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/SystemFolders.h"
#include "platform/std/PosixFileSystem.h"
#include "window/MainWindow.h"
#include "window/Samples.h"
#include "window/SettingsStore.h"
#include "window/StartPaths.h"
#include "window/Translations.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#ifndef SHEETFRAY_VERSION
#define SHEETFRAY_VERSION "0"
#endif

namespace {

using namespace sheetfray;

// --help and --version are answered before Qt starts, so they need no display. Anything
// after "--" is a file to add.
std::optional<int> answerWithoutWindow(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument == "--help" || argument == "-h") {
            std::fputs("Usage: sheetfray [FILE|FOLDER]...\n"
                       "Opens the window that splits spreadsheet workbooks into one file per "
                       "row,\ncolumn or non-blank cell; files and folders named join its list.\n"
                       "\n"
                       "  -h, --help     show this help\n"
                       "  -V, --version  show the version\n"
                       "\n"
                       "For scripts, see sheetfray-split --help.\n",
                       stdout);
            return 0;
        }
        if (argument == "--version" || argument == "-V") {
            std::puts("sheetfray " SHEETFRAY_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

int run(int& argc, char** argv)
{
    QApplication application(argc, argv);
    // Ended by a signal during a run (a closed session, Ctrl-C in the terminal that started
    // it), the program names the files it has written first, as when its window is closed.
    engine::endOnStopSignals();
    // Boxes and dialogs take the application's font, not the window's.
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    QApplication::setFont(font);
    window::installTranslations(QLocale::system());

    const platform::TextSetup text = platform::adoptTextSetup();
    if (!text.warning.empty()) {
        std::fprintf(stderr, "sheetfray: %s\n", text.warning.c_str());
    }
    window::IniSettingsStore store;
    platform::qt::QtDialogs dialogs;
    store.onWriteFailure(
        [&dialogs](const std::string& message) { dialogs.warning("Sheetfray", message); });
    platform::qt::QtEventLoop events;
    engine::readers::FileHostFactory hosts;
    platform::PosixFileSystem files;
    const std::string programFolder = platform::qt::programFolder();
    // Recorded before the window shows, so there are no events to handle meanwhile.
    window::SampleFiles samples(store, files, programFolder);
    window::MainWindow mainWindow(window::WindowServices{store,
                                                         dialogs,
                                                         events,
                                                         hosts,
                                                         text.codePage,
                                                         text.valueLocale,
                                                         samples,
                                                         programFolder,
                                                         platform::qt::desktopFolder(),
                                                         engine::isSpreadsheetHostRunning,
                                                         std::chrono::milliseconds(20),
                                                         &files});
    dialogs.setParent(&mainWindow);
    if (!mainWindow.startUp()) {
        return 1;
    }
    mainWindow.show();
    // Files and folders named on the command line (the menu entry, a file manager's "Open
    // With") join the list as a drop would add them. Qt has taken its own options out of argv.
    std::error_code noFolder;
    const std::string currentFolder = std::filesystem::current_path(noFolder).string();
    mainWindow.addStartPaths(window::startPaths({argv + 1, argv + argc}, currentFolder));
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    // A closed pipe (standard error read by a launcher that went away) fails the write
    // instead of ending the program mid-run.
    std::signal(SIGPIPE, SIG_IGN);
    if (const std::optional<int> answered = answerWithoutWindow(argc, argv)) {
        return *answered;
    }
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sheetfray: %s\n", e.what());
    } catch (...) {
        std::fputs("sheetfray: unexpected failure\n", stderr);
    }
    return 1;
}
