#ifndef VEK_READER_SOURCES_STOP_SIGNAL_H
#define VEK_READER_SOURCES_STOP_SIGNAL_H

// Tells a reader's thread to stop, and wakes it where it waits: the thread
// waits in poll() on Fd() beside its own input, so that it sleeps until
// either has news. A wait that has no descriptor (pcscd's) hooks a function
// that Raise calls to end it.

#include "app/EventSignal.h"

#include <poll.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

class StopSignal
{
public:
    StopSignal() = default;
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    void Raise()
    {
        std::lock_guard lock(fLock);
        fRaised = true;
        fSignal.Raise();
        if (fHook)
            fHook();
    }

    bool IsRaised() const { return fRaised; }

    // Readable once raised, for good.
    int Fd() const { return fSignal.Fd(); }

    // Waits for timeout or the signal, whichever comes first; true when
    // raised.
    bool WaitFor(std::chrono::milliseconds timeout) const
    {
        pollfd wait = {Fd(), POLLIN, 0};
        auto end = std::chrono::steady_clock::now() + timeout;
        while (!fRaised) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            poll(&wait, 1, int(left.count()) + 1);
        }
        return fRaised;
    }

    // While it lives, Raise calls function too; called at once when the
    // signal is raised already. One hook at a time: the wait of one thread.
    class Hook
    {
    public:
        Hook(const StopSignal& stop, std::function<void()> function) : fStop(stop)
        {
            std::lock_guard lock(fStop.fLock);
            fStop.fHook = std::move(function);
            if (fStop.fRaised)
                fStop.fHook();
        }
        ~Hook()
        {
            std::lock_guard lock(fStop.fLock);
            fStop.fHook = nullptr;
        }
        Hook(const Hook&) = delete;
        Hook& operator=(const Hook&) = delete;

    private:
        const StopSignal& fStop;
    };

private:
    BPrivate::EventSignal fSignal;
    std::atomic<bool> fRaised = false;
    mutable std::mutex fLock;
    mutable std::function<void()> fHook;
};

#endif
