#include "window/FileList.h"

#include "support/Error.h"

namespace sheetfray::window {

void FileList::append(std::string path)
{
    m_entries.push_back(std::move(path));
    if (m_listener) {
        m_listener->entryAppended(count());
    }
}

const std::string& FileList::text(int position) const
{
    if (position < 1 || position > count()) {
        throw Error("Index out of bounds: the file list has no entry " + std::to_string(position));
    }
    return m_entries[static_cast<std::size_t>(position - 1)];
}

void FileList::remove(int position)
{
    if (position < 1 || position > count()) {
        return;
    }
    m_entries.erase(m_entries.begin() + (position - 1));
    if (m_listener) {
        m_listener->entryRemoved(position);
    }
}

void FileList::clear()
{
    m_entries.clear();
    if (m_listener) {
        m_listener->entriesCleared();
    }
}

} // namespace sheetfray::window
