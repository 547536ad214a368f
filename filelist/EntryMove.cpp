#include "filelist/EntryMove.h"

namespace sheetfray::filelist {

std::optional<int> EntryMove::moveOver(std::optional<int> position)
{
    if (!m_dragging || !position || !m_dragEntry) {
        return std::nullopt;
    }
    const int under = *position;
    const int dragged = *m_dragEntry;
    if (under < 1 || under > m_files.count() || dragged > m_files.count()) {
        return std::nullopt;
    }
    // Over itself, or over another entry with the same path, nothing moves.
    if (m_files.text(under) == m_files.text(dragged)) {
        return std::nullopt;
    }
    m_files.swapTexts(dragged, under);
    m_dragEntry = under;
    return under;
}

void EntryMove::entryRemoved(int position)
{
    if (!m_dragEntry) {
        return;
    }
    if (*m_dragEntry == position) {
        m_dragEntry.reset();
    } else if (*m_dragEntry > position) {
        --*m_dragEntry;
    }
}

} // namespace sheetfray::filelist
