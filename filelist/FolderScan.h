// Folder scanning behind the file list: the level-by-level walk of a folder tree, the listing
// of one folder's matching files, and the rules for what a scan enters and what it adds.
#pragma once

#include "engine/CodePage.h"
#include "platform/FileSystem.h"
#include "support/ErrorReport.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::filelist {

// What a scan works with; all of it outlives the scan.
struct ScanServices
{
    platform::FileSystem& files;
    const engine::CodePage& codePage;
    Reporter& reporter;
    // Called once per folder, before it is listed, so the window can handle its events.
    // False ends the scan at once.
    std::function<bool()> yield;
};

// A folder the scan keeps (its path ends in "/") and the entries its listing showed, sorted
// by name without regard to case; no entries when the folder could not be read.
using FolderVisitor = std::function<void(const std::string& folder,
                                         const std::vector<platform::FolderEntry>& entries)>;

// Walks the trees below the start folders breadth first: the start folders, then all their
// subfolders (grouped by parent, parents in order, each parent's subfolders by name), then
// the next level, and so on, handing each folder to the visitor as it is listed.
// - A folder that denies access or has vanished is left out, and so is everything below it.
// - A subfolder whose name begins with "." (a hidden folder) or hasBadChars, or whose path
//   would be longer than the system accepts, is not entered; a start folder is entered even
//   when it is hidden.
// - A link to a folder inside the scanned trees is not followed, and no folder is scanned
//   twice, whatever path leads to it, so links and mounts cannot make the scan loop.
// The walk keeps a queue rather than recursing, so a deep tree costs memory, not stack.
// Unexpected failures are reported at Location::FolderScan, and the scan goes on.
void scanFolderTree(const std::vector<std::string>& startFolders,
                    ScanServices& services,
                    const FolderVisitor& visitor);

// Adds their subfolders to the start folders: the list becomes every folder scanFolderTree
// keeps, in its order (a start folder it cannot read drops out); each path ends in "/".
void addSubfolders(std::vector<std::string>& folders, ScanServices& services);

// True when a character of the name has, in the code page, a code below 32, from 127 to 159,
// or 63 ("?"). A character the code page lacks counts as "?", and so do bytes that are not
// UTF-8 in a UTF-8 name.
[[nodiscard]] bool hasBadChars(std::string_view name, const engine::CodePage& codePage);

// The names of the files in the folder (with or without a final "/") that match the pattern,
// hidden ones included and folders excluded, sorted by name without regard to case. Empty
// when there are none or the folder cannot be read.
[[nodiscard]] std::vector<std::string>
filesInFolder(std::string_view folder, std::string_view pattern, platform::FileSystem& files);

// The paths that Add All and a dropped folder append for one scanned folder (ending in "/"):
// each file whose name matches the pattern and does not begin with "~", whose attributes
// are not exactly hidden + archive (a hidden file is left out unless it is read-only or a
// link), as the folder followed by the name with doubled separators collapsed.
[[nodiscard]] std::vector<std::string>
filesToAppend(const std::string& folder,
              const std::vector<platform::FolderEntry>& entries,
              std::string_view pattern,
              platform::FileSystem& files);

// The path with one "/" at its end.
[[nodiscard]] std::string withFinalSeparator(std::string_view folder);

} // namespace sheetfray::filelist
