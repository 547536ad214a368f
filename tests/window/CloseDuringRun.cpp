// Closes the window during a run, after a number of yields, with the real event loop, so a
// test sees how the program ends. Prints the boxes and exits with 3 if the run went on.
// Usage: sheetfray-close-during-run WORK_DIR WORKBOOK OUTPUT_DIR YIELDS
#include "engine/readers/FileHost.h"
#include "platform/qt/QtEventLoop.h"
#include "tests/fakes/ScriptedDialogs.h"
#include "window/MainWindow.h"
#include "window/SettingsStore.h"

#include <QApplication>

#include <cstdio>
#include <string>

namespace {

using namespace sheetfray;

class ClosingEventLoop final : public platform::qt::QtEventLoop
{
public:
    QWidget* window = nullptr;
    int closeAt = 0;
    int count = 0;

    void processPendingEvents() override
    {
        QtEventLoop::processPendingEvents();
        if (++count == closeAt) {
            window->close();
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        return 2;
    }
    QApplication application(argc, argv);
    window::IniSettingsStore store(QString::fromLocal8Bit(argv[1]) + "/Sheetfray.ini");
    testing::ScriptedDialogs dialogs;
    ClosingEventLoop events;
    engine::readers::FileHostFactory hosts;
    const engine::CodePage codePage = engine::CodePage::utf8();
    const engine::format::ValueLocale locale;
    window::NoSampleRecorder samples;
    window::MainWindow window(window::WindowServices{store,
                                                     dialogs,
                                                     events,
                                                     hosts,
                                                     codePage,
                                                     locale,
                                                     samples,
                                                     argv[1],
                                                     argv[1],
                                                     [] { return false; },
                                                     std::chrono::steady_clock::duration::zero()});
    events.window = &window;
    events.closeAt = std::stoi(argv[4]);
    if (!window.startUp()) {
        return 4;
    }
    window.show();
    window.options().setOutputFolder(argv[3]);
    window.addListEntry(argv[2]);
    window.startSaving();
    for (const testing::ShownBox& box : dialogs.shown) {
        std::printf("%s\n", box.text.c_str());
    }
    return 3;
}
