#include "cli/Options.h"

#include "engine/TextOutput.h"

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

constexpr std::array<std::pair<std::string_view, engine::OutputKind>, 5> Kinds{{
    {"text", engine::OutputKind::Text},
    {"spreadsheet", engine::OutputKind::Spreadsheet},
    {"tab-text", engine::OutputKind::TabText},
    {"xlsx", engine::OutputKind::Xlsx},
    {"json", engine::OutputKind::Json},
}};

constexpr std::array<std::pair<std::string_view, bool>, 2> LineEnds{{
    {"crlf", false},
    {"lf", true},
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
    Quote,
    Header,
    Encoding,
    Eol,
    Zip,
};

constexpr std::string_view ShortOptions = ":e:k:s:n:o:qvhV";

// Sorted as --help lists them; getopt_long matches prefixes against this table.
const std::array<option, 26> LongOptions{{
    {"each", required_argument, nullptr, 'e'},
    {"kind", required_argument, nullptr, 'k'},
    {"separator", required_argument, nullptr, 's'},
    {"separator-text", required_argument, nullptr, SeparatorText},
    {"quote", no_argument, nullptr, Quote},
    {"header", no_argument, nullptr, Header},
    {"encoding", required_argument, nullptr, Encoding},
    {"eol", required_argument, nullptr, Eol},
    {"name", required_argument, nullptr, 'n'},
    {"name-template", required_argument, nullptr, NameTemplate},
    {"pad", required_argument, nullptr, Pad},
    {"output", required_argument, nullptr, 'o'},
    {"beside-source", no_argument, nullptr, BesideSource},
    {"zip", required_argument, nullptr, Zip},
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

// Why options that each parse cannot go together; empty when they can.
std::string conflictOf(const Options& options)
{
    const bool json = options.kind == engine::OutputKind::Json;
    const bool text = options.kind == engine::OutputKind::Text;
    if (options.header && !json) {
        return "'--header' needs '--kind json'";
    }
    if (options.header && options.mode != engine::SplitMode::Rows) {
        return "'--header' needs '--each row'";
    }
    if (options.quote && !text) {
        return "'--quote' needs '--kind text'";
    }
    if (!options.encoding.empty()) {
        const engine::TextEncoding encoding = engine::TextEncoding::named(options.encoding);
        if (json && !encoding.isPlainUtf8()) {
            return "'--kind json' is always written in UTF-8: leave out '--encoding "
                + options.encoding + "'";
        }
        if (!json && !text && options.kind != engine::OutputKind::TabText) {
            return "'--encoding' needs a text kind: text, tab-text or json";
        }
    }
    if (!options.zip.empty()) {
        if (options.folder == engine::FolderChoice::SourceFolder) {
            return "'--zip' and '--beside-source' cannot go together";
        }
        if (options.outputFolder != ".") {
            return "'--zip' writes no folder: leave out '--output'";
        }
    }
    return {};
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
           "  -k, --kind KIND                    default text; KIND is one of:\n"
           "                                     text        the shown texts, each followed\n"
           "                                                 by the separator (.txt)\n"
           "                                     spreadsheet a workbook of one sheet (.xls)\n"
           "                                     tab-text    tab-separated text named .xls\n"
           "                                     xlsx        a workbook of one sheet (.xlsx)\n"
           "                                     json        a JSON array of the shown texts,\n"
           "                                                 a string for a cell (.json)\n"
           "  -s, --separator enter|comma-space|comma|space  default enter\n"
           "      --separator-text TEXT          custom separator, may be empty\n"
           "      --eol crlf|lf                  the line end enter writes, default crlf\n"
           "      --quote                        text: quote a field that holds the separator,\n"
           "                                     a \" or a line break, as CSV does\n"
           "      --header                       json rows: the first row of each sheet gives\n"
           "                                     the keys and no file: {\"Name\":\"Pen\"}\n"
           "      --encoding NAME                utf-8, utf-8-bom, utf-16le or an iconv name\n"
           "                                     (cp1252); default: the locale's; json: utf-8\n"
           "  -n, --name number|location|first-value         default number\n"
           "      --name-template TEMPLATE       name files from {book} {sheet} {n} {row} {col}\n"
           "                                     {cell} {value}, e.g. '{book}_{sheet}_{row}'\n"
           "      --pad WIDTH                    zero-pad running numbers: Book1_0001\n"
           "  -o, --output DIR                   default: the current folder\n"
           "      --beside-source                write beside each workbook instead\n"
           "      --zip FILE                     write every file into one zip archive instead;\n"
           "                                     it appears only when the run succeeds\n"
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
           "Examples: sheetfray-split -e column -s comma --pad 4 -o out Book1.xlsx\n"
           "          sheetfray-split -s comma --quote --eol lf --zip rows.zip Book1.xlsx\n"
           "          sheetfray-split -k json --header Book1.xlsx\n"
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
            options.spreadsheetKind =
                *kind != engine::OutputKind::Text && *kind != engine::OutputKind::Json;
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
        case Quote:
            options.quote = true;
            break;
        case Header:
            options.header = true;
            break;
        case Encoding:
            try {
                static_cast<void>(engine::TextEncoding::named(value));
            } catch (const std::exception&) {
                return {std::nullopt,
                        "unknown encoding '" + value + "' for '" + optionWord(named, code) + "'"};
            }
            options.encoding = value;
            break;
        case Eol: {
            const auto lf = lookUp(LineEnds, value);
            if (!lf) {
                return wrongValue();
            }
            options.lfLineEnds = *lf;
            break;
        }
        case Zip:
            if (value.empty()) {
                return wrongValue();
            }
            options.zip = value;
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
    if (const std::string conflict = conflictOf(options); !conflict.empty()) {
        return {std::nullopt, conflict};
    }
    return {std::move(options), {}};
}

} // namespace sheetfray::cli
