// Renders a number through one section of a compiled code: digits, scientific, fractions.
#pragma once

#include "engine/format/FormatCode.h"

#include <string>

namespace sheetfray::engine::format {

// Appends the magnitude (>= 0, finite) through a Literal, Number, Scientific, Fraction, General
// or Text section. With minus, a "-" leads the text, unless the shown number is zero (a number
// rounded to 0.0 loses its sign; a fraction or a literal keeps it).
void renderNumberSection(const CompiledFormat& format,
                         const Section& section,
                         double magnitude,
                         bool minus,
                         std::string& out);

} // namespace sheetfray::engine::format
