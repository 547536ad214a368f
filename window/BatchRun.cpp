#include "window/BatchRun.h"

#include "engine/Batch.h"
#include "engine/Naming.h"
#include "engine/RunOutputs.h"
#include "engine/StopSignals.h"
#include "filelist/FileList.h"
#include "filelist/Probes.h"
#include "support/Trap.h"
#include "window/DialogReporter.h"
#include "window/HostChecks.h"
#include "window/OptionState.h"
#include "window/Translate.h"

#include <algorithm>

namespace sheetfray::window {

namespace {

// Texts of the end message and the progress caption; counts pick the singular or plural text.
constexpr const char* DoneText = QT_TRANSLATE_NOOP("Sheetfray", "Done.");
constexpr const char* StoppedText = QT_TRANSLATE_NOOP("Sheetfray", "Stopped.");
constexpr const char* StoppedInText =
    QT_TRANSLATE_NOOP("Sheetfray", "The run was stopped while splitting %1.");
constexpr const char* NotSplitText = QT_TRANSLATE_NOOP("Sheetfray", "Not split: %1.");
constexpr const char* MoreText = QT_TRANSLATE_NOOP("Sheetfray", "%1 and %2 more");
constexpr const char* NotSplitDetails = QT_TRANSLATE_NOOP("Sheetfray", "Not split:");
constexpr const char* OneFileWritten = QT_TRANSLATE_NOOP("Sheetfray", "1 file written.");
constexpr const char* FilesWritten = QT_TRANSLATE_NOOP("Sheetfray", "%1 files written.");
constexpr const char* OneFileFailed =
    QT_TRANSLATE_NOOP("Sheetfray", "1 file could not be written.");
constexpr const char* FilesFailed =
    QT_TRANSLATE_NOOP("Sheetfray", "%1 files could not be written.");
constexpr const char* OneUnreadable =
    QT_TRANSLATE_NOOP("Sheetfray", "1 workbook could not be read; it is marked in the list.");
constexpr const char* Unreadables =
    QT_TRANSLATE_NOOP("Sheetfray", "%1 workbooks could not be read; they are marked in the list.");
constexpr const char* OneError =
    QT_TRANSLATE_NOOP("Sheetfray", "1 error was reported: see Show Details.");
constexpr const char* Errors =
    QT_TRANSLATE_NOOP("Sheetfray", "%1 errors were reported: see Show Details.");
constexpr const char* OpenFolderButton = QT_TRANSLATE_NOOP("Sheetfray", "Open Folder");
constexpr const char* ProcessingText = QT_TRANSLATE_NOOP("Sheetfray", "Processing: %1");
constexpr const char* ProcessingOfText =
    QT_TRANSLATE_NOOP("Sheetfray", "Processing: %1 (%2 of %3)");
constexpr const char* WorkbookAndStepText = QT_TRANSLATE_NOOP("Sheetfray", "%1 - %2");
constexpr const char* RowText = QT_TRANSLATE_NOOP("Sheetfray", "Row Processed: %1 of %2");
constexpr const char* ColumnText = QT_TRANSLATE_NOOP("Sheetfray", "Col Processed: %1 of %2");
constexpr const char* CellText = QT_TRANSLATE_NOOP("Sheetfray", "Cell Processed: %1,%2 of %3,%4");

// The end message names at most this many workbooks that were not split; the details name
// them all.
constexpr std::size_t NamedWorkbooks = 10;

QString counted(std::uint64_t count, const char* one, const char* many)
{
    return count == 1 ? translated(one) : translated(many).arg(count);
}

// The message's paragraphs, separated by an empty line.
class Paragraphs
{
public:
    void add(const QString& paragraph) { add(toStdString(paragraph)); }

    void add(const std::string& paragraph)
    {
        if (!m_text.empty()) {
            m_text += "\r\n\r\n";
        }
        m_text += paragraph;
    }

    [[nodiscard]] const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

} // namespace

BatchRun::BatchRun(RunWindow& window,
                   filelist::FileList& files,
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
    m_stopRequested = false;
    m_endMessage = true;
    run();
    m_running = false;
    m_stopRequested = false;
}

void BatchRun::requestStop(bool endMessage)
{
    if (m_running) {
        m_stopRequested = true;
        m_endMessage = m_endMessage && endMessage;
    }
}

void BatchRun::run()
{
    Trap trap(Location::StartSaving, m_services.reporter);
    const std::string& title = m_window.shortTitle();

    bool empty = false;
    trap.step(100, [&] { empty = m_files.count() == 0; });
    if (empty) {
        trap.step(202, [&] {
            m_services.dialogs.message(
                title, translatedText(QT_TRANSLATE_NOOP("Sheetfray", "No files added.")));
        });
        return;
    }
    // The folder box is tested whatever folder option is chosen.
    bool folderExists = true;
    trap.step(102, [&] { folderExists = filelist::isFolder(m_options.outputFolderPath()); });
    if (!folderExists) {
        trap.step(200, [&] {
            m_services.dialogs.message(
                title,
                translatedText(QT_TRANSLATE_NOOP(
                    "Sheetfray", "Folder does not exist. Please select another folder.")));
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
    m_window.setRunning(true);
    m_services.reporter.beginRun();
    splitAll(title);
}

void BatchRun::splitAll(const std::string& title)
{
    Trap trap(Location::StartSaving, m_services.reporter);
    int entries = 0;
    trap.step(110, [&] { entries = m_files.count(); });
    // Marks of the last run go; this run marks its own.
    m_files.clearNotes();
    // No output file may replace a workbook of the list, nor one written earlier in the run.
    engine::RunOutputs outputs;
    for (int i = 1; i <= entries; ++i) {
        outputs.addWorkbook(m_files.text(i));
    }
    const std::string outputFolder = commonOutputFolder(entries);
    std::vector<std::string> notes;
    std::vector<std::string> unreportedFailures; // "and 48,959 more files of ..."
    std::vector<engine::RunOutputs::Unreadable> unreadable;
    const engine::SplitContext context{m_services.hosts,
                                       *this,
                                       m_services.reporter,
                                       m_services.codePage,
                                       m_services.locale,
                                       outputs};
    std::string workbookPath;
    std::string outputBase;
    std::string separator;
    m_workbooks = entries;
    int stoppedAt = 0; // the workbook the run stopped in or before
    bool stoppedInside = false;
    for (int i = 1; i <= entries; ++i) {
        trap.step(112, [&] { processEvents(); });
        if (m_stopRequested) {
            stoppedAt = i;
            break;
        }
        trap.step(114, [&] { m_window.setBusy(true); });
        m_workbook = i;
        m_hasProgress = false;
        trap.step(116,
                  [&] { m_window.setProgressValue(static_cast<double>(i - 1) / entries * 100); });
        trap.step(118, [&] { workbookPath = m_files.text(i); });
        trap.step(120, [&] {
            m_workbookName = engine::fileNameOfPath(workbookPath);
            m_progressPending = true;
        });
        trap.step(122, [&] { processEvents(); });
        // Folder, separator and mode are held still during the run; the workbook's path is
        // read anew, as entries may move meanwhile.
        trap.step(138, [&] {
            outputBase = engine::composeOutputBase(
                m_options.folder(), m_options.outputFolderPath(), workbookPath);
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
        for (std::string& line : outputs.takeUnreportedFailures()) {
            unreportedFailures.push_back(std::move(line));
        }
        for (std::string& warning : outputs.takeWarnings()) {
            notes.push_back(std::move(warning));
        }
        for (engine::RunOutputs::Unreadable& entry : outputs.takeUnreadable()) {
            unreadable.push_back(std::move(entry));
        }
        if (m_stopRequested) {
            stoppedAt = i;
            stoppedInside = true;
            break;
        }
    }
    std::vector<std::string> reports = m_services.reporter.endRun();
    trap.step(192, [&] { m_window.setBusy(false); });
    trap.step(194, [&] { m_window.setProgressValue(0); });
    trap.step(196, [&] {
        m_window.setProgressText(translatedText(QT_TRANSLATE_NOOP("Sheetfray", "Progress Bar")));
    });
    m_progressPending = false;
    m_window.setRunning(false);

    // Each unreadable workbook's entry is marked, where it stands now.
    for (engine::RunOutputs::Unreadable& entry : unreadable) {
        for (int position = 1; position <= m_files.count(); ++position) {
            if (m_files.text(position) == entry.path && m_files.note(position).empty()) {
                m_files.setNote(position, entry.reason);
            }
        }
    }
    if (!m_endMessage) {
        return;
    }

    Paragraphs message;
    std::string details;
    if (stoppedAt == 0) {
        message.add(translated(DoneText));
    } else {
        message.add(translated(StoppedText));
        if (stoppedInside) {
            message.add(translated(StoppedInText).arg(toQString(m_workbookName)));
        }
        const int firstNotSplit = stoppedInside ? stoppedAt + 1 : stoppedAt;
        const int last = std::min(entries, m_files.count());
        if (firstNotSplit <= last) {
            QStringList names;
            for (int i = firstNotSplit; i <= last; ++i) {
                names << toQString(engine::fileNameOfPath(m_files.text(i)));
            }
            QString named = names.mid(0, NamedWorkbooks).join(QStringLiteral(", "));
            if (static_cast<std::size_t>(names.size()) > NamedWorkbooks) {
                named = translated(MoreText).arg(
                    named, QString::number(names.size() - static_cast<qsizetype>(NamedWorkbooks)));
                details = toStdString(translated(NotSplitDetails)) + "\r\n"
                    + toStdString(names.join(QStringLiteral("\r\n"))) + "\r\n\r\n";
            }
            message.add(translated(NotSplitText).arg(named));
        }
    }
    message.add(counted(outputs.filesWritten(), OneFileWritten, FilesWritten));
    if (outputs.filesFailed() > 0) {
        message.add(counted(outputs.filesFailed(), OneFileFailed, FilesFailed));
    }
    if (!unreadable.empty()) {
        message.add(counted(unreadable.size(), OneUnreadable, Unreadables));
    }
    if (std::string renamed = engine::renamedFilesNote(outputs); !renamed.empty()) {
        message.add(renamed);
    }
    for (const std::string& note : notes) {
        message.add(note);
    }
    if (!reports.empty()) {
        message.add(counted(reports.size(), OneError, Errors));
        for (const std::string& report : reports) {
            details += report;
            details += "\r\n";
        }
    }
    // Failures past the first few of one reason were counted, not reported: each such
    // count follows the reports, in the message and in the details.
    for (const std::string& line : unreportedFailures) {
        message.add(line);
        details += line;
        details += "\r\n";
    }
    const bool offerFolder = !outputFolder.empty() && outputs.filesWritten() > 0;
    bool openFolder = false;
    trap.step(198, [&] {
        openFolder = m_services.dialogs.messageWithDetails(
            title,
            message.text(),
            details,
            offerFolder ? translatedText(OpenFolderButton) : std::string());
    });
    if (openFolder) {
        m_services.dialogs.openFolder(outputFolder);
    }
}

std::string BatchRun::commonOutputFolder(int entries) const
{
    if (m_options.folder() == engine::FolderChoice::ChosenFolder) {
        return m_options.outputFolderPath();
    }
    std::string folder;
    for (int i = 1; i <= entries; ++i) {
        std::string own = engine::FolderOfPath(m_files.text(i));
        if (i == 1) {
            folder = std::move(own);
        } else if (own != folder) {
            return {};
        }
    }
    return folder;
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

void BatchRun::setProgress(const engine::Progress& progress)
{
    // Shown when events are next handled: nobody sees the bar between two yields.
    m_progress = progress;
    m_hasProgress = true;
    m_progressPending = true;
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
    if (m_progressPending && m_workbooks > 0) {
        m_progressPending = false;
        const double fraction = m_hasProgress ? m_progress.fraction() : 0;
        m_window.setProgressValue((m_workbook - 1 + fraction) / m_workbooks * 100);
        m_window.setProgressText(caption());
    }
    m_services.events.processPendingEvents();
    m_eventPace.restart();
}

std::string BatchRun::caption() const
{
    const QString name = toQString(m_workbookName);
    const QString workbook = m_workbooks > 1
        ? translated(ProcessingOfText)
              .arg(name, QString::number(m_workbook), QString::number(m_workbooks))
        : translated(ProcessingText).arg(name);
    if (!m_hasProgress) {
        return toStdString(workbook);
    }
    QString step;
    switch (m_progress.unit) {
    case engine::Progress::Unit::Row:
        step = translated(RowText).arg(m_progress.row).arg(m_progress.lastRow);
        break;
    case engine::Progress::Unit::Column:
        step = translated(ColumnText).arg(m_progress.column).arg(m_progress.lastColumn);
        break;
    case engine::Progress::Unit::Cell:
        step = translated(CellText)
                   .arg(m_progress.row)
                   .arg(m_progress.column)
                   .arg(m_progress.lastRow)
                   .arg(m_progress.lastColumn);
        break;
    }
    return toStdString(m_workbooks > 1 ? translated(WorkbookAndStepText).arg(workbook, step)
                                       : step);
}

} // namespace sheetfray::window
