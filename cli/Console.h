// The command line's side of a run: its choices, its progress line and its error reports.
#pragma once

#include "engine/RunControls.h"
#include "support/ErrorReport.h"
#include "support/Throttle.h"

#include <cstdio>
#include <mutex>
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

// Writes whole lines to a stream shared by workbooks split at once, so that no line is
// broken by another's.
class LineOutput
{
public:
    explicit LineOutput(std::FILE* stream)
        : m_stream(stream)
    {}

    // Writes the text (one or more complete lines) in one piece and flushes it.
    void write(std::string_view text);

private:
    std::FILE* m_stream;
    std::mutex m_lock;
};

// Prints each report as one line naming the workbook by its full path and what went wrong,
// `sheetfray-split: /data/q3.xlsx: it is password-protected`; verbose adds the lines a box
// would show. Counts the reports.
class ConsoleReporter : public Reporter
{
public:
    ConsoleReporter(LineOutput& output, ConsoleControls* controls, bool verbose);

    // The workbook the next reports are about, as the user should see it.
    void setWorkbook(std::string path) { m_workbook = std::move(path); }

    void report(const ErrorReport& report) override;

    [[nodiscard]] int count() const { return m_count; }

private:
    LineOutput& m_output;
    ConsoleControls* m_controls;
    bool m_verbose;
    std::string m_workbook;
    int m_count = 0;
};

// The one-line form of a report about the workbook at path.
[[nodiscard]] std::string reportLine(const ErrorReport& report, std::string_view path);

// The report text with its CR LF and lone CRs as line ends.
[[nodiscard]] std::string reportLines(const ErrorReport& report);

} // namespace sheetfray::cli
