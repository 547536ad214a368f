// Renders a serial number through a date or time section of a compiled code.
#pragma once

#include "engine/format/FormatCode.h"
#include "engine/format/NumberFormat.h"

#include <string>

namespace sheetfray::engine::format {

// Appends the serial (>= 0) as the section shows it, with a leading "-" when minus is set.
// False, with nothing appended, when the date system cannot show the serial.
[[nodiscard]] bool renderDateSection(const CompiledFormat& format,
                                     const Section& section,
                                     double serial,
                                     bool minus,
                                     DateSystem system,
                                     std::string& out);

} // namespace sheetfray::engine::format
