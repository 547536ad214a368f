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
    bool spreadsheetKind = false;
    engine::SeparatorChoice separator = engine::SeparatorChoice::Enter;
    std::string customSeparator;
    engine::NamingScheme naming = engine::NamingScheme::FileNamePlusNumber;
    std::string outputFolder = ".";
    engine::FolderChoice folder = engine::FolderChoice::ChosenFolder;
    std::vector<std::string> workbooks;
    bool help = false;
    bool version = false;
};

// Either the options or the reason the command line is wrong.
struct ParseResult
{
    std::optional<Options> options;
    std::string error;
};

[[nodiscard]] ParseResult parseOptions(const std::vector<std::string>& arguments);

[[nodiscard]] std::string usageText();

} // namespace sheetfray::cli
