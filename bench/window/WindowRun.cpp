// Splits one workbook through the main window on the offscreen platform, as "Start Saving"
// does, and prints how long the run took in seconds. Given STOP_AFTER_MS, presses "Stop" that
// long after the start and prints instead how long the run took to end after the press, and
// how many files it wrote.
// Usage: sheetfray-bench-window WORKBOOK OUTPUT_DIR [STOP_AFTER_MS]
#include "engine/Instance.h"
#include "engine/readers/FileHost.h"
#include "platform/LocaleSetup.h"
#include "platform/SystemLocale.h"
#include "platform/qt/QtEventLoop.h"
#include "window/MainWindow.h"
#include "window/SettingsStore.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace sheetfray;

// Answers every box without a user; anything but the end message makes the run a failure.
class UnattendedDialogs final : public platform::Dialogs
{
public:
    bool done = false;
    int unexpected = 0;

    void message(std::string_view, std::string_view text) override
    {
        if (text.starts_with("Done.") || text.starts_with("Stopped.")) {
            done = true;
        } else {
            complain(text);
        }
    }

    bool question(std::string_view, std::string_view text) override
    {
        complain(text);
        return false;
    }

    void warning(std::string_view, std::string_view text) override { complain(text); }

    std::string input(std::string_view, std::string_view text, std::string_view) override
    {
        complain(text);
        return {};
    }

private:
    void complain(std::string_view text)
    {
        ++unexpected;
        std::fprintf(stderr,
                     "sheetfray-bench-window: unexpected box: %.*s\n",
                     static_cast<int>(text.size()),
                     text.data());
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fputs("usage: sheetfray-bench-window WORKBOOK OUTPUT_DIR [STOP_AFTER_MS]\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const platform::TextSetup text = platform::adoptTextSetup();
    QTemporaryDir config;
    window::IniSettingsStore store(config.filePath(QStringLiteral("Sheetfray.ini")));
    UnattendedDialogs dialogs;
    platform::qt::QtEventLoop events;
    engine::readers::FileHostFactory hosts;
    window::NoSampleRecorder samples;
    const std::string workbook = std::filesystem::absolute(argv[1]).lexically_normal().string();
    const std::string output = std::filesystem::absolute(argv[2]).lexically_normal().string();
    window::MainWindow mainWindow(window::WindowServices{store,
                                                         dialogs,
                                                         events,
                                                         hosts,
                                                         text.codePage,
                                                         text.valueLocale,
                                                         samples,
                                                         config.path().toStdString(),
                                                         config.path().toStdString(),
                                                         engine::isSpreadsheetHostRunning});
    if (!mainWindow.startUp()) {
        return 1;
    }
    mainWindow.show();
    QApplication::processEvents();
    mainWindow.options().setOutputFolder(output);
    mainWindow.addListEntry(workbook);

    std::chrono::steady_clock::time_point pressed;
    if (argc == 4) {
        auto* button = mainWindow.findChild<QPushButton*>(QStringLiteral("PushButton2"));
        QTimer::singleShot(std::stoi(argv[3]), &mainWindow, [&] {
            pressed = std::chrono::steady_clock::now();
            button->click();
        });
    }
    const auto start = std::chrono::steady_clock::now();
    mainWindow.startSaving();
    const auto end = std::chrono::steady_clock::now();
    if (argc == 4) {
        const std::chrono::duration<double> afterPress = end - pressed;
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(output)) {
            ++files;
        }
        // A user's press waits for the run to handle events: counted from when it was due too.
        const std::chrono::duration<double> afterDue =
            end - start - std::chrono::milliseconds(std::stoi(argv[3]));
        std::printf("stopped %.3f s after the press (%.3f s after it was due), %zu files\n",
                    afterPress.count(),
                    afterDue.count(),
                    files);
    } else {
        const std::chrono::duration<double> elapsed = end - start;
        std::printf("%.3f\n", elapsed.count());
    }
    return dialogs.done && dialogs.unexpected == 0 ? 0 : 1;
}
