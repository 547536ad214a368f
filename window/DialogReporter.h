// Shows each error report in the "Application Error" box.
#pragma once

#include "platform/Dialogs.h"
#include "support/ErrorReport.h"

namespace sheetfray::window {

inline constexpr std::string_view ErrorBoxTitle = "Application Error";

// The box is modal with an OK button and the exclamation icon; its text is the report's text
// exactly as the trap built it.
class DialogReporter final : public Reporter
{
public:
    explicit DialogReporter(platform::Dialogs& dialogs)
        : m_dialogs(dialogs)
    {}

    void report(const ErrorReport& report) override;

private:
    platform::Dialogs& m_dialogs;
};

} // namespace sheetfray::window
