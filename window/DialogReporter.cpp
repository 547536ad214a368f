#include "window/DialogReporter.h"

#include "window/Translate.h"

#include <utility>

namespace sheetfray::window {

namespace {

constexpr const char* QuietCheckBox =
    QT_TRANSLATE_NOOP("Sheetfray", "Don't show further errors in this run");

} // namespace

void DialogReporter::report(const ErrorReport& report)
{
    if (!m_inRun) {
        m_dialogs.warning(translatedText(ErrorBoxTitle), report.text());
        return;
    }
    m_runReports.push_back(report.text());
    if (!m_quiet) {
        m_quiet = m_dialogs.warningWithCheckBox(
            translatedText(ErrorBoxTitle), m_runReports.back(), translatedText(QuietCheckBox));
    }
}

void DialogReporter::beginRun()
{
    m_inRun = true;
    m_quiet = false;
    m_runReports.clear();
}

std::vector<std::string> DialogReporter::endRun()
{
    m_inRun = false;
    m_quiet = false;
    return std::exchange(m_runReports, {});
}

} // namespace sheetfray::window
