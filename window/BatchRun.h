// "Start Saving": checks the list and the output folder, then splits every workbook on the
// list with the choices of the moment, showing progress in the window.
#pragma once

#include "engine/CodePage.h"
#include "engine/Host.h"
#include "engine/RunControls.h"
#include "engine/format/NumberFormat.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "support/ErrorReport.h"
#include "support/Throttle.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace sheetfray::filelist {
class FileList;
} // namespace sheetfray::filelist

namespace sheetfray::window {

class OptionState;

// What a run changes in the window.
class RunWindow
{
public:
    virtual ~RunWindow() = default;

    // The hourglass pointer: the window is Busy while it shows.
    [[nodiscard]] virtual bool isBusy() const = 0;
    // True shows the hourglass, false the normal pointer.
    virtual void setBusy(bool busy) = 0;
    // The progress bar's value, a percentage from 0 to 100.
    virtual void setProgressValue(double percent) = 0;
    virtual void setProgressText(std::string_view text) = 0;
    // The caption of boxes without a title of their own.
    [[nodiscard]] virtual const std::string& shortTitle() const = 0;
};

struct RunServices
{
    platform::Dialogs& dialogs;
    platform::EventLoop& events;
    engine::HostFactory& hosts;
    Reporter& reporter;
    const engine::CodePage& codePage;
    const engine::format::ValueLocale& locale;
    // Whether the user has the spreadsheet application open (engine::isSpreadsheetHostRunning).
    std::function<bool()> isHostRunning;
    // The engine yields once per output file; events are handled at most this often, so a
    // run costs what the files cost while the window stays responsive.
    std::chrono::steady_clock::duration yieldInterval = std::chrono::milliseconds(20);
};

// Also the engine's run controls: it reads the live choices and shows its progress through
// the run.
class BatchRun final : public engine::RunControls
{
public:
    BatchRun(RunWindow& window,
             const filelist::FileList& files,
             const OptionState& options,
             RunServices services);

    // The button's handler. A press while a run is under way (during one of its yields)
    // does nothing.
    void startSaving();

    [[nodiscard]] bool isRunning() const { return m_running; }

    // The window was closed during the run: the program ends at the next yield, between
    // two output files, so no file is left half written and "Done." is not shown.
    void requestEnd() { m_endRequested = true; }

    bool isSpreadsheetKind() override;
    engine::NamingScheme namingScheme() override;
    void setBusy() override;
    void setProgressText(std::string_view text) override;
    void yield() override;

private:
    void run();
    // Shows the engine's latest caption and handles pending events; ends the program when
    // the window was closed meanwhile.
    void processEvents();

    RunWindow& m_window;
    const filelist::FileList& m_files;
    const OptionState& m_options;
    RunServices m_services;
    bool m_running = false;
    bool m_endRequested = false;
    std::string m_caption;
    bool m_captionPending = false;
    Throttle m_eventPace;
};

} // namespace sheetfray::window
