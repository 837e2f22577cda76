#ifndef _APP_LOOPER_STATE_H
#define _APP_LOOPER_STATE_H

#include <OS.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <mutex>

namespace BPrivate
{

// A looper's recursive lock and life cycle. Shared with everyone who waits for
// the looper, so that the looper can be deleted while they wait: they wake and
// fail instead of touching freed memory.
class LooperState
{
public:
    // B_OK; B_TIMED_OUT; B_BAD_VALUE once the
    // looper is deleted, or quitting unless the caller is the looper's own loop.
    status_t Acquire(bigtime_t timeout, bool evenIfQuitting = false);
    void Release();
    // Gives up every lock the calling thread holds; returns how many.
    int32 ReleaseAll();

    thread_id Owner() const;
    int32 Count() const;

    void SetLoopThread(thread_id thread);
    thread_id LoopThread() const;
    void WaitForLoopThread();

    void MarkQuitting();
    bool IsQuitting() const;
    void MarkDeleted();
    bool IsDeleted() const;
    // Called by the looper's thread after it deleted the looper.
    void MarkFinished();
    void WaitUntilFinished();
    // False when the loop had not finished within the timeout.
    bool WaitUntilFinished(bigtime_t timeout);
    bool IsFinished() const;

private:
    mutable std::mutex fMutex;
    std::condition_variable fChanged;
    thread_id fOwner = -1;
    int32 fCount = 0;
    thread_id fLoopThread = -1;
    bool fQuitting = false;
    bool fDeleted = false;
    bool fFinished = false;
};

} // namespace BPrivate

#endif
