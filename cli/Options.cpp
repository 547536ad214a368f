#include "cli/Options.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <mutex>
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

constexpr std::array<std::pair<std::string_view, engine::OutputKind>, 4> Kinds{{
    {"text", engine::OutputKind::Text},
    {"spreadsheet", engine::OutputKind::Spreadsheet},
    {"tab-text", engine::OutputKind::TabText},
    {"xlsx", engine::OutputKind::Xlsx},
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

// Long options without a short form return these codes.
enum LongOnly : int {
    SeparatorText = 256,
    BesideSource,
    Sheet,
    SkipHidden,
    SkipEmpty,
    Pad,
    NameTemplate,
    StdinName,
    DryRun,
    NoClobber,
    Jobs,
};

constexpr std::string_view ShortOptions = ":e:k:s:n:o:qvhV";

// Sorted as --help lists them; getopt_long matches prefixes against this table.
const std::array<option, 21> LongOptions{{
    {"each", required_argument, nullptr, 'e'},
    {"kind", required_argument, nullptr, 'k'},
    {"separator", required_argument, nullptr, 's'},
    {"separator-text", required_argument, nullptr, SeparatorText},
    {"name", required_argument, nullptr, 'n'},
    {"name-template", required_argument, nullptr, NameTemplate},
    {"pad", required_argument, nullptr, Pad},
    {"output", required_argument, nullptr, 'o'},
    {"beside-source", no_argument, nullptr, BesideSource},
    {"sheet", required_argument, nullptr, Sheet},
    {"skip-hidden", no_argument, nullptr, SkipHidden},
    {"skip-empty", no_argument, nullptr, SkipEmpty},
    {"stdin-name", required_argument, nullptr, StdinName},
    {"dry-run", no_argument, nullptr, DryRun},
    {"no-clobber", no_argument, nullptr, NoClobber},
    {"jobs", required_argument, nullptr, Jobs},
    {"quiet", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
}};

// The option an argument names, for a message: "--kind" for "--ki=x", "-k" for "-kx".
std::string optionWord(const option* named, int shortCode)
{
    if (named != nullptr) {
        return std::string("--") + named->name;
    }
    return std::string("-") + static_cast<char>(shortCode);
}

// Why getopt_long refused a long option: the name is unknown, ambiguous, or given a value it
// does not take. getopt_long's own messages are off, so that ours carry the program's form.
std::string longOptionError(std::string_view argument)
{
    std::string_view name = argument.substr(2);
    const std::size_t equals = name.find('=');
    const bool withValue = equals != std::string_view::npos;
    name = name.substr(0, equals);
    int matches = 0;
    const option* match = nullptr;
    for (const option& candidate : LongOptions) {
        if (candidate.name == nullptr) {
            break;
        }
        const std::string_view full = candidate.name;
        if (full == name) {
            match = &candidate;
            matches = 1;
            break;
        }
        if (full.starts_with(name)) {
            match = &candidate;
            ++matches;
        }
    }
    if (matches > 1) {
        return "option '--" + std::string(name) + "' is ambiguous";
    }
    if (matches == 1 && withValue && match->has_arg == no_argument) {
        return "option '--" + std::string(match->name) + "' does not take a value";
    }
    return "unrecognized option '"
        + std::string(argument.substr(0, withValue ? equals + 2 : argument.size())) + "'";
}

std::optional<int> numberIn(std::string_view text, int least, int most)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < least || value > most) {
        return std::nullopt;
    }
    return value;
}

// getopt_long keeps its state in globals.
std::mutex s_getoptLock;

} // namespace

std::string usageText()
{
    return "Usage: sheetfray-split [OPTION]... WORKBOOK|FOLDER|-...\n"
           "Splits each workbook into one file per row, column or non-blank cell of its "
           "sheets.\n"
           "A folder adds every workbook below it; - reads one workbook from standard input.\n"
           "\n"
           "  -e, --each row|column|cell                     default row\n"
           "  -k, --kind text|spreadsheet|tab-text|xlsx      default text (.txt); spreadsheet "
           "writes .xls\n"
           "                                     workbooks, tab-text tab-separated .xls text\n"
           "  -s, --separator enter|comma-space|comma|space  default enter\n"
           "      --separator-text TEXT          custom separator, may be empty\n"
           "  -n, --name number|location|first-value         default number\n"
           "      --name-template TEMPLATE       name files from {book} {sheet} {n} {row} {col}\n"
           "                                     {cell} {value}, e.g. '{book}_{sheet}_{row}'\n"
           "      --pad WIDTH                    zero-pad running numbers: Book1_0001\n"
           "  -o, --output DIR                   default: the current folder\n"
           "      --beside-source                write beside each workbook instead\n"
           "      --sheet NAME|N                 split only this sheet (N from 1); repeatable\n"
           "      --skip-hidden                  pass over hidden sheets\n"
           "      --skip-empty                   no file for a row or column without text\n"
           "      --stdin-name NAME              the name of the workbook read from -\n"
           "      --dry-run                      print the files a run would write, write none\n"
           "      --no-clobber                   never replace a file: take \"NAME (2)\" instead\n"
           "      --jobs N                       split up to N workbooks at once, default 1\n"
           "  -q, --quiet                        print failures only\n"
           "  -v, --verbose                      full reports and a summary line\n"
           "  -h, --help                         show this help\n"
           "  -V, --version                      show the version\n"
           "\n"
           "Long options may be shortened to any unambiguous beginning, as --out.\n"
           "Example: sheetfray-split -e column -s comma --pad 4 -o out Book1.xlsx\n"
           "\n"
           "Exit status: 0 when every file was written, 1 when any failure was reported,\n"
           "2 for a wrong command line or when there is nothing to do.\n";
}

ParseResult parseOptions(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    words.emplace_back("sheetfray-split");
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    const std::lock_guard lock(s_getoptLock);
    Options options;
    optind = 0; // starts getopt_long afresh
    opterr = 0;
    for (;;) {
        int longIndex = -1;
        const int code =
            getopt_long(argc, argv.data(), ShortOptions.data(), LongOptions.data(), &longIndex);
        if (code == -1) {
            break;
        }
        const option* named =
            longIndex >= 0 ? &LongOptions[static_cast<std::size_t>(longIndex)] : nullptr;
        const std::string value = optarg != nullptr ? optarg : "";
        const auto wrongValue = [&] {
            return ParseResult{std::nullopt,
                               "invalid argument '" + value + "' for '" + optionWord(named, code)
                                   + "'"};
        };
        switch (code) {
        case '?': {
            const std::string_view argument = argv[static_cast<std::size_t>(optind - 1)];
            if (argument.starts_with("--")) {
                return {std::nullopt, longOptionError(argument)};
            }
            return {std::nullopt,
                    "invalid option -- '" + std::string(1, static_cast<char>(optopt)) + "'"};
        }
        case ':': {
            const std::string_view argument = argv[static_cast<std::size_t>(optind - 1)];
            if (argument.starts_with("--")) {
                return {std::nullopt,
                        "option '" + std::string(argument.substr(0, argument.find('=')))
                            + "' requires an argument"};
            }
            return {std::nullopt,
                    "option requires an argument -- '" + std::string(1, static_cast<char>(optopt))
                        + "'"};
        }
        case 'e': {
            const auto mode = lookUp(Modes, value);
            if (!mode) {
                return wrongValue();
            }
            options.mode = *mode;
            break;
        }
        case 'k': {
            const auto kind = lookUp(Kinds, value);
            if (!kind) {
                return wrongValue();
            }
            options.kind = *kind;
            options.spreadsheetKind = *kind != engine::OutputKind::Text;
            break;
        }
        case 's': {
            const auto separator = lookUp(Separators, value);
            if (!separator) {
                return wrongValue();
            }
            options.separator = *separator;
            break;
        }
        case SeparatorText:
            options.separator = engine::SeparatorChoice::Custom;
            options.customSeparator = value;
            break;
        case 'n': {
            const auto naming = lookUp(Namings, value);
            if (!naming) {
                return wrongValue();
            }
            options.naming = *naming;
            break;
        }
        case NameTemplate:
            if (value.empty()) {
                return wrongValue();
            }
            options.nameTemplate = value;
            break;
        case Pad: {
            const auto width = numberIn(value, 0, 12);
            if (!width) {
                return wrongValue();
            }
            options.pad = *width;
            break;
        }
        case 'o':
            options.outputFolder = value;
            break;
        case BesideSource:
            options.folder = engine::FolderChoice::SourceFolder;
            break;
        case Sheet:
            options.sheets.push_back(value);
            break;
        case SkipHidden:
            options.skipHidden = true;
            break;
        case SkipEmpty:
            options.skipEmpty = true;
            break;
        case StdinName:
            if (value.empty() || value.find('/') != std::string::npos) {
                return wrongValue();
            }
            options.stdinName = value;
            break;
        case DryRun:
            options.dryRun = true;
            break;
        case NoClobber:
            options.noClobber = true;
            break;
        case Jobs: {
            const auto jobs = numberIn(value, 1, 256);
            if (!jobs) {
                return wrongValue();
            }
            options.jobs = *jobs;
            break;
        }
        case 'q':
            options.quiet = true;
            break;
        case 'v':
            options.verbose = true;
            break;
        case 'h':
            options.help = true;
            break;
        case 'V':
            options.version = true;
            break;
        default:
            return {std::nullopt, "unexpected option code " + std::to_string(code)};
        }
    }
    for (int i = optind; i < argc; ++i) {
        options.workbooks.emplace_back(argv[static_cast<std::size_t>(i)]);
    }
    return {std::move(options), {}};
}

} // namespace sheetfray::cli
