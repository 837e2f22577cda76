#include "app/LooperState.h"

#include <chrono>

namespace BPrivate
{

status_t LooperState::Acquire(bigtime_t timeout, bool evenIfQuitting)
{
    thread_id self = find_thread(NULL);
    std::unique_lock<std::mutex> guard(fMutex);
    auto refused = [&] { return fDeleted || (fQuitting && !evenIfQuitting); };
    if (fOwner == self && !fDeleted) {
        fCount++;
        return B_OK;
    }
    auto ready = [&] { return refused() || fCount == 0; };
    if (timeout == B_INFINITE_TIMEOUT) {
        fChanged.wait(guard, ready);
    } else if (!fChanged.wait_for(guard, std::chrono::microseconds(timeout < 0 ? 0 : timeout),
                                  ready)) {
        return B_TIMED_OUT;
    }
    if (refused())
        return B_BAD_VALUE;
    fOwner = self;
    fCount = 1;
    return B_OK;
}

void LooperState::Release()
{
    std::lock_guard<std::mutex> guard(fMutex);
    if (fOwner != find_thread(NULL) || fCount == 0)
        return;
    if (--fCount == 0) {
        fOwner = -1;
        fChanged.notify_all();
    }
}

int32 LooperState::ReleaseAll()
{
    std::lock_guard<std::mutex> guard(fMutex);
    if (fOwner != find_thread(NULL))
        return 0;
    int32 released = fCount;
    fCount = 0;
    fOwner = -1;
    fChanged.notify_all();
    return released;
}

thread_id LooperState::Owner() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fOwner;
}

int32 LooperState::Count() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fCount;
}

void LooperState::SetLoopThread(thread_id thread)
{
    std::lock_guard<std::mutex> guard(fMutex);
    fLoopThread = thread;
    fChanged.notify_all();
}

thread_id LooperState::LoopThread() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fLoopThread;
}

void LooperState::WaitForLoopThread()
{
    std::unique_lock<std::mutex> guard(fMutex);
    fChanged.wait(guard, [this] { return fLoopThread >= 0; });
}

void LooperState::MarkQuitting()
{
    std::lock_guard<std::mutex> guard(fMutex);
    fQuitting = true;
    fChanged.notify_all();
}

bool LooperState::IsQuitting() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fQuitting;
}

void LooperState::MarkDeleted()
{
    std::lock_guard<std::mutex> guard(fMutex);
    fDeleted = true;
    fChanged.notify_all();
}

bool LooperState::IsDeleted() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fDeleted;
}

void LooperState::MarkFinished()
{
    std::lock_guard<std::mutex> guard(fMutex);
    fFinished = true;
    fChanged.notify_all();
}

void LooperState::WaitUntilFinished()
{
    std::unique_lock<std::mutex> guard(fMutex);
    fChanged.wait(guard, [this] { return fFinished; });
}

bool LooperState::WaitUntilFinished(bigtime_t timeout)
{
    std::unique_lock<std::mutex> guard(fMutex);
    return fChanged.wait_for(guard, std::chrono::microseconds(timeout),
                             [this] { return fFinished; });
}

bool LooperState::IsFinished() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fFinished;
}

} // namespace BPrivate
