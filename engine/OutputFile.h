// Writing one output file so that a failure never leaves a partial or damaged file.
#pragma once

#include <string>
#include <string_view>

namespace sheetfray::engine {

// Temporary files carry this in their name, so a leftover one says whose it is.
inline constexpr std::string_view TemporaryMarker = ".sheetfray-";

// Writes the bytes as the whole content of the file at path, replacing a file of that name.
// A new file is created exclusively and written in place; an existing one is replaced by
// writing a temporary file beside it and renaming it over the old one. On failure nothing
// is left behind, an older file of that name is unchanged, and WriteError names the path
// and the system's reason.
void WriteTextFile(std::string_view bytes, const std::string& path);

} // namespace sheetfray::engine
