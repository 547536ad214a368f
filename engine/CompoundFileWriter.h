// Writes a compound file (the container of .xls workbooks) holding one stream.
#pragma once

#include <string>
#include <string_view>

namespace sheetfray::engine {

// Appends a version 3 compound file (512-byte sectors) whose root holds one stream of that
// name (ASCII, at most 31 characters). A stream under 4096 bytes goes to the mini stream, as
// the format requires of small streams; a larger one into sectors of its own.
void appendCompoundFile(std::string_view streamName, std::string_view stream, std::string& out);

} // namespace sheetfray::engine
