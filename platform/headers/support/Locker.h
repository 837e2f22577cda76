#ifndef _LOCKER_H
#define _LOCKER_H

#include <OS.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <mutex>

// A recursive lock: the thread that holds it may lock it again and must unlock it
// as often as it locked it.
class BLocker
{
public:
    BLocker();
    BLocker(const char* name);
    BLocker(bool benaphoreStyle);
    BLocker(const char* name, bool benaphoreStyle);
    virtual ~BLocker();

    status_t InitCheck() const { return B_OK; }

    bool Lock();
    status_t LockWithTimeout(bigtime_t timeout);
    void Unlock();

    thread_id LockingThread() const;
    bool IsLocked() const;
    int32 CountLocks() const;
    const char* Name() const { return fName; }

private:
    BLocker(const BLocker&) = delete;
    BLocker& operator=(const BLocker&) = delete;

    const char* fName;
    mutable std::mutex fMutex;
    std::condition_variable fReleased;
    thread_id fOwner = -1;
    int32 fCount = 0;
};

#endif
