#ifndef _APP_PULSE_TIMER_H
#define _APP_PULSE_TIMER_H

#include <OS.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace BPrivate
{

// Calls a function at a steady interval on a thread of its own until deleted.
class PulseTimer
{
public:
    explicit PulseTimer(std::function<void()> pulse);
    ~PulseTimer();

    void SetInterval(bigtime_t interval);

private:
    void Run();

    std::function<void()> fPulse;
    std::mutex fMutex;
    std::condition_variable fChanged;
    bigtime_t fInterval = 0;
    bool fStopping = false;
    std::thread fThread;
};

} // namespace BPrivate

#endif
