#include "window/BatchRun.h"

#include "engine/Batch.h"
#include "engine/Naming.h"
#include "engine/OutputFile.h"
#include "engine/RunOutputs.h"
#include "engine/StopSignals.h"
#include "filelist/FileList.h"
#include "filelist/Probes.h"
#include "support/Error.h"
#include "support/Trap.h"
#include "window/HostChecks.h"
#include "window/OptionState.h"

namespace sheetfray::window {

namespace {

// "Done.", then what the run wants the user to know though nothing failed: workbooks whose
// formulas had no results, files that took a new name. One paragraph each.
std::string endOfRunMessage(const std::vector<std::string>& notes)
{
    std::string message = "Done.";
    for (const std::string& note : notes) {
        message += "\r\n\r\n";
        message += note;
    }
    return message;
}

} // namespace

BatchRun::BatchRun(RunWindow& window,
                   const filelist::FileList& files,
                   const OptionState& options,
                   RunServices services)
    : m_window(window)
    , m_files(files)
    , m_options(options)
    , m_services(std::move(services))
    , m_eventPace(m_services.yieldInterval)
{}

void BatchRun::startSaving()
{
    // The run yields to the event loop, where a second press would start a run over the
    // same list inside this one.
    if (m_running) {
        return;
    }
    m_running = true;
    run();
    m_running = false;
}

void BatchRun::run()
{
    Trap trap(Location::StartSaving, m_services.reporter);
    const std::string& title = m_window.shortTitle();

    bool empty = false;
    trap.step(100, [&] { empty = m_files.count() == 0; });
    if (empty) {
        trap.step(202, [&] { m_services.dialogs.message(title, "No files added."); });
        return;
    }
    // The folder box is tested whatever folder option is chosen.
    bool folderExists = true;
    trap.step(102, [&] { folderExists = filelist::isFolder(m_options.outputFolder()); });
    if (!folderExists) {
        trap.step(200, [&] {
            m_services.dialogs.message(title,
                                       "Folder does not exist. Please select another folder.");
        });
        return;
    }
    bool stop = false;
    trap.step(104, [&] {
        const bool running = m_services.isHostRunning && m_services.isHostRunning();
        stop = shouldStopForOpenHost(m_services.dialogs, title, running);
    });
    if (stop) {
        return;
    }

    int entries = 0;
    trap.step(110, [&] { entries = m_files.count(); });
    // No output file may replace a workbook of the list, nor one written earlier in the run.
    engine::RunOutputs outputs;
    for (int i = 1; i <= entries; ++i) {
        outputs.addWorkbook(m_files.text(i));
    }
    std::vector<std::string> notes;
    const engine::SplitContext context{m_services.hosts,
                                       *this,
                                       m_services.reporter,
                                       m_services.codePage,
                                       m_services.locale,
                                       outputs};
    std::string workbookPath;
    std::string outputBase;
    std::string separator;
    for (int i = 1; i <= entries; ++i) {
        trap.step(112, [&] { processEvents(); });
        trap.step(114, [&] { m_window.setBusy(true); });
        trap.step(116, [&] {
            // The count of this moment: entries added during the run lower the percentage.
            const int count = m_files.count();
            if (count == 0) {
                throw Error("Division by zero: the file list is empty");
            }
            m_window.setProgressValue(static_cast<double>(i) / count * 100);
        });
        trap.step(118, [&] { workbookPath = m_files.text(i); });
        trap.step(120, [&] {
            m_captionPending = false;
            m_window.setProgressText("Processing: " + engine::fileNameOfPath(workbookPath));
        });
        trap.step(122, [&] { processEvents(); });
        // Folder, separator and mode are read anew for every workbook, so a change made
        // during the run takes effect with the next one.
        trap.step(138, [&] {
            outputBase = engine::composeOutputBase(
                m_options.folder(), m_options.outputFolder(), workbookPath);
        });
        trap.step(146, [&] {
            separator = engine::separatorText(m_options.separator(), m_options.customSeparator());
        });
        trap.step(166, [&] {
            engine::splitWorkbook(context,
                                  m_options.mode(),
                                  m_options.isSpreadsheetKind(),
                                  workbookPath,
                                  outputBase,
                                  separator);
        });
        for (std::string& warning : outputs.takeWarnings()) {
            notes.push_back(std::move(warning));
        }
    }
    if (std::string renamed = engine::renamedFilesNote(outputs); !renamed.empty()) {
        notes.push_back(std::move(renamed));
    }
    trap.step(192, [&] { m_window.setBusy(false); });
    trap.step(194, [&] { m_window.setProgressValue(0); });
    trap.step(196, [&] { m_window.setProgressText("Progress Bar"); });
    m_caption.clear();
    m_captionPending = false;
    trap.step(198, [&] { m_services.dialogs.message(title, endOfRunMessage(notes)); });
}

bool BatchRun::isSpreadsheetKind()
{
    return m_options.isSpreadsheetKind();
}

engine::NamingScheme BatchRun::namingScheme()
{
    return m_options.namingScheme();
}

void BatchRun::setBusy()
{
    if (!m_window.isBusy()) {
        m_window.setBusy(true);
    }
}

void BatchRun::setProgressText(std::string_view text)
{
    // Shown when events are next handled: nobody sees the bar between two yields.
    m_caption.assign(text);
    m_captionPending = true;
}

void BatchRun::yield()
{
    engine::endIfStopped();
    if (m_eventPace.isDue()) {
        processEvents();
    }
}

void BatchRun::processEvents()
{
    if (m_captionPending) {
        m_captionPending = false;
        m_window.setProgressText(m_caption);
    }
    m_services.events.processPendingEvents();
    m_eventPace.restart();
    if (m_endRequested) {
        // Every row passed so far has its file before the program ends.
        engine::OutputWriter::finishAll();
        m_services.events.endProgram();
    }
}

} // namespace sheetfray::window
