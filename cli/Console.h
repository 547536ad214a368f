// The command line's side of a run: its choices, its progress line and its error reports.
#pragma once

#include "engine/RunControls.h"
#include "support/ErrorReport.h"
#include "support/Throttle.h"

#include <cstdio>
#include <string>

namespace sheetfray::cli {

// Answers the engine with the fixed choices of the command line and shows the progress
// caption on one terminal line, redrawn at most ten times a second.
class ConsoleControls : public engine::RunControls
{
public:
    ConsoleControls(bool spreadsheetKind, engine::NamingScheme naming, std::FILE* progress);

    bool isSpreadsheetKind() override { return m_spreadsheetKind; }

    engine::NamingScheme namingScheme() override { return m_naming; }

    void setBusy() override {}

    void setProgress(const engine::Progress& progress) override;
    void yield() override;

    // Names the workbook being split, shown before the engine's caption.
    void startWorkbook(std::string_view fileName);
    // Clears the progress line.
    void finish();

private:
    void draw();

    bool m_spreadsheetKind;
    engine::NamingScheme m_naming;
    std::FILE* m_progress; // null: no progress shown
    std::string m_workbook;
    engine::Progress m_latest;
    bool m_started = false; // a caption is there to show for this workbook
    Throttle m_redraw;
    bool m_drawn = false;
};

// Prints each report to a stream as the lines a box would show, and counts them.
class ConsoleReporter : public Reporter
{
public:
    ConsoleReporter(std::FILE* stream, ConsoleControls* controls);

    void report(const ErrorReport& report) override;

    [[nodiscard]] int count() const { return m_count; }

private:
    std::FILE* m_stream;
    ConsoleControls* m_controls;
    int m_count = 0;
};

// The report text with its CR LF and lone CRs as line ends.
[[nodiscard]] std::string reportLines(const ErrorReport& report);

} // namespace sheetfray::cli
