#include "support/Trap.h"

#include <cstdio>

namespace sheetfray {

void Trap::reportFailure(int line, std::string_view description, std::string reason) noexcept
{
    ++m_failures;
    try {
        m_reporter.report(ErrorReport{
            std::string(m_location), line, std::string(description), std::move(reason)});
    } catch (...) {
        // A reporter that fails (out of memory, a closed stream) must not end the run; the
        // last resort is standard error.
        std::fputs("sheetfray: an error report could not be shown\n", stderr);
    }
}

} // namespace sheetfray
