// The error trap: runs one numbered statement, reports its failure and lets the caller go on.
#pragma once

#include "support/Error.h"
#include "support/ErrorReport.h"

#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace sheetfray {

// One trap per activation of a trapped procedure. Each statement runs through step() with
// its number; a failure is reported with the procedure's location and that number, and the
// procedure continues with its next statement, as though the failed one had completed.
class Trap
{
public:
    Trap(std::string_view location, Reporter& reporter)
        : m_location(location)
        , m_reporter(reporter)
    {}

    // Runs the statement; true when it completed, false when it failed and was reported.
    template <typename Statement>
    bool step(int line, Statement&& statement) noexcept
    {
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (const ReadError& e) {
            reportFailure(line, e.what(), e.reasonText());
        } catch (const std::bad_alloc&) {
            reportOutOfMemory(line);
        } catch (const std::exception& e) {
            reportFailure(line, e.what());
        } catch (...) {
            reportFailure(line, "Unknown error");
        }
        return false;
    }

    // Reports a failure of statement line found after the statement itself had run.
    void report(int line, std::string_view description) noexcept
    {
        reportFailure(line, description);
    }

    // The file the procedure works on: a failure that cannot say it itself (memory running
    // out) is reported with its name.
    void nameFile(std::string_view file) { m_file = file; }

    // How many failures this activation has reported.
    [[nodiscard]] int failures() const { return m_failures; }

private:
    void
    reportFailure(int line, std::string_view description, std::string_view reason = {}) noexcept;
    void reportOutOfMemory(int line) noexcept;

    std::string_view m_location;
    std::string m_file;
    Reporter& m_reporter;
    int m_failures = 0;
};

} // namespace sheetfray
