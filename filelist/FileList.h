// The ordered list of workbook paths a run walks; it starts empty and is never saved.
#pragma once

#include <string>
#include <vector>

namespace sheetfray::window {

// Entries are numbered from 1; each is only the text of one path, and duplicates are allowed.
class FileList
{
public:
    // Told of every change, so a view can follow the list.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void entryAppended(int position) = 0;
        virtual void entryRemoved(int position) = 0;
        virtual void entriesCleared() = 0;
    };

    void setListener(Listener* listener) { m_listener = listener; }

    // Appends a new last entry whose text is the path, unchanged.
    void append(std::string path);

    [[nodiscard]] int count() const { return static_cast<int>(m_entries.size()); }

    // The text of the entry at position 1 to count(); throws Error for any other position.
    [[nodiscard]] const std::string& text(int position) const;
    // Removes the entry at position 1 to count(); other positions change nothing.
    void remove(int position);
    void clear();

private:
    std::vector<std::string> m_entries;
    Listener* m_listener = nullptr;
};

} // namespace sheetfray::window
