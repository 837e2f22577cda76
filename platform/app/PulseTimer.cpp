#include "app/PulseTimer.h"

#include <chrono>
#include <system_error>

namespace BPrivate
{

PulseTimer::PulseTimer(std::function<void()> pulse) : fPulse(std::move(pulse))
{
    try {
        fThread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // Without a thread there are no pulses; nothing else depends on them.
    }
}

PulseTimer::~PulseTimer()
{
    {
        std::lock_guard<std::mutex> guard(fMutex);
        fStopping = true;
        fChanged.notify_all();
    }
    if (fThread.joinable())
        fThread.join();
}

void PulseTimer::SetInterval(bigtime_t interval)
{
    std::lock_guard<std::mutex> guard(fMutex);
    fInterval = interval;
    fChanged.notify_all();
}

void PulseTimer::Run()
{
    std::unique_lock<std::mutex> guard(fMutex);
    while (!fStopping) {
        if (fInterval <= 0) {
            fChanged.wait(guard);
            continue;
        }
        bigtime_t interval = fInterval;
        if (fChanged.wait_for(guard, std::chrono::microseconds(interval),
                              [&] { return fStopping || fInterval != interval; }))
            continue;
        guard.unlock();
        fPulse();
        guard.lock();
    }
}

} // namespace BPrivate
