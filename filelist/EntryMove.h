// Reordering the file list by dragging an entry inside it: the dragged path swaps places with
// each entry the pointer passes.
#pragma once

#include "filelist/FileList.h"

#include <optional>

namespace sheetfray::filelist {

// The move state of the list: whether a button is held, and which entry carries the dragged
// path. The view reports presses, entry clicks, moves and releases; the list's own changes
// are passed on (entryRemoved, entriesCleared) so the dragged entry follows its place.
class EntryMove
{
public:
    explicit EntryMove(FileList& files)
        : m_files(files)
    {}

    // A button goes down anywhere on the list.
    void press() { m_dragging = true; }

    // A button goes up.
    void release() { m_dragging = false; }

    // An entry (1 to count) is clicked: it carries the path from now on, until another
    // entry is clicked. Its path moves with later presses too.
    void entryClicked(int position) { m_dragEntry = position; }

    // The pointer moves with the entry under it (nothing when it is over no entry). While
    // dragging, the dragged path changes places with that entry's path, unless the two
    // texts are equal; the entry under the pointer then carries the path, and its position
    // is returned so the view can select it and scroll. A fast jump exchanges just the two.
    std::optional<int> moveOver(std::optional<int> position);

    [[nodiscard]] bool isDragging() const { return m_dragging; }

    [[nodiscard]] std::optional<int> dragEntry() const { return m_dragEntry; }

    // Keep the dragged entry on its place when the list changes under it.
    void entryRemoved(int position);

    void entriesCleared() { m_dragEntry.reset(); }

private:
    FileList& m_files;
    bool m_dragging = false;
    std::optional<int> m_dragEntry;
};

} // namespace sheetfray::filelist
