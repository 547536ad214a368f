#include "engine/Instance.h"

#include <exception>

namespace sheetfray::engine {

bool CheckExcelCanStart(HostFactory& hosts, platform::Dialogs& dialogs, std::string_view title)
{
    bool created = false;
    try {
        // The instance only serves as a test and is released at once.
        created = hosts.create() != nullptr;
    } catch (const std::exception&) {
        // A host that cannot be created is the answer this check looks for, not a failure.
        created = false;
    }
    if (!created) {
        dialogs.message(title, HostMissingMessage);
    }
    return created;
}

bool IsExcelRunning() noexcept
{
    return false;
}

bool ShouldStopForOpenExcel(platform::Dialogs& dialogs, std::string_view title, bool running)
{
    if (!running) {
        return false;
    }
    return !dialogs.question(title, OpenInstanceQuestion);
}

} // namespace sheetfray::engine
