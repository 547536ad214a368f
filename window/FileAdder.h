// The ways of adding workbooks to the list: the open-file dialog ("Add Excel File(s)"), a
// whole folder tree by extension ("Add All Excel Files In Folder") and files and folders
// dropped on the list.
#pragma once

#include "engine/CodePage.h"
#include "filelist/FileList.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/FileSystem.h"
#include "support/ErrorReport.h"
#include "support/Throttle.h"
#include "support/Trap.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::window {

class OptionState;
class RunWindow;
class SettingsStore;

struct AddServices
{
    platform::Dialogs& dialogs;
    Reporter& reporter;
    SettingsStore& store;
    const OptionState& options;
    platform::FileSystem& files;
    const engine::CodePage& codePage;
    platform::EventLoop& events;
    // A scan yields once per folder; events are handled at most this often, so a large
    // tree costs what its folders cost while the window stays responsive.
    std::chrono::steady_clock::duration yieldInterval = std::chrono::milliseconds(20);
};

// Nothing here looks for entries already in the list: adding a file twice lists it twice.
class FileAdder
{
public:
    FileAdder(RunWindow& window, filelist::FileList& files, AddServices services);

    // "Add Excel File(s)": the open-file dialog, several files at once.
    void addFiles();
    // "Add All Excel Files In Folder": asks for an extension and a folder, then appends every
    // matching file of the folder's tree, the window Busy meanwhile.
    void addFolder();
    // Paths dropped on the list, in order: a folder's tree is appended with every file type,
    // a file as it was dropped; a path that no longer exists is skipped. The window is not
    // made Busy.
    void addDropped(const std::vector<std::string>& paths);

    // True while a folder scan is under way (its yields let the user act meanwhile).
    [[nodiscard]] bool isScanning() const { return m_scans > 0; }

    // The window was closed during a scan: the program ends at the scan's next yield.
    void requestEnd() { m_endRequested = true; }

    // Where a file or folder dialog opens: the folder stored under the key while it is still
    // a folder, else the output folder box's folder when it is one, else nothing (the
    // dialog's own default).
    [[nodiscard]] std::string startFolder(std::string_view key);

private:
    // Appends what the tree below the folder holds for the pattern; statements of the
    // caller's trap report failures of each folder's appending.
    void appendTree(const std::string& folder, std::string_view pattern, Trap& trap, int line);
    bool yield();
    [[nodiscard]] bool isFolder(const std::string& path);

    RunWindow& m_window;
    filelist::FileList& m_files;
    AddServices m_services;
    int m_scans = 0;
    bool m_endRequested = false;
    Throttle m_eventPace;
};

} // namespace sheetfray::window
