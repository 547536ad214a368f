// The command line of sheetfray-split.
#pragma once

#include "engine/Batch.h"

#include <optional>
#include <string>
#include <vector>

namespace sheetfray::cli {

struct Options
{
    engine::SplitMode mode = engine::SplitMode::Rows;
    engine::OutputKind kind = engine::OutputKind::Text;
    bool spreadsheetKind = false; // any kind but text: the window's "spreadsheet" choice
    engine::SeparatorChoice separator = engine::SeparatorChoice::Enter;
    std::string customSeparator;
    engine::NamingScheme naming = engine::NamingScheme::FileNamePlusNumber;
    std::string outputFolder = ".";
    engine::FolderChoice folder = engine::FolderChoice::ChosenFolder;
    // Which sheets and lines give files, and how the files are named.
    std::vector<std::string> sheets; // names or numbers from 1, as given; empty: every sheet
    bool skipHidden = false;
    bool skipEmpty = false;
    int pad = 0; // running numbers take at least this many digits
    std::string nameTemplate;
    // Inputs: workbooks, folders, and "-" for standard input.
    std::vector<std::string> workbooks;
    std::string stdinName = "stdin";
    bool dryRun = false;
    bool noClobber = false;
    int jobs = 1;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// Either the options or the reason the command line is wrong.
struct ParseResult
{
    std::optional<Options> options;
    std::string error;
};

// Parses as GNU programs do: options and workbooks in any order, long options by any
// unambiguous prefix, "--name value" or "--name=value", "-o DIR" or "-oDIR", "--" ends options.
[[nodiscard]] ParseResult parseOptions(const std::vector<std::string>& arguments);

[[nodiscard]] std::string usageText();

} // namespace sheetfray::cli
