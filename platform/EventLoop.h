// The front end's event loop as long work sees it: handle what is pending, or end at once.
#pragma once

namespace sheetfray::platform {

class EventLoop
{
public:
    virtual ~EventLoop() = default;

    // Handles the events that are pending (painting, clicks, key presses) and returns.
    virtual void processPendingEvents() = 0;
    // Ends the program at once, from wherever it is called, without closing steps. Callers
    // call it only between output files, with every setting already stored. The real loop
    // does not return; a test double may, and the caller then carries on.
    virtual void endProgram() = 0;
};

} // namespace sheetfray::platform
