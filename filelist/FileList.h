// The ordered list of workbook paths a run walks; it starts empty and is never saved.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::filelist {

// Entries are numbered from 1; each is the text of one path, and duplicates are allowed. An
// entry may carry a note (why its workbook could not be read), which moves with it.
class FileList
{
public:
    // Told of every change, so a view can follow the list.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // Entries first to last (1-based, inclusive) are new at the end of the list.
        virtual void entriesAppended(int first, int last) = 0;
        virtual void entryRemoved(int position) = 0;
        virtual void entriesCleared() = 0;
        // The entry's text is another now.
        virtual void entryChanged(int position) = 0;
    };

    void setListener(Listener* listener) { m_listener = listener; }

    // Appends a new last entry whose text is the path, unchanged.
    void append(std::string path);
    // Appends the paths in order, as one change.
    void append(std::vector<std::string> paths);

    [[nodiscard]] int count() const { return static_cast<int>(m_entries.size()); }

    // The text of the entry at position 1 to count(); throws Error for any other position.
    [[nodiscard]] const std::string& text(int position) const;
    // Removes the entry at position 1 to count(); other positions change nothing.
    void remove(int position);
    void clear();
    // Exchanges the texts of two entries (positions 1 to count()), notes included; the
    // count stays.
    void swapTexts(int first, int second);

    // The entry's note; empty when it has none or the position is not on the list.
    [[nodiscard]] std::string_view note(int position) const;
    // Gives the entry at position 1 to count() a note; an empty one takes it away.
    void setNote(int position, std::string note);
    // Takes every note away.
    void clearNotes();

private:
    struct Entry
    {
        std::string path;
        // Rare, so an entry without one costs a pointer.
        std::unique_ptr<std::string> note;
    };

    std::vector<Entry> m_entries;
    int m_notes = 0; // entries with a note
    Listener* m_listener = nullptr;
};

// True when some entry's text is exactly the path, letter case included.
[[nodiscard]] bool isInFileList(const FileList& files, std::string_view path);

} // namespace sheetfray::filelist
