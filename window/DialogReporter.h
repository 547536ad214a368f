// Shows each error report in the "Application Error" box.
#pragma once

#include "platform/Dialogs.h"
#include "support/ErrorReport.h"

#include <QtGlobal>

#include <string>
#include <vector>

namespace sheetfray::window {

inline constexpr std::string_view ErrorBoxTitle =
    QT_TRANSLATE_NOOP("Sheetfray", "Application Error");

// The box is modal with an OK button and the exclamation icon; its text is the report's text
// exactly as the trap built it. During a run the box offers to hide the run's later reports,
// and every report of the run is kept for the message at its end.
class DialogReporter final : public Reporter
{
public:
    explicit DialogReporter(platform::Dialogs& dialogs)
        : m_dialogs(dialogs)
    {}

    void report(const ErrorReport& report) override;

    // From here reports are collected, and shown until the user asks not to.
    void beginRun();
    // The reports since beginRun(), oldest first; later reports are shown as before.
    [[nodiscard]] std::vector<std::string> endRun();

private:
    platform::Dialogs& m_dialogs;
    bool m_inRun = false;
    bool m_quiet = false; // the user ticked the box: the run's reports are only collected
    std::vector<std::string> m_runReports;
};

} // namespace sheetfray::window
