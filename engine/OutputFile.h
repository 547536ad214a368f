// Writing one output file so that a failure never leaves a partial or damaged file.
#pragma once

#include <string>
#include <string_view>

namespace sheetfray::engine {

// Temporary files carry this in their name, so a leftover one says whose it is.
inline constexpr std::string_view TemporaryMarker = ".sheetfray-";

// Writes the bytes as the whole content of the file at path, replacing a file of that name.
// The file gets its name only when it is complete: on Linux it is written without a name
// (O_TMPFILE) and linked in; where that is not possible, and to replace an older file, it is
// written as a hidden temporary beside the target (".sheetfray-NNN-K.tmp"), closed and
// renamed into place. So whoever looks at path (a reader, a run killed at any moment) sees
// the older file or the complete new one, never a part of either. On failure nothing is
// left, an older file of that name is unchanged, and WriteError says
// `cannot write "PATH": REASON` with the system's reason.
void WriteTextFile(std::string_view bytes, const std::string& path);

} // namespace sheetfray::engine
