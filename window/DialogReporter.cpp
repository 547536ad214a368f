#include "window/DialogReporter.h"

namespace sheetfray::window {

void DialogReporter::report(const ErrorReport& report)
{
    m_dialogs.warning(ErrorBoxTitle, report.text());
}

} // namespace sheetfray::window
