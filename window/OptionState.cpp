#include "window/OptionState.h"

#include "support/Error.h"
#include "window/SettingsStore.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <utility>

namespace sheetfray::window {

namespace {

using enum OptionId;

constexpr std::array<OptionId, 6> ModeOptions{
    Option1, Option2, Option8, Option9, Option10, Option11};
constexpr std::array<OptionId, 5> SeparatorOptions{Option3, Option4, Option5, Option6, Option7};
constexpr std::array<OptionId, 3> NamingOptions{Option21, Option22, Option23};
constexpr std::array<OptionId, 2> FolderOptions{Option13, Option14};

constexpr std::size_t indexOf(OptionId id)
{
    return static_cast<std::size_t>(id);
}

bool equalsIgnoringCase(std::string_view text, std::string_view word)
{
    return text.size() == word.size()
        && std::equal(text.begin(), text.end(), word.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a))
                   == std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view trimBlanks(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::string_view optionName(OptionId id)
{
    static constexpr std::array<std::string_view, OptionCount> Names{"Option1",
                                                                     "Option2",
                                                                     "Option8",
                                                                     "Option9",
                                                                     "Option10",
                                                                     "Option11",
                                                                     "Option3",
                                                                     "Option4",
                                                                     "Option5",
                                                                     "Option6",
                                                                     "Option7",
                                                                     "Option21",
                                                                     "Option22",
                                                                     "Option23",
                                                                     "Option13",
                                                                     "Option14"};
    return Names[indexOf(id)];
}

OptionGroup groupOf(OptionId id)
{
    if (id <= Option11) {
        return OptionGroup::Mode;
    }
    if (id <= Option7) {
        return OptionGroup::Separator;
    }
    if (id <= Option23) {
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
    text = trimBlanks(text);
    if (equalsIgnoringCase(text, "True")) {
        return true;
    }
    if (equalsIgnoringCase(text, "False")) {
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
        m_selected[indexOf(defaultOption(group))] = true;
    }
}

bool OptionState::isSelected(OptionId id) const
{
    return m_selected[indexOf(id)];
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
    m_selected[indexOf(id)] = false;
    changed();
}

void OptionState::setText1(std::string_view text)
{
    if (text == m_text1) {
        return;
    }
    m_text1 = text;
    m_store.store(Key::OutputFolder, m_text1);
    changed();
}

void OptionState::setText2(std::string_view text)
{
    if (text == m_text2) {
        return;
    }
    m_text2 = text;
    m_store.store(Key::Text2, m_text2);
    changed();
}

void OptionState::restoreText2()
{
    setText2(m_store.read(Key::Text2, ""));
}

void OptionState::readStoredChoices()
{
    for (std::size_t i = 0; i < OptionCount; ++i) {
        const auto id = static_cast<OptionId>(i);
        m_storedChoices[i] =
            m_store.read(optionName(id), defaultOption(groupOf(id)) == id ? "1" : "0");
    }
}

void OptionState::restoreOption(OptionId id)
{
    std::optional<std::string>& read = m_storedChoices[indexOf(id)];
    const std::string stored = read
        ? *std::exchange(read, std::nullopt)
        : m_store.read(optionName(id), defaultOption(groupOf(id)) == id ? "1" : "0");
    const std::optional<bool> selected = parseTruth(stored);
    if (!selected) {
        throw Error("Type mismatch: the stored choice \"" + stored + "\" of "
                    + std::string(optionName(id)) + " is neither True, False nor a number");
    }
    setSelected(id, *selected);
}

void OptionState::restoreText1(std::string_view desktopFolder)
{
    setText1(m_store.read(Key::OutputFolder, desktopFolder));
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

void OptionState::applyFrame5Rule()
{
    const bool enabled = isSelected(Option13);
    if (enabled != m_frame5Enabled) {
        m_frame5Enabled = enabled;
        changed();
    }
}

engine::SplitMode OptionState::mode() const
{
    switch (choiceOf(OptionGroup::Mode).value_or(defaultOption(OptionGroup::Mode))) {
    case Option2:
    case Option10:
        return engine::SplitMode::Columns;
    case Option8:
    case Option9:
        return engine::SplitMode::Cells;
    default:
        return engine::SplitMode::Rows;
    }
}

bool OptionState::isSpreadsheetKind() const
{
    return isSelected(Option9) || isSelected(Option10) || isSelected(Option11);
}

engine::SeparatorChoice OptionState::separator() const
{
    switch (choiceOf(OptionGroup::Separator).value_or(defaultOption(OptionGroup::Separator))) {
    case Option4:
        return engine::SeparatorChoice::CommaSpace;
    case Option5:
        return engine::SeparatorChoice::Comma;
    case Option6:
        return engine::SeparatorChoice::Space;
    case Option7:
        return engine::SeparatorChoice::Custom;
    default:
        return engine::SeparatorChoice::Enter;
    }
}

engine::NamingScheme OptionState::namingScheme() const
{
    switch (choiceOf(OptionGroup::Naming).value_or(defaultOption(OptionGroup::Naming))) {
    case Option22:
        return engine::NamingScheme::CellLocation;
    case Option23:
        return engine::NamingScheme::FirstCellValue;
    default:
        return engine::NamingScheme::FileNamePlusNumber;
    }
}

engine::FolderChoice OptionState::folder() const
{
    return choiceOf(OptionGroup::Folder).value_or(Option13) == Option14
        ? engine::FolderChoice::SourceFolder
        : engine::FolderChoice::ChosenFolder;
}

void OptionState::select(OptionId id)
{
    for (OptionId member : groupMembers(groupOf(id))) {
        m_selected[indexOf(member)] = member == id;
    }
}

void OptionState::runClickHandler(OptionId id)
{
    const OptionGroup group = groupOf(id);
    // The whole group is stored, each option as it stands, in the group's order.
    for (OptionId member : groupMembers(group)) {
        m_store.store(optionName(member), isSelected(member) ? "True" : "False");
    }
    if (group == OptionGroup::Mode) {
        // Only lines of text files take a separator; cells and spreadsheet files never do.
        m_separatorsEnabled = id == Option1 || id == Option2;
    } else if (group == OptionGroup::Folder) {
        m_frame5Enabled = id == Option13;
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
