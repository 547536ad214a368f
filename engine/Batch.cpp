#include "engine/Batch.h"

namespace sheetfray::engine {

std::string separatorText(SeparatorChoice choice, std::string_view custom)
{
    switch (choice) {
    case SeparatorChoice::Enter:
        return "\r\n";
    case SeparatorChoice::CommaSpace:
        return ", ";
    case SeparatorChoice::Comma:
        return ",";
    case SeparatorChoice::Space:
        return " ";
    case SeparatorChoice::Custom:
        return std::string(custom);
    }
    return {};
}

std::string baseNameOf(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot));
}

std::string
composeOutputBase(FolderChoice folder, std::string_view chosenFolder, std::string_view workbookPath)
{
    std::string base = folder == FolderChoice::ChosenFolder ? std::string(chosenFolder)
                                                            : FolderOfPath(workbookPath);
    base += PathSeparator;
    base += baseNameOf(fileNameOfPath(workbookPath));
    return base;
}

void splitWorkbook(const SplitContext& context,
                   SplitMode mode,
                   bool spreadsheetKind,
                   const std::string& workbookPath,
                   std::string_view outputBase,
                   std::string_view separator)
{
    const std::string_view lineSeparator = spreadsheetKind ? std::string_view("|") : separator;
    switch (mode) {
    case SplitMode::Rows:
        SaveEachRow(context, workbookPath, outputBase, lineSeparator);
        return;
    case SplitMode::Columns:
        SaveEachCol(context, workbookPath, outputBase, lineSeparator);
        return;
    case SplitMode::Cells:
        SaveEachCell(context, workbookPath, outputBase);
        return;
    }
}

} // namespace sheetfray::engine
