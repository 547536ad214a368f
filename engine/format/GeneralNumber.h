// The General number format: as many digits as fit in 11 characters, else scientific.
#pragma once

#include "engine/format/DecimalDigits.h"

#include <string>
#include <string_view>

namespace sheetfray::engine::format {

// Appends a number as General shows it, with a leading minus for negative values and the
// decimal separator given. NaN and infinities, which a cell cannot hold, give "#NUM!".
void appendGeneralNumber(double value, std::string_view decimal, std::string& out);

// Appends |number| as General shows it, without a sign (a format section supplies its own).
void appendGeneralMagnitude(const DecimalDigits& number,
                            std::string_view decimal,
                            std::string& out);

// Appends the digits in scientific form "d.dddE+XX" with at most `decimals` mantissa decimals
// (trailing zeros dropped) and an exponent of at least two digits.
void appendShortScientific(DecimalDigits number,
                           int decimals,
                           std::string_view decimal,
                           std::string& out);

} // namespace sheetfray::engine::format
