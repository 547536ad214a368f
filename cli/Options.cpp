#include "cli/Options.h"

#include <array>
#include <string_view>
#include <utility>

namespace sheetfray::cli {

namespace {

template <typename Value, std::size_t N>
std::optional<Value> lookUp(const std::array<std::pair<std::string_view, Value>, N>& table,
                            std::string_view word)
{
    for (const auto& [name, value] : table) {
        if (name == word) {
            return value;
        }
    }
    return std::nullopt;
}

constexpr std::array<std::pair<std::string_view, engine::SplitMode>, 3> Modes{{
    {"row", engine::SplitMode::Rows},
    {"column", engine::SplitMode::Columns},
    {"cell", engine::SplitMode::Cells},
}};

constexpr std::array<std::pair<std::string_view, bool>, 2> Kinds{{
    {"text", false},
    {"spreadsheet", true},
}};

constexpr std::array<std::pair<std::string_view, engine::SeparatorChoice>, 4> Separators{{
    {"enter", engine::SeparatorChoice::Enter},
    {"comma-space", engine::SeparatorChoice::CommaSpace},
    {"comma", engine::SeparatorChoice::Comma},
    {"space", engine::SeparatorChoice::Space},
}};

constexpr std::array<std::pair<std::string_view, engine::NamingScheme>, 3> Namings{{
    {"number", engine::NamingScheme::FileNamePlusNumber},
    {"location", engine::NamingScheme::CellLocation},
    {"first-value", engine::NamingScheme::FirstCellValue},
}};

} // namespace

std::string usageText()
{
    return "Usage: sheetfray-split [options] WORKBOOK...\n"
           "Splits each workbook into one file per row, column or non-blank cell of every "
           "sheet.\n"
           "\n"
           "  --each row|column|cell                     default row\n"
           "  --kind text|spreadsheet                    default text (.txt); spreadsheet "
           "writes .xls\n"
           "  --separator enter|comma-space|comma|space  default enter\n"
           "  --separator-text TEXT                      custom separator, may be empty\n"
           "  --name number|location|first-value         default number\n"
           "  --output DIR                               default: the current folder\n"
           "  --beside-source                            write beside each workbook instead\n"
           "  --help, --version\n"
           "\n"
           "Exit status: 0 when every file was written, 1 when any failure was reported,\n"
           "2 for a wrong command line or when there is nothing to do.\n";
}

ParseResult parseOptions(const std::vector<std::string>& arguments)
{
    Options options;
    bool onlyWorkbooks = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyWorkbooks || argument.empty() || argument[0] != '-' || argument == "-") {
            options.workbooks.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyWorkbooks = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == "--version") {
            options.version = true;
            continue;
        }
        if (argument == "--beside-source") {
            options.folder = engine::FolderChoice::SourceFolder;
            continue;
        }
        // The rest take a value, as "--name value" or "--name=value".
        std::string name = argument;
        std::string value;
        if (const auto equals = argument.find('='); equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        } else if (name == "--each" || name == "--kind" || name == "--separator"
                   || name == "--separator-text" || name == "--name" || name == "--output") {
            if (i + 1 >= arguments.size()) {
                return {std::nullopt, "option " + name + " needs a value"};
            }
            value = arguments[++i];
        } else {
            return {std::nullopt, "unknown option " + argument};
        }
        const auto wrongValue = [&] {
            return ParseResult{std::nullopt, "option " + name + " does not take \"" + value + "\""};
        };
        if (name == "--each") {
            const auto mode = lookUp(Modes, value);
            if (!mode) {
                return wrongValue();
            }
            options.mode = *mode;
        } else if (name == "--kind") {
            const auto kind = lookUp(Kinds, value);
            if (!kind) {
                return wrongValue();
            }
            options.spreadsheetKind = *kind;
        } else if (name == "--separator") {
            const auto separator = lookUp(Separators, value);
            if (!separator) {
                return wrongValue();
            }
            options.separator = *separator;
        } else if (name == "--separator-text") {
            options.separator = engine::SeparatorChoice::Custom;
            options.customSeparator = value;
        } else if (name == "--name") {
            const auto naming = lookUp(Namings, value);
            if (!naming) {
                return wrongValue();
            }
            options.naming = *naming;
        } else if (name == "--output") {
            options.outputFolder = value;
        } else {
            return {std::nullopt, "unknown option " + name};
        }
    }
    return {std::move(options), {}};
}

} // namespace sheetfray::cli
