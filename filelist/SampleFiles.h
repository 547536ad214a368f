// The sample workbooks beside the program: where they lie, how their list is kept in the
// settings store, and how it is read back.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sheetfray::filelist {

// The sample folder of a program folder (given without a final "/"), without a final "/".
[[nodiscard]] std::string sampleFolder(std::string_view programFolder);

// The full paths of the named samples, joined by "|" with none at the end; empty for none.
[[nodiscard]] std::string composeSampleList(std::string_view programFolder,
                                            const std::vector<std::string>& names);

// The entries of a sample list; the empty text gives none.
[[nodiscard]] std::vector<std::string> splitSampleList(std::string_view list);

// The store keeps the sample list lightly scrambled, so it does not read as a list of paths.
// Each byte of the text is shifted up by a letter of a fixed eight-letter key, in turn,
// wrapping from 255 to 1; the result's characters are the codes 1 to 255 (U+0001 to U+00FF
// in UTF-8), so the store can hold it as text. yield runs once per character.
[[nodiscard]] std::string scramble(std::string_view text, const std::function<void()>& yield);

// The inverse of scramble for every byte from 1 to 255. A character above U+00FF, which only
// a hand-edited store can hold, comes back as "?", so such a path names no sample.
[[nodiscard]] std::string unscramble(std::string_view stored, const std::function<void()>& yield);

} // namespace sheetfray::filelist
