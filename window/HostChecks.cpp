#include "window/HostChecks.h"

#include "engine/Instance.h"
#include "window/Translate.h"

namespace sheetfray::window {

bool checkHostCanStart(engine::HostFactory& hosts,
                       platform::Dialogs& dialogs,
                       std::string_view title)
{
    const bool created = engine::canCreateHost(hosts);
    if (!created) {
        dialogs.message(title, translatedText(HostMissingMessage));
    }
    return created;
}

bool shouldStopForOpenHost(platform::Dialogs& dialogs, std::string_view title, bool running)
{
    if (!running) {
        return false;
    }
    return !dialogs.question(title, translatedText(OpenInstanceQuestion));
}

} // namespace sheetfray::window
