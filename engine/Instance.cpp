#include "engine/Instance.h"

#include <exception>

namespace sheetfray::engine {

bool canCreateHost(HostFactory& hosts)
{
    try {
        // The instance only serves as a test and is released at once.
        return hosts.create() != nullptr;
    } catch (const std::exception&) {
        // A host that cannot be created is the answer this check looks for, not a failure.
        return false;
    }
}

bool isSpreadsheetHostRunning() noexcept
{
    return false;
}

} // namespace sheetfray::engine
