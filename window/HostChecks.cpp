#include "window/HostChecks.h"

#include "engine/Instance.h"

namespace sheetfray::window {

bool checkHostCanStart(engine::HostFactory& hosts,
                       platform::Dialogs& dialogs,
                       std::string_view title)
{
    const bool created = engine::canCreateHost(hosts);
    if (!created) {
        dialogs.message(title, HostMissingMessage);
    }
    return created;
}

bool shouldStopForOpenHost(platform::Dialogs& dialogs, std::string_view title, bool running)
{
    if (!running) {
        return false;
    }
    return !dialogs.question(title, OpenInstanceQuestion);
}

} // namespace sheetfray::window
