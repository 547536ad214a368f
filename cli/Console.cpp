#include "cli/Console.h"

#include "engine/StopSignals.h"

#include <chrono>

namespace sheetfray::cli {

namespace {

constexpr auto RedrawInterval = std::chrono::milliseconds(100);

} // namespace

ConsoleControls::ConsoleControls(bool spreadsheetKind,
                                 engine::NamingScheme naming,
                                 std::FILE* progress)
    : m_spreadsheetKind(spreadsheetKind)
    , m_naming(naming)
    , m_progress(progress)
    , m_redraw(RedrawInterval)
{}

void ConsoleControls::setProgress(const engine::Progress& progress)
{
    // The caption is made when drawn, ten times a second at most.
    if (m_progress) {
        m_latest = progress;
        m_started = true;
    }
}

void ConsoleControls::yield()
{
    engine::endIfStopped();
    if (!m_progress) {
        return;
    }
    if (m_redraw.isDue()) {
        m_redraw.restart();
        draw();
    }
}

void ConsoleControls::startWorkbook(std::string_view fileName)
{
    m_workbook = "Processing: ";
    m_workbook += fileName;
    m_started = false;
    if (m_progress) {
        draw();
    }
}

void ConsoleControls::draw()
{
    std::string line = m_workbook;
    if (m_started) {
        line += "  ";
        line += engine::progressCaption(m_latest);
    }
    // "\r" and erase-to-end-of-line keep the caption on one terminal line.
    std::fprintf(m_progress, "\r%s\x1b[K", line.c_str());
    std::fflush(m_progress);
    m_drawn = true;
}

void ConsoleControls::finish()
{
    if (m_progress && m_drawn) {
        std::fputs("\r\x1b[K", m_progress);
        std::fflush(m_progress);
        m_drawn = false;
    }
}

void LineOutput::write(std::string_view text)
{
    const std::lock_guard lock(m_lock);
    std::fwrite(text.data(), 1, text.size(), m_stream);
    std::fflush(m_stream);
}

ConsoleReporter::ConsoleReporter(LineOutput& output, ConsoleControls* controls, bool verbose)
    : m_output(output)
    , m_controls(controls)
    , m_verbose(verbose)
{}

std::string reportLine(const ErrorReport& report, std::string_view path)
{
    std::string line = "sheetfray-split: ";
    if (!path.empty()) {
        line += path;
        line += ": ";
    }
    const std::string& words = report.reason.empty() ? report.description : report.reason;
    // A report is one line, whatever its text holds.
    for (const char ch : words) {
        line += ch == '\n' || ch == '\r' ? ' ' : ch;
    }
    line += '\n';
    return line;
}

std::string reportLines(const ErrorReport& report)
{
    const std::string text = report.text();
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            lines += text[i];
        }
    }
    lines += '\n';
    return lines;
}

void ConsoleReporter::report(const ErrorReport& report)
{
    ++m_count;
    if (m_controls) {
        m_controls->finish();
    }
    std::string text = reportLine(report, m_workbook);
    if (m_verbose) {
        text += reportLines(report);
    }
    m_output.write(text);
}

} // namespace sheetfray::cli
