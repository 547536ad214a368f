#include "filelist/FileList.h"

#include "support/Error.h"

#include <iterator>
#include <utility>

namespace sheetfray::filelist {

void FileList::append(std::string path)
{
    m_entries.push_back(std::move(path));
    if (m_listener) {
        m_listener->entriesAppended(count(), count());
    }
}

void FileList::append(std::vector<std::string> paths)
{
    if (paths.empty()) {
        return;
    }
    const int first = count() + 1;
    m_entries.insert(m_entries.end(),
                     std::make_move_iterator(paths.begin()),
                     std::make_move_iterator(paths.end()));
    if (m_listener) {
        m_listener->entriesAppended(first, count());
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

void FileList::swapTexts(int first, int second)
{
    if (first < 1 || first > count() || second < 1 || second > count() || first == second) {
        return;
    }
    std::swap(m_entries[static_cast<std::size_t>(first - 1)],
              m_entries[static_cast<std::size_t>(second - 1)]);
    if (m_listener) {
        m_listener->entryChanged(first);
        m_listener->entryChanged(second);
    }
}

bool isInFileList(const FileList& files, std::string_view path)
{
    for (int i = 1; i <= files.count(); ++i) {
        if (files.text(i) == path) {
            return true;
        }
    }
    return false;
}

} // namespace sheetfray::filelist
