// Parses a number-format code: scans it into sections of raw tokens, which FormatSections.h
// compiles.
#pragma once

#include "engine/format/FormatCode.h"
#include "engine/format/FormatTokens.h"

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace sheetfray::engine::format {

// Longest code compiled; longer ones fall back to General. The application stores at most 255
// characters, so anything far beyond comes from a damaged or hostile file.
inline constexpr std::size_t MaxFormatCodeLength = 1024;

// The compiled code, or nullptr when the code is not valid (unterminated quote or bracket,
// more than four sections, placeholders mixed into a date, ...). Never throws for bad input.
[[nodiscard]] std::shared_ptr<const CompiledFormat> parseFormatCode(std::string_view code);

// Splits the code into sections of raw tokens; nothing when the code is not valid (an
// unterminated quote or bracket, more than four sections).
[[nodiscard]] std::optional<std::vector<RawSection>> scanFormatCode(std::string_view code);

} // namespace sheetfray::engine::format
