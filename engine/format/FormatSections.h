// Compiles the sections of a number-format code: what each raw token means in a section of its
// kind (number, scientific, fraction, date and time, text).
#pragma once

#include "engine/format/FormatCode.h"
#include "engine/format/FormatTokens.h"

namespace sheetfray::engine::format {

// Compiles raw into section, keeping its text in format's literals. False when the section is
// not valid: number placeholders mixed into a date, or beside General.
[[nodiscard]] bool buildSection(RawSection& raw, CompiledFormat& format, Section& section);

} // namespace sheetfray::engine::format
