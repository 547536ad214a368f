// The event loop of the running QApplication.
#pragma once

#include "platform/EventLoop.h"

namespace sheetfray::platform::qt {

class QtEventLoop : public EventLoop
{
public:
    void processPendingEvents() override;
    // Flushes standard output and error and leaves the process with status 0, running no
    // destructors: the window and the application object are still on the stack.
    void endProgram() override;
};

} // namespace sheetfray::platform::qt
