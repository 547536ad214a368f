// File name patterns with "*" and "?", matched as the users' file dialogs and folder scans
// match them.
#pragma once

#include <string_view>

namespace sheetfray::filelist {

// True when the name matches the pattern. "*" stands for any run of characters, "?" for one
// character; letters match without regard to case (A to Z), so "*.xl*" finds Book.XLSX.
// A pattern that ends in ".*" also takes names without that extension, so "*.*" takes every
// name, including names without a ".".
[[nodiscard]] bool matchesPattern(std::string_view name, std::string_view pattern);

} // namespace sheetfray::filelist
