// The built-in number formats (builtinFormatCode of NumberFormat.h).
#include "engine/format/DisplayLocale.h"
#include "engine/format/NumberFormat.h"

#include <array>

namespace sheetfray::engine::format {

namespace {

// en-US codes of the ids a workbook may use without defining them (the dates and times among
// them follow the display locale: localeBuiltinCode). ECMA-376 Part 1, 18.8.30 lists most;
// [MS-OI29500] 2.1.712 gives what the application uses where it differs.
constexpr std::array<std::string_view, 50> BuiltinCodes = {
    "General", // 0
    "0", // 1
    "0.00", // 2
    "#,##0", // 3
    "#,##0.00", // 4
    "\"$\"#,##0_);\\(\"$\"#,##0\\)", // 5: currency, locale-dependent (en-US)
    "\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)", // 6: currency, red negatives
    "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)", // 7: currency with cents
    "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)", // 8: currency with cents, red negatives
    "0%", // 9
    "0.00%", // 10
    "0.00E+00", // 11
    "# ?/?", // 12
    "# ?\?/?\?", // 13 (written "?\?" so that "??/" is no trigraph)
    "m/d/yyyy", // 14: the system short date; ECMA's mm-dd-yy is not what en-US shows
    "d-mmm-yy", // 15
    "d-mmm", // 16
    "mmm-yy", // 17
    "h:mm AM/PM", // 18
    "h:mm:ss AM/PM", // 19
    "h:mm", // 20
    "h:mm:ss", // 21
    "m/d/yyyy h:mm", // 22: short date and time
    "General", // 23: East Asian ids 23-26 show as General in en-US
    "General", // 24
    "General", // 25
    "General", // 26
    "m/d/yyyy", // 27: East Asian dates 27-31 show as id 14 in en-US
    "m/d/yyyy", // 28
    "m/d/yyyy", // 29
    "m/d/yyyy", // 30
    "m/d/yyyy", // 31
    "h:mm:ss", // 32: East Asian times 32-35 show as id 21 in en-US
    "h:mm:ss", // 33
    "h:mm:ss", // 34
    "h:mm:ss", // 35
    "m/d/yyyy", // 36: East Asian date, as id 14
    "#,##0_);(#,##0)", // 37: accounting without symbol
    "#,##0_);[Red](#,##0)", // 38
    "#,##0.00_);(#,##0.00)", // 39
    "#,##0.00_);[Red](#,##0.00)", // 40
    "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)", // 41: accounting, locale-dependent
    "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)", // 42: accounting with $
    "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)", // 43
    "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)", // 44
    "mm:ss", // 45
    "[h]:mm:ss", // 46
    "mm:ss.0", // 47: ECMA writes mmss.0; the application uses mm:ss.0
    "##0.0E+0", // 48
    "@", // 49
};

} // namespace

std::string_view builtinFormatCode(int id)
{
    if (id < 0 || id >= static_cast<int>(BuiltinCodes.size())) {
        return {};
    }
    if (const std::string_view local = localeBuiltinCode(id); !local.empty()) {
        return local;
    }
    return BuiltinCodes[static_cast<std::size_t>(id)];
}

} // namespace sheetfray::engine::format
