// The window's choices: four groups of exclusive options and two texts, their enabling rules,
// and the settings store that remembers every change at once.
#pragma once

#include "engine/Batch.h"
#include "engine/Naming.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sheetfray::window {

class SettingsStore;

// The option buttons, group by group, each group in the order it is stored and restored.
enum class OptionId : std::uint8_t {
    RowsToText, // "Save each row to a text file"
    ColumnsToText, // "Save each column to a text file"
    CellsToText, // "Save each cell to a text file "
    CellsToSpreadsheet, // "Save each cell to an Excel file "
    ColumnsToSpreadsheet, // "Save each column to an Excel file"
    RowsToSpreadsheet, // "Save each row to an Excel file"
    SeparatorEnter, // "Separate each cell with enter"
    SeparatorCommaSpace, // "Separate each cell with comma-space"
    SeparatorComma, // "Separate each cell with comma"
    SeparatorSpace, // "Separate each cell with space"
    SeparatorCustom, // "Separate each cell with this:"
    NameByNumber, // "Save as filename plus number"
    NameByLocation, // "Save as x,y location of cell"
    NameByFirstValue, // "Save as first cell value"
    ChosenFolder, // "Save results to this folder:"
    SourceFolder, // "Save results in folder of original file"
};

inline constexpr std::size_t OptionCount = 16;

enum class OptionGroup : std::uint8_t {
    Mode, // "Row Or Column Option"
    Separator, // "Text File Output Option"
    Naming, // "Filename Output Option"
    Folder, // "Save Option"
};

// The option's place in OptionId order, from 0 to OptionCount - 1.
[[nodiscard]] constexpr std::size_t optionIndex(OptionId id)
{
    return static_cast<std::size_t>(id);
}

// The option's key in the store, which is also its button's object name in the layout.
[[nodiscard]] std::string_view optionKey(OptionId id);
[[nodiscard]] OptionGroup groupOf(OptionId id);
// The group's options in the order they are stored and restored.
[[nodiscard]] std::span<const OptionId> groupMembers(OptionGroup group);
// The option a group holds at the first start.
[[nodiscard]] OptionId defaultOption(OptionGroup group);

// A stored choice as a truth value: True or False in any letter case, or a number, 0 being
// false and any other true. Blanks around it are ignored; anything else has no truth value.
[[nodiscard]] std::optional<bool> parseTruth(std::string_view text);

// Store keys besides the options' keys.
namespace Key {
inline constexpr std::string_view CustomSeparator = "Text2";
inline constexpr std::string_view OutputFolder = "Output Folder";
inline constexpr std::string_view Snapshot = "Snapshot";
inline constexpr std::string_view Extension = "Extension";
inline constexpr std::string_view LastFolder = "LastFolder";
inline constexpr std::string_view LastFolderDot = "LastFolderDot";
// The folder the open-file dialog of "Add Excel File(s)" last took files from.
inline constexpr std::string_view LastAddFolder = "Last Add Folder";
} // namespace Key

// The choices as the window holds them. Starts as laid out (RowsToText, SeparatorEnter,
// NameByNumber and ChosenFolder chosen, the custom separator "Text1", the output folder empty,
// everything enabled); restore() steps then
// bring back the stored choices. Each change that a handler of the window would see runs
// that handler: an option becoming selected stores its whole group as True/False and applies
// the group's enabling rule, a changed text stores the text.
class OptionState
{
public:
    explicit OptionState(SettingsStore& store);

    // Called after every change, so a view can show the new state.
    void setListener(std::function<void()> listener) { m_listener = std::move(listener); }

    [[nodiscard]] bool isSelected(OptionId id) const;
    // Only the separator options are ever disabled.
    [[nodiscard]] bool isEnabled(OptionId id) const;

    // The output folder box and its browse button, enabled together.
    [[nodiscard]] bool isOutputFolderEnabled() const { return m_outputFolderEnabled; }

    // The output folder box's text.
    [[nodiscard]] const std::string& outputFolder() const { return m_outputFolder; }

    // The folder the box names: a leading "~", alone or before "/", is the home folder, as
    // in a shell. The box and the stored text keep the "~".
    [[nodiscard]] std::string outputFolderPath() const;

    // The custom separator box's text.
    [[nodiscard]] const std::string& customSeparator() const { return m_customSeparator; }

    // The user clicks the option: it becomes the group's choice and its click handler runs,
    // also when it was chosen already.
    void click(OptionId id);
    // Code sets the option's value. Selecting an option that was not selected runs its
    // click handler; clearing it changes only the option, and may leave its group without
    // a choice until another option is selected.
    void setSelected(OptionId id, bool selected);
    // The box's text changes (typed or set) and is stored. Setting the text a box already
    // holds changes nothing.
    void setOutputFolder(std::string_view text);
    void setCustomSeparator(std::string_view text);

    // Start-up. The stored choices are read all at once before any is restored: restoring an
    // option runs its click handler, which rewrites its group in the store and would hide a
    // later option of the group that the store selects too. With the choices read first,
    // the later of two selected options wins.
    void readStoredChoices();
    void restoreCustomSeparator();
    // Sets the option to its stored choice (read now if readStoredChoices was not called).
    // Throws Error for a stored choice that has no truth value, leaving the option as it was.
    void restoreOption(OptionId id);
    // desktopFolder is the default for a store without an output folder; it ends in "/".
    void restoreOutputFolder(std::string_view desktopFolder);
    // A group that a hand-edited store left without a choice gets its default one, as a
    // click on it, so that no run goes without a mode or a folder.
    void ensureChoices();
    // The output folder enabled exactly when ChosenFolder is selected.
    void applyOutputFolderRule();

    // What the batch run and the engine read, at the moment they need it.
    [[nodiscard]] engine::SplitMode mode() const;
    [[nodiscard]] bool isSpreadsheetKind() const;
    [[nodiscard]] engine::SeparatorChoice separator() const;
    [[nodiscard]] engine::NamingScheme namingScheme() const;
    [[nodiscard]] engine::FolderChoice folder() const;

private:
    void select(OptionId id);
    void runClickHandler(OptionId id);
    [[nodiscard]] std::optional<OptionId> choiceOf(OptionGroup group) const;
    void changed();

    SettingsStore& m_store;
    std::array<bool, OptionCount> m_selected{};
    bool m_separatorsEnabled = true;
    bool m_outputFolderEnabled = true;
    std::string m_outputFolder;
    std::string m_customSeparator = "Text1";
    std::function<void()> m_listener;
    std::array<std::optional<std::string>, OptionCount> m_storedChoices;
};

} // namespace sheetfray::window
