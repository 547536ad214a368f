#include "filelist/Wildcard.h"

#include "support/Text.h"

#include <cstddef>

namespace sheetfray::filelist {

namespace {

// The length of the UTF-8 sequence that begins at i; a stray byte counts as one character.
std::size_t characterLength(std::string_view text, std::size_t i)
{
    std::size_t length = 1;
    while (i + length < text.size()
           && (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

// Glob matching that remembers only the last "*": each later mismatch lets that star take one
// more character, so a name is matched in time proportional to its length times the pattern's.
bool globMatch(std::string_view name, std::string_view pattern)
{
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += characterLength(name, n);
        } else if (p < pattern.size() && asciiLower(pattern[p]) == asciiLower(name[n])) {
            ++p;
            ++n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            starName += characterLength(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

bool matchesPattern(std::string_view name, std::string_view pattern)
{
    if (globMatch(name, pattern)) {
        return true;
    }
    // "Report.*" takes "Report" too, as "*.*" takes every name.
    if (pattern.ends_with(".*") && name.find('.') == std::string_view::npos) {
        return globMatch(name, pattern.substr(0, pattern.size() - 2));
    }
    return false;
}

} // namespace sheetfray::filelist
