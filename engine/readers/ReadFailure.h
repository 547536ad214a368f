// The wording of reader errors: which file (and sheet) failed, and why, in a user's words.
#pragma once

#include "support/Error.h"

#include <string>
#include <string_view>

namespace sheetfray::engine::readers {

// `cannot read "book.xls": it is password-protected`
[[nodiscard]] inline ReadError fileFailure(std::string_view fileName, std::string_view reason)
{
    return ReadError("cannot read \"" + std::string(fileName) + "\": " + std::string(reason));
}

[[nodiscard]] inline std::string
sheetMessage(std::string_view fileName, std::string_view sheetName, std::string_view reason)
{
    return "cannot read sheet \"" + std::string(sheetName) + "\" of \"" + std::string(fileName)
        + "\": " + std::string(reason);
}

// `cannot read sheet "Data" of "book.xls": the sheet is damaged (…)`
[[nodiscard]] inline ReadError
sheetFailure(std::string_view fileName, std::string_view sheetName, std::string_view reason)
{
    return ReadError(sheetMessage(fileName, sheetName, reason));
}

// `cannot read sheet "Chart1" of "book.xls": it is a chart sheet, which has no cells`, for a
// sheet that holds no cells by its nature.
[[nodiscard]] inline SheetWithoutCells
sheetWithoutCells(std::string_view fileName, std::string_view sheetName, std::string_view reason)
{
    return SheetWithoutCells(sheetMessage(fileName, sheetName, reason));
}

} // namespace sheetfray::engine::readers
