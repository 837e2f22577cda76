#ifndef VEK_READER_BACK_OFF_H
#define VEK_READER_BACK_OFF_H

// The wait between attempts to reopen a reader that went away: short at
// first, so that a quick replug is picked up at once, then growing, so that a
// reader that stays away costs next to nothing.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

class BackOff
{
public:
    // Waits the current delay, or less when stop is set meanwhile, and
    // doubles the delay for the next time.
    void Wait(const std::atomic<bool>& stop)
    {
        auto end = std::chrono::steady_clock::now() + fDelay;
        while (!stop && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(kSlice);
        fDelay = std::min(fDelay * 2, kLongest);
    }

    void Reset() { fDelay = kShortest; }

private:
    static constexpr std::chrono::milliseconds kShortest{250};
    static constexpr std::chrono::milliseconds kLongest{8000};
    static constexpr std::chrono::milliseconds kSlice{50};

    std::chrono::milliseconds fDelay = kShortest;
};

#endif
