// "Start Saving": checks the list and the output folder, then splits every workbook on the
// list with the choices of the moment, showing progress in the window.
#pragma once

#include "engine/CodePage.h"
#include "engine/Host.h"
#include "engine/RunControls.h"
#include "engine/format/NumberFormat.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "support/Throttle.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::filelist {
class FileList;
} // namespace sheetfray::filelist

namespace sheetfray::window {

class DialogReporter;
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
    // A run begins (true) or has ended: "Start Saving" becomes "Stop" and back, and the
    // output choices are held still meanwhile.
    virtual void setRunning(bool running) = 0;
};

struct RunServices
{
    platform::Dialogs& dialogs;
    platform::EventLoop& events;
    engine::HostFactory& hosts;
    DialogReporter& reporter;
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
             filelist::FileList& files,
             const OptionState& options,
             RunServices services);

    // The button's handler when no run is under way. A call during a run (from one of its
    // yields) does nothing.
    void startSaving();

    [[nodiscard]] bool isRunning() const { return m_running; }

    // Stops the run after the file being written; the workbooks not split yet are named in
    // the end message, which is left out when endMessage is false (the window closes).
    void requestStop(bool endMessage = true);

    bool isSpreadsheetKind() override;
    engine::NamingScheme namingScheme() override;
    void setBusy() override;
    void setProgress(const engine::Progress& progress) override;
    void yield() override;

    bool stopRequested() override { return m_stopRequested; }

private:
    void run();
    // The splitting of the list, from its first workbook to its last or to a stop.
    void splitAll(const std::string& title);
    // Shows the latest progress and handles pending events.
    void processEvents();
    // The caption for the latest progress, made only when it is shown.
    [[nodiscard]] std::string caption() const;
    // The folder every output file of the run went to, or empty when they went to several.
    [[nodiscard]] std::string commonOutputFolder(int entries) const;

    RunWindow& m_window;
    filelist::FileList& m_files; // read, and marked where a workbook could not be read
    const OptionState& m_options;
    RunServices m_services;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_endMessage = true;
    // The workbook being split, the one before it done: where the bar stands.
    int m_workbook = 0;
    int m_workbooks = 0;
    std::string m_workbookName;
    bool m_hasProgress = false; // the engine has told where it is in this workbook
    engine::Progress m_progress;
    bool m_progressPending = false;
    Throttle m_eventPace;
};

} // namespace sheetfray::window
