// A main window on a private settings store, with boxes answered by the test and a hook at
// every point where a run lets the window handle events.
#pragma once

#include "engine/CodePage.h"
#include "engine/readers/FileHost.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/std/PosixFileSystem.h"
#include "tests/fakes/ScriptedDialogs.h"
#include "tests/fakes/TempDir.h"
#include "window/MainWindow.h"
#include "window/Samples.h"
#include "window/SettingsStore.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>

namespace sheetfray::testing {

// Handles events for real, then lets the test act as a user would at that moment.
class HookedEventLoop final : public platform::qt::QtEventLoop
{
public:
    std::function<void()> onEvents;
    int endRequests = 0;

    void processPendingEvents() override
    {
        QtEventLoop::processPendingEvents();
        if (onEvents) {
            onEvents();
        }
    }

    // The program would end here; the test counts it instead.
    void endProgram() override { ++endRequests; }
};

// Clicks a radio button on its indicator: a wide button reacts only there and on its text.
// Answers each modal box or dialog of type Box as it shows, for as long as it lives: the code
// under test waits in the box's own event loop, so the answer comes from a timer.
template <typename Box>
class ModalAnswerer
{
public:
    explicit ModalAnswerer(std::function<void(Box*)> answer)
        : m_answer(std::move(answer))
    {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<Box*>(QApplication::activeModalWidget())) {
                m_answer(box);
            }
        });
        m_poll.start();
    }

private:
    std::function<void(Box*)> m_answer;
    QTimer m_poll;
};

inline void clickOption(QWidget* window, const char* name)
{
    auto* button = window->findChild<QRadioButton*>(QString::fromLatin1(name));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

inline void clickButton(QWidget* window, const char* name)
{
    QTest::mouseClick(window->findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
}

class WindowHarness
{
public:
    TempDir dir;
    ScriptedDialogs dialogs;
    HookedEventLoop events;
    engine::readers::FileHostFactory fileHosts;
    engine::HostFactory* hosts = &fileHosts;
    engine::CodePage codePage = engine::CodePage::utf8();
    engine::format::ValueLocale locale = engine::format::ValueLocale::enUS();
    platform::PosixFileSystem diskFiles;
    platform::FileSystem* files = &diskFiles;
    bool hostRunning = false;
    std::unique_ptr<window::IniSettingsStore> store;
    std::unique_ptr<window::SampleFiles> samples;
    std::unique_ptr<window::MainWindow> window;

    WindowHarness()
    {
        std::filesystem::create_directories(dir.path() / "Desktop");
        std::filesystem::create_directories(dir.path() / "program");
    }

    [[nodiscard]] QString storeFile() const
    {
        return QString::fromStdString((dir.path() / "config" / "Sheetfray.ini").string());
    }

    [[nodiscard]] std::string desktop() const { return (dir.path() / "Desktop").string(); }

    [[nodiscard]] std::string programFolder() const { return (dir.path() / "program").string(); }

    // Creates the window and runs its start-up; false when start-up ended the program.
    bool start()
    {
        window.reset();
        store = std::make_unique<window::IniSettingsStore>(storeFile());
        // As the program does: a store that cannot be written says so in a box, once.
        store->onWriteFailure(
            [this](const std::string& message) { dialogs.warning("Sheetfray", message); });
        samples = std::make_unique<window::SampleFiles>(*store, *files, programFolder());
        window = std::make_unique<window::MainWindow>(
            window::WindowServices{*store,
                                   dialogs,
                                   events,
                                   *hosts,
                                   codePage,
                                   locale,
                                   *samples,
                                   programFolder(),
                                   desktop(),
                                   [this] { return hostRunning; },
                                   std::chrono::steady_clock::duration::zero(),
                                   files});
        return window->startUp();
    }

    // The store file as text, for what the user's disk holds.
    [[nodiscard]] QString storeText() const
    {
        QFile file(storeFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // Writes a store before the window starts, as a user editing the file by hand would.
    void writeStore(const QString& lines) const
    {
        std::filesystem::create_directories(dir.path() / "config");
        QFile file(storeFile());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(("[Sheetfray]\n" + lines).toUtf8());
    }
};

} // namespace sheetfray::testing
