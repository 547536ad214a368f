// Showing text from files and file names inside messages: bounded in length, and safe for a
// terminal and for the window, whatever bytes it holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sheetfray {

// The most characters a message shows of one quoted text, the "…" included.
inline constexpr std::size_t MostQuotedCharacters = 200;

// The text as a message may show it: control characters (C0, DEL, C1) and the marks that
// reorder text on screen are escaped ("\x1b", "\0", "\n", "\u202e"), and so is each byte that
// is not part of valid UTF-8 ("\xff"); past most characters the text is cut and ends in "…".
// An escape counts as one character.
[[nodiscard]] std::string shownText(std::string_view text, std::size_t most = MostQuotedCharacters);

// The same between double quotes: `"text"`. Every text a message quotes from a workbook, a
// cell or the user goes through here.
[[nodiscard]] std::string quotedText(std::string_view text);

// A path between double quotes, as quotedText() shows it, but cut so that its folder and the
// start of its file name stay: `"/out/folder/Ann…"`. A folder that alone takes most of the
// room keeps its start and its last separator.
[[nodiscard]] std::string quotedPath(std::string_view path);

} // namespace sheetfray
