#ifndef VEK_READER_SOURCES_BACK_OFF_H
#define VEK_READER_SOURCES_BACK_OFF_H

// The wait between attempts to reopen a reader that went away: short at
// first, so that a quick replug is picked up at once, then growing, so that a
// reader that stays away costs next to nothing.

#include "sources/StopSignal.h"

#include <algorithm>
#include <chrono>

class BackOff
{
public:
    // Waits the current delay, or less when stop is raised meanwhile, and
    // doubles the delay for the next time.
    void Wait(const StopSignal& stop)
    {
        stop.WaitFor(fDelay);
        fDelay = std::min(fDelay * 2, kLongest);
    }

    void Reset() { fDelay = kShortest; }

private:
    static constexpr std::chrono::milliseconds kShortest{250};
    static constexpr std::chrono::milliseconds kLongest{8000};

    std::chrono::milliseconds fDelay = kShortest;
};

#endif
