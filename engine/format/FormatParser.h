// Parses a number-format code into its compiled sections.
#pragma once

#include "engine/format/FormatCode.h"

#include <memory>
#include <string_view>

namespace sheetfray::engine::format {

// Longest code compiled; longer ones fall back to General. The application stores at most 255
// characters, so anything far beyond comes from a damaged or hostile file.
inline constexpr std::size_t MaxFormatCodeLength = 1024;

// The compiled code, or nullptr when the code is not valid (unterminated quote or bracket,
// more than four sections, placeholders mixed into a date, ...). Never throws for bad input.
[[nodiscard]] std::shared_ptr<const CompiledFormat> parseFormatCode(std::string_view code);

} // namespace sheetfray::engine::format
