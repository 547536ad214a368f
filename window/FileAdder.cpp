#include "window/FileAdder.h"

#include "engine/Naming.h"
#include "filelist/FolderScan.h"
#include "window/BatchRun.h"
#include "window/OptionState.h"
#include "window/SettingsStore.h"
#include "window/Translate.h"

namespace sheetfray::window {

namespace {

constexpr std::string_view OpenTitle =
    QT_TRANSLATE_NOOP("Sheetfray", "Add File(s) - Hold Ctrl to select multiple files");
// Every type the readers take comes first, so a workbook of any of them is in view at once.
constexpr std::string_view OpenFilter =
    QT_TRANSLATE_NOOP("Sheetfray",
                      "Spreadsheets (*.xlsx *.xlsm *.xltx *.xltm *.xls *.ods *.fods *.csv "
                      "*.tsv)|*.xlsx;*.xlsm;*.xltx;*.xltm;*.xls;*.ods;*.fods;*.csv;*.tsv|Excel "
                      "Files (*.xl*)|*.xl*|All Files (*)|*|");
constexpr std::string_view TooManyFiles = QT_TRANSLATE_NOOP(
    "Sheetfray",
    "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.");
constexpr std::string_view ExtensionPrompt = QT_TRANSLATE_NOOP(
    "Sheetfray",
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc "
    "files, etc.)");
constexpr std::string_view DefaultExtension = "xl*";

// The dialog's result split at each NUL character.
std::vector<std::string> splitAtNul(const std::string& result)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t nul = result.find('\0', start);
        parts.push_back(result.substr(start, nul - start));
        if (nul == std::string::npos) {
            return parts;
        }
        start = nul + 1;
    }
}

} // namespace

FileAdder::FileAdder(RunWindow& window, filelist::FileList& files, AddServices services)
    : m_window(window)
    , m_files(files)
    , m_services(services)
    , m_eventPace(m_services.yieldInterval)
{}

void FileAdder::addFiles()
{
    Trap trap(Location::AddFiles, m_services.reporter);
    std::string start;
    trap.step(98, [&] { start = startFolder(Key::LastAddFolder); });
    platform::FileSelection selection;
    trap.step(100, [&] {
        selection = m_services.dialogs.openFiles(
            translatedText(OpenTitle), translatedText(OpenFilter), start);
    });
    if (selection.outcome == platform::FileSelection::Outcome::Chosen
        && !selection.folder.empty()) {
        trap.step(101, [&] { m_services.store.store(Key::LastAddFolder, selection.folder); });
    }
    if (selection.outcome == platform::FileSelection::Outcome::TooMany) {
        trap.step(102, [&] {
            m_services.dialogs.message(m_window.shortTitle(), translatedText(TooManyFiles));
        });
        return;
    }
    if (selection.outcome != platform::FileSelection::Outcome::Chosen || selection.result.empty()) {
        return;
    }
    std::vector<std::string> parts;
    trap.step(104, [&] { parts = splitAtNul(selection.result); });
    if (parts.size() == 1) {
        trap.step(106, [&] { m_files.append(std::move(parts.front())); });
        return;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) {
            continue;
        }
        // A root folder ends in "/" already; the doubled separator is collapsed.
        trap.step(108, [&] { m_files.append(engine::NormalizePath(parts[0] + "/" + parts[i])); });
    }
}

void FileAdder::addFolder()
{
    Trap trap(Location::AddFolder, m_services.reporter);
    std::string extension;
    trap.step(100, [&] {
        extension =
            m_services.dialogs.input(m_window.shortTitle(),
                                     translatedText(ExtensionPrompt),
                                     m_services.store.read(Key::Extension, DefaultExtension));
    });
    if (extension.empty()) {
        return;
    }
    // Remembered even when the folder browser is cancelled next.
    trap.step(102, [&] { m_services.store.store(Key::Extension, extension); });
    std::string folder;
    trap.step(104, [&] {
        folder = m_services.dialogs.browseForFolder(
            translatedText(QT_TRANSLATE_NOOP("Sheetfray", "Please select folder:")),
            startFolder(Key::LastFolder));
    });
    if (folder.empty()) {
        return;
    }
    trap.step(106, [&] { m_services.store.store(Key::LastFolder, folder); });
    trap.step(108, [&] { m_window.setBusy(true); });
    appendTree(folder, "*." + extension, trap, 110);
    trap.step(112, [&] { m_window.setBusy(false); });
}

void FileAdder::addDropped(const std::vector<std::string>& paths)
{
    // A drop has no trap of its own: its scans report as the scan, and a path that cannot be
    // examined is skipped.
    Trap trap(Location::FolderScan, m_services.reporter);
    for (const std::string& path : paths) {
        if (m_endRequested) {
            return;
        }
        const std::optional<std::uint32_t> bits = m_services.files.attributes(path);
        if (!bits) {
            continue; // gone since it was dragged
        }
        if (*bits & platform::Attribute::Folder) {
            appendTree(path, "*.*", trap, 120);
        } else {
            m_files.append(path);
        }
    }
}

void FileAdder::appendTree(const std::string& folder,
                           std::string_view pattern,
                           Trap& trap,
                           int line)
{
    filelist::ScanServices scan{
        m_services.files, m_services.codePage, m_services.reporter, [this] { return yield(); }};

    // Counted while it runs, also when it ends by a failure.
    struct Counted
    {
        int& scans;

        explicit Counted(int& count)
            : scans(++count)
        {}

        ~Counted() { --scans; }

        Counted(const Counted&) = delete;
        Counted& operator=(const Counted&) = delete;
    } counted(m_scans);

    filelist::scanFolderTree(
        {filelist::withFinalSeparator(folder)},
        scan,
        [&](const std::string& scanned, const std::vector<platform::FolderEntry>& entries) {
            trap.step(line, [&] {
                m_files.append(
                    filelist::filesToAppend(scanned, entries, pattern, m_services.files));
            });
        });
}

std::string FileAdder::startFolder(std::string_view key)
{
    if (std::string stored = m_services.store.read(key, ""); !stored.empty() && isFolder(stored)) {
        return stored;
    }
    if (std::string output = m_services.options.outputFolderPath();
        !output.empty() && isFolder(output)) {
        return output;
    }
    return {};
}

bool FileAdder::isFolder(const std::string& path)
{
    const std::optional<std::uint32_t> bits = m_services.files.attributes(path);
    return bits && (*bits & platform::Attribute::Folder) != 0;
}

bool FileAdder::yield()
{
    if (m_eventPace.isDue()) {
        m_services.events.processPendingEvents();
        m_eventPace.restart();
    }
    if (m_endRequested) {
        m_services.events.endProgram();
        return false;
    }
    return true;
}

} // namespace sheetfray::window
