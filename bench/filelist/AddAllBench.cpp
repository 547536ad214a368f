// Fills the file list with "Add All Excel Files In Folder" over a large folder tree, through
// the window on the offscreen platform, and compares it with find walking the same tree.
// Usage: sheetfray-bench-filelist TREE [ROUNDS]
//        sheetfray-bench-filelist --make TREE FOLDERS FILES_PER_FOLDER
#include "engine/readers/FileHost.h"
#include "platform/LocaleSetup.h"
#include "platform/SystemLocale.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/std/PosixFileSystem.h"
#include "window/MainWindow.h"
#include "window/SettingsStore.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace sheetfray;
using Clock = std::chrono::steady_clock;

// Answers the extension prompt with its default and the folder browser with the tree.
class UnattendedDialogs final : public platform::Dialogs
{
public:
    explicit UnattendedDialogs(std::string folder)
        : m_folder(std::move(folder))
    {}

    int unexpected = 0;

    void message(std::string_view, std::string_view) override { ++unexpected; }

    bool question(std::string_view, std::string_view) override
    {
        ++unexpected;
        return false;
    }

    void warning(std::string_view, std::string_view text) override
    {
        ++unexpected;
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }

    std::string input(std::string_view, std::string_view, std::string_view answer) override
    {
        return std::string(answer);
    }

    std::string browseForFolder(std::string_view, std::string_view) override { return m_folder; }

private:
    std::string m_folder;
};

// The real event loop, timing the longest stretch without handling events.
class TimedEventLoop final : public platform::qt::QtEventLoop
{
public:
    Clock::time_point last = Clock::now();
    Clock::duration longestGap{};

    void processPendingEvents() override
    {
        QtEventLoop::processPendingEvents();
        const Clock::time_point now = Clock::now();
        longestGap = std::max(longestGap, now - last);
        last = now;
    }
};

double seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

// FOLDERS folders, a tenth of them at the top and the rest spread below those, each with
// FILES workbooks.
int makeTree(const std::filesystem::path& root, int folders, int files)
{
    const int top = std::max(1, folders / 100);
    int made = 0;
    for (int t = 0; t < top && made < folders; ++t) {
        const std::filesystem::path parent = root / ("Region " + std::to_string(t));
        std::filesystem::create_directories(parent);
        ++made;
        for (int f = 0; f < files; ++f) {
            std::ofstream(parent / ("Book" + std::to_string(f) + ".xlsx")) << "x";
        }
        for (int s = 0; s < folders / top - 1 && made < folders; ++s, ++made) {
            const std::filesystem::path folder = parent / ("Office " + std::to_string(s));
            std::filesystem::create_directory(folder);
            for (int f = 0; f < files; ++f) {
                std::ofstream(folder / ("Book" + std::to_string(f) + ".xlsx")) << "x";
            }
        }
    }
    std::printf("made %d folders with %d files each in %s\n", made, files, root.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "--make") {
        return makeTree(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    }
    if (argc != 2 && argc != 3) {
        std::fputs("usage: sheetfray-bench-filelist TREE [ROUNDS]\n"
                   "       sheetfray-bench-filelist --make TREE FOLDERS FILES_PER_FOLDER\n",
                   stderr);
        return 2;
    }
    const std::string tree = std::filesystem::absolute(argv[1]).lexically_normal().string();
    const int rounds = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const platform::TextSetup text = platform::adoptTextSetup();
    QTemporaryDir config;
    window::IniSettingsStore store(config.filePath(QStringLiteral("Sheetfray.ini")));
    UnattendedDialogs dialogs(tree);
    TimedEventLoop events;
    engine::readers::FileHostFactory hosts;
    platform::PosixFileSystem files;
    window::NoSampleRecorder samples;
    window::MainWindow mainWindow(window::WindowServices{store,
                                                         dialogs,
                                                         events,
                                                         hosts,
                                                         text.codePage,
                                                         text.valueLocale,
                                                         samples,
                                                         config.path().toStdString(),
                                                         config.path().toStdString(),
                                                         [] { return false; },
                                                         std::chrono::milliseconds(20),
                                                         &files});
    if (!mainWindow.startUp()) {
        return 1;
    }
    mainWindow.show();
    QApplication::processEvents();

    const std::string find = "find '" + tree + "' > /dev/null";
    // Both walks meet warm caches.
    if (std::system(find.c_str()) != 0) {
        return 1;
    }
    double bestFind = 1e9;
    double bestAddAll = 1e9;
    double longestGap = 0;
    int entries = 0;
    for (int round = 0; round < rounds; ++round) {
        const Clock::time_point findStart = Clock::now();
        if (std::system(find.c_str()) != 0) {
            return 1;
        }
        bestFind = std::min(bestFind, seconds(Clock::now() - findStart));

        mainWindow.clearList();
        QApplication::processEvents();
        events.longestGap = {};
        const Clock::time_point start = Clock::now();
        events.last = start;
        mainWindow.addFolder();
        const Clock::time_point end = Clock::now();
        bestAddAll = std::min(bestAddAll, seconds(end - start));
        longestGap = std::max(longestGap, seconds(std::max(events.longestGap, end - events.last)));
        entries = mainWindow.fileList().count();
        QApplication::processEvents();
    }
    std::printf("entries %d\n", entries);
    std::printf("find                  %.3f s (best of %d)\n", bestFind, rounds);
    std::printf("Add All, list filled  %.3f s (best of %d)\n", bestAddAll, rounds);
    std::printf("ratio Add All / find  %.2f\n", bestAddAll / bestFind);
    std::printf("longest time without handling events %.0f ms\n", longestGap * 1000);
    return dialogs.unexpected == 0 ? 0 : 1;
}
