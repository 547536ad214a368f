// The host outside the splitting itself: can one be created, has the user one open.
#pragma once

#include "engine/Host.h"

namespace sheetfray::engine {

// Creates a host instance and releases it at once; true when that worked. A host that
// cannot be created is the answer, not a failure: this returns false rather than throw.
[[nodiscard]] bool canCreateHost(HostFactory& hosts);

// Whether the user has an instance of the spreadsheet application open. The readers are
// built into this program and there is no application to attach to, so never.
[[nodiscard]] bool isSpreadsheetHostRunning() noexcept;

} // namespace sheetfray::engine
