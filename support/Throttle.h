// Lets frequent work (handling events, redrawing a progress line) run at most once per
// interval, however often its caller comes by.
#pragma once

#include <chrono>

namespace sheetfray {

class Throttle
{
public:
    using Clock = std::chrono::steady_clock;

    explicit Throttle(Clock::duration interval)
        : m_interval(interval)
    {}

    // True when the work has not run for a whole interval, or has never run.
    [[nodiscard]] bool isDue() const { return Clock::now() - m_lastRun >= m_interval; }

    // The work has run: the next interval starts now.
    void restart() { m_lastRun = Clock::now(); }

private:
    Clock::duration m_interval;
    Clock::time_point m_lastRun{};
};

} // namespace sheetfray
