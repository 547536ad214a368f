#include "filelist/FileList.h"

#include "support/Error.h"

#include <iterator>
#include <utility>

namespace sheetfray::filelist {

void FileList::append(std::string path)
{
    m_entries.push_back({std::move(path), nullptr});
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
    m_entries.reserve(m_entries.size() + paths.size());
    for (std::string& path : paths) {
        m_entries.push_back({std::move(path), nullptr});
    }
    if (m_listener) {
        m_listener->entriesAppended(first, count());
    }
}

const std::string& FileList::text(int position) const
{
    if (position < 1 || position > count()) {
        throw Error("Index out of bounds: the file list has no entry " + std::to_string(position));
    }
    return m_entries[static_cast<std::size_t>(position - 1)].path;
}

void FileList::remove(int position)
{
    if (position < 1 || position > count()) {
        return;
    }
    if (m_entries[static_cast<std::size_t>(position - 1)].note) {
        --m_notes;
    }
    m_entries.erase(m_entries.begin() + (position - 1));
    if (m_listener) {
        m_listener->entryRemoved(position);
    }
}

void FileList::clear()
{
    m_entries.clear();
    m_notes = 0;
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

std::string_view FileList::note(int position) const
{
    if (position < 1 || position > count()) {
        return {};
    }
    const Entry& entry = m_entries[static_cast<std::size_t>(position - 1)];
    return entry.note ? std::string_view(*entry.note) : std::string_view();
}

void FileList::setNote(int position, std::string note)
{
    if (position < 1 || position > count()) {
        return;
    }
    Entry& entry = m_entries[static_cast<std::size_t>(position - 1)];
    m_notes += (note.empty() ? 0 : 1) - (entry.note ? 1 : 0);
    if (note.empty()) {
        entry.note.reset();
    } else {
        entry.note = std::make_unique<std::string>(std::move(note));
    }
    if (m_listener) {
        m_listener->entryChanged(position);
    }
}

void FileList::clearNotes()
{
    for (int position = 1; m_notes > 0 && position <= count(); ++position) {
        if (m_entries[static_cast<std::size_t>(position - 1)].note) {
            setNote(position, {});
        }
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
