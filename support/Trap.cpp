#include "support/Trap.h"

#include "support/Quote.h"

#include <algorithm>
#include <cstdio>

namespace sheetfray {

namespace {

// The most characters of one description: a last bound for text that came from outside.
constexpr std::size_t MostDescriptionCharacters = 20 * MostQuotedCharacters;

// The description made safe for a terminal and the window, whoever worded it: its line
// breaks and tabs stay, every other control character is escaped.
std::string safeDescription(std::string_view description)
{
    std::string safe;
    std::size_t room = MostDescriptionCharacters;
    while (!description.empty() && room > 0) {
        const std::size_t stop = std::min(description.find_first_of("\t\n\r"), description.size());
        const std::string piece = shownText(description.substr(0, stop), room);
        safe += piece;
        room -= std::min(room, stop);
        if (stop < description.size()) {
            safe += description[stop];
            description.remove_prefix(stop + 1);
        } else {
            break;
        }
    }
    return safe;
}

} // namespace

void Trap::reportFailure(int line, std::string_view description, std::string_view reason) noexcept
{
    ++m_failures;
    try {
        m_reporter.report(ErrorReport{
            std::string(m_location), line, safeDescription(description), safeDescription(reason)});
    } catch (...) {
        // A reporter that fails (out of memory, a closed stream) must not end the run; the
        // last resort is standard error.
        std::fputs("sheetfray: an error report could not be shown\n", stderr);
    }
}

void Trap::reportOutOfMemory(int line) noexcept
{
    // The statement's memory is given back by now, so the words can be put together.
    try {
        reportFailure(line,
                      m_file.empty() ? std::string("there is not enough memory")
                                     : quotedPath(m_file) + ": there is not enough memory");
    } catch (...) {
        reportFailure(line, "there is not enough memory");
    }
}

} // namespace sheetfray
