// Runs one workbook through the window and closes the window after a number of yields, with
// the real event loop, so the test sees how the program ends. Every box is printed.
// Usage: sheetfray-close-during-run WORK_DIR WORKBOOK OUTPUT_DIR YIELDS
#include "engine/readers/FileHost.h"
#include "platform/qt/QtEventLoop.h"
#include "window/Form1.h"
#include "window/SettingsStore.h"

#include <QApplication>

#include <cstdio>
#include <string>

namespace {

using namespace sheetfray;

class PrintingDialogs final : public platform::Dialogs
{
public:
    void message(std::string_view title, std::string_view text) override { print(title, text); }

    bool question(std::string_view title, std::string_view text) override
    {
        print(title, text);
        return true;
    }

    void warning(std::string_view title, std::string_view text) override { print(title, text); }

    std::string input(std::string_view title, std::string_view prompt, std::string_view) override
    {
        print(title, prompt);
        return {};
    }

private:
    static void print(std::string_view title, std::string_view text)
    {
        std::printf("[%.*s] %.*s\n",
                    static_cast<int>(title.size()),
                    title.data(),
                    static_cast<int>(text.size()),
                    text.data());
    }
};

class ClosingEventLoop final : public platform::qt::QtEventLoop
{
public:
    QWidget* window = nullptr;
    int closeAt = 0;

    void processPendingEvents() override
    {
        QtEventLoop::processPendingEvents();
        if (++m_count == closeAt) {
            window->close();
        }
    }

private:
    int m_count = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fputs("usage: sheetfray-close-during-run WORK_DIR WORKBOOK OUTPUT_DIR YIELDS\n",
                   stderr);
        return 2;
    }
    QApplication application(argc, argv);
    window::IniSettingsStore store(QString::fromLocal8Bit(argv[1]) + "/Sheetfray.ini");
    PrintingDialogs dialogs;
    ClosingEventLoop events;
    engine::readers::FileHostFactory hosts;
    const engine::CodePage codePage = engine::CodePage::utf8();
    const engine::format::ValueLocale locale;
    window::NoSampleRecorder samples;
    window::Form1 form(window::WindowServices{store,
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
    events.window = &form;
    events.closeAt = std::stoi(argv[4]);
    if (!form.Form_Load()) {
        return 4;
    }
    form.show();
    form.options().setText1(argv[3]);
    form.AddListEntry(argv[2]);
    form.PushButton2_Click();
    std::puts("the run went on after the window was closed");
    return 3;
}
