#include "window/OptionState.h"

#include "support/Error.h"
#include "support/Text.h"
#include "window/SettingsStore.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <utility>

namespace sheetfray::window {

namespace {

// $HOME, or the password database's entry when it is not set; empty when neither says.
std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
        return entry->pw_dir;
    }
    return {};
}

using enum OptionId;

constexpr std::array<OptionId, 6> ModeOptions{RowsToText,
                                              ColumnsToText,
                                              CellsToText,
                                              CellsToSpreadsheet,
                                              ColumnsToSpreadsheet,
                                              RowsToSpreadsheet};
constexpr std::array<OptionId, 5> SeparatorOptions{
    SeparatorEnter, SeparatorCommaSpace, SeparatorComma, SeparatorSpace, SeparatorCustom};
constexpr std::array<OptionId, 3> NamingOptions{NameByNumber, NameByLocation, NameByFirstValue};
constexpr std::array<OptionId, 2> FolderOptions{ChosenFolder, SourceFolder};

// The one place that names the options' keys in the store, in OptionId order. The keys are
// also the buttons' object names in the layout.
constexpr std::array<std::pair<OptionId, std::string_view>, OptionCount> StoredKeys{{
    {RowsToText, "Option1"},
    {ColumnsToText, "Option2"},
    {CellsToText, "Option8"},
    {CellsToSpreadsheet, "Option9"},
    {ColumnsToSpreadsheet, "Option10"},
    {RowsToSpreadsheet, "Option11"},
    {SeparatorEnter, "Option3"},
    {SeparatorCommaSpace, "Option4"},
    {SeparatorComma, "Option5"},
    {SeparatorSpace, "Option6"},
    {SeparatorCustom, "Option7"},
    {NameByNumber, "Option21"},
    {NameByLocation, "Option22"},
    {NameByFirstValue, "Option23"},
    {ChosenFolder, "Option13"},
    {SourceFolder, "Option14"},
}};

// Each entry stands at its option's index.
static_assert([] {
    for (std::size_t i = 0; i < StoredKeys.size(); ++i) {
        if (optionIndex(StoredKeys[i].first) != i) {
            return false;
        }
    }
    return true;
}());

} // namespace

std::string_view optionKey(OptionId id)
{
    return StoredKeys[optionIndex(id)].second;
}

OptionGroup groupOf(OptionId id)
{
    if (id <= RowsToSpreadsheet) {
        return OptionGroup::Mode;
    }
    if (id <= SeparatorCustom) {
        return OptionGroup::Separator;
    }
    if (id <= NameByFirstValue) {
        return OptionGroup::Naming;
    }
    return OptionGroup::Folder;
}

std::span<const OptionId> groupMembers(OptionGroup group)
{
    switch (group) {
    case OptionGroup::Mode:
        return ModeOptions;
    case OptionGroup::Separator:
        return SeparatorOptions;
    case OptionGroup::Naming:
        return NamingOptions;
    case OptionGroup::Folder:
        return FolderOptions;
    }
    return {};
}

OptionId defaultOption(OptionGroup group)
{
    return groupMembers(group).front();
}

std::optional<bool> parseTruth(std::string_view text)
{
    // A hand-edited store may have tabs around a choice as well as spaces.
    text = trimBlanks(text, " \t");
    if (equalsIgnoringAsciiCase(text, "True")) {
        return true;
    }
    if (equalsIgnoringAsciiCase(text, "False")) {
        return false;
    }
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        digits.remove_prefix(1);
    }
    // A number starts with a digit or a decimal point; "inf" and "nan" are no numbers here.
    if (digits.empty()
        || !(std::isdigit(static_cast<unsigned char>(digits.front())) || digits.front() == '.')) {
        return std::nullopt;
    }
    double number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number != 0;
}

OptionState::OptionState(SettingsStore& store)
    : m_store(store)
{
    for (OptionGroup group :
         {OptionGroup::Mode, OptionGroup::Separator, OptionGroup::Naming, OptionGroup::Folder}) {
        m_selected[optionIndex(defaultOption(group))] = true;
    }
}

bool OptionState::isSelected(OptionId id) const
{
    return m_selected[optionIndex(id)];
}

bool OptionState::isEnabled(OptionId id) const
{
    return groupOf(id) != OptionGroup::Separator || m_separatorsEnabled;
}

void OptionState::click(OptionId id)
{
    select(id);
    runClickHandler(id);
    changed();
}

void OptionState::setSelected(OptionId id, bool selected)
{
    if (selected == isSelected(id)) {
        return;
    }
    if (selected) {
        click(id);
        return;
    }
    m_selected[optionIndex(id)] = false;
    changed();
}

void OptionState::setOutputFolder(std::string_view text)
{
    if (text == m_outputFolder) {
        return;
    }
    m_outputFolder = text;
    m_store.store(Key::OutputFolder, m_outputFolder);
    changed();
}

std::string OptionState::outputFolderPath() const
{
    const std::string_view text = m_outputFolder;
    if (!text.starts_with('~') || (text.size() > 1 && text[1] != '/')) {
        return m_outputFolder;
    }
    std::string home = homeFolder();
    if (home.empty()) {
        return m_outputFolder;
    }
    while (home.size() > 1 && home.ends_with('/')) {
        home.pop_back();
    }
    return home + std::string(text.substr(1));
}

void OptionState::setCustomSeparator(std::string_view text)
{
    if (text == m_customSeparator) {
        return;
    }
    m_customSeparator = text;
    m_store.store(Key::CustomSeparator, m_customSeparator);
    changed();
}

void OptionState::restoreCustomSeparator()
{
    setCustomSeparator(m_store.read(Key::CustomSeparator, ""));
}

void OptionState::readStoredChoices()
{
    for (std::size_t i = 0; i < OptionCount; ++i) {
        const auto id = static_cast<OptionId>(i);
        m_storedChoices[i] =
            m_store.read(optionKey(id), defaultOption(groupOf(id)) == id ? "1" : "0");
    }
}

void OptionState::restoreOption(OptionId id)
{
    std::optional<std::string>& read = m_storedChoices[optionIndex(id)];
    const std::string stored = read
        ? *std::exchange(read, std::nullopt)
        : m_store.read(optionKey(id), defaultOption(groupOf(id)) == id ? "1" : "0");
    const std::optional<bool> selected = parseTruth(stored);
    if (!selected) {
        throw Error("Type mismatch: the stored choice \"" + stored + "\" of "
                    + std::string(optionKey(id)) + " is neither True, False nor a number");
    }
    setSelected(id, *selected);
}

void OptionState::restoreOutputFolder(std::string_view desktopFolder)
{
    setOutputFolder(m_store.read(Key::OutputFolder, desktopFolder));
}

void OptionState::ensureChoices()
{
    for (OptionGroup group :
         {OptionGroup::Mode, OptionGroup::Separator, OptionGroup::Naming, OptionGroup::Folder}) {
        if (!choiceOf(group)) {
            click(defaultOption(group));
        }
    }
}

void OptionState::applyOutputFolderRule()
{
    const bool enabled = isSelected(ChosenFolder);
    if (enabled != m_outputFolderEnabled) {
        m_outputFolderEnabled = enabled;
        changed();
    }
}

engine::SplitMode OptionState::mode() const
{
    switch (choiceOf(OptionGroup::Mode).value_or(defaultOption(OptionGroup::Mode))) {
    case ColumnsToText:
    case ColumnsToSpreadsheet:
        return engine::SplitMode::Columns;
    case CellsToText:
    case CellsToSpreadsheet:
        return engine::SplitMode::Cells;
    default:
        return engine::SplitMode::Rows;
    }
}

bool OptionState::isSpreadsheetKind() const
{
    return isSelected(CellsToSpreadsheet) || isSelected(ColumnsToSpreadsheet)
        || isSelected(RowsToSpreadsheet);
}

engine::SeparatorChoice OptionState::separator() const
{
    switch (choiceOf(OptionGroup::Separator).value_or(defaultOption(OptionGroup::Separator))) {
    case SeparatorCommaSpace:
        return engine::SeparatorChoice::CommaSpace;
    case SeparatorComma:
        return engine::SeparatorChoice::Comma;
    case SeparatorSpace:
        return engine::SeparatorChoice::Space;
    case SeparatorCustom:
        return engine::SeparatorChoice::Custom;
    default:
        return engine::SeparatorChoice::Enter;
    }
}

engine::NamingScheme OptionState::namingScheme() const
{
    switch (choiceOf(OptionGroup::Naming).value_or(defaultOption(OptionGroup::Naming))) {
    case NameByLocation:
        return engine::NamingScheme::CellLocation;
    case NameByFirstValue:
        return engine::NamingScheme::FirstCellValue;
    default:
        return engine::NamingScheme::FileNamePlusNumber;
    }
}

engine::FolderChoice OptionState::folder() const
{
    return choiceOf(OptionGroup::Folder).value_or(ChosenFolder) == SourceFolder
        ? engine::FolderChoice::SourceFolder
        : engine::FolderChoice::ChosenFolder;
}

void OptionState::select(OptionId id)
{
    for (OptionId member : groupMembers(groupOf(id))) {
        m_selected[optionIndex(member)] = member == id;
    }
}

void OptionState::runClickHandler(OptionId id)
{
    const OptionGroup group = groupOf(id);
    // The whole group is stored, each option as it stands, in the group's order.
    for (OptionId member : groupMembers(group)) {
        m_store.store(optionKey(member), isSelected(member) ? "True" : "False");
    }
    if (group == OptionGroup::Mode) {
        // Only lines of text files take a separator; cells and spreadsheet files never do.
        m_separatorsEnabled = id == RowsToText || id == ColumnsToText;
    } else if (group == OptionGroup::Folder) {
        m_outputFolderEnabled = id == ChosenFolder;
    }
}

std::optional<OptionId> OptionState::choiceOf(OptionGroup group) const
{
    for (OptionId member : groupMembers(group)) {
        if (isSelected(member)) {
            return member;
        }
    }
    return std::nullopt;
}

void OptionState::changed()
{
    if (m_listener) {
        m_listener();
    }
}

} // namespace sheetfray::window
