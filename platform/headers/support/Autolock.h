#ifndef _AUTOLOCK_H
#define _AUTOLOCK_H

#include <Locker.h>
#include <Looper.h>

// Holds a lock for the life of a scope.
class BAutolock
{
public:
    BAutolock(BLocker* locker) : fLocker(locker), fLooper(NULL) { fLocked = fLocker->Lock(); }
    BAutolock(BLocker& locker) : fLocker(&locker), fLooper(NULL) { fLocked = fLocker->Lock(); }
    BAutolock(BLooper* looper) : fLocker(NULL), fLooper(looper) { fLocked = fLooper->Lock(); }
    ~BAutolock()
    {
        if (!fLocked)
            return;
        if (fLocker != NULL)
            fLocker->Unlock();
        else
            fLooper->Unlock();
    }

    bool IsLocked() const { return fLocked; }

private:
    BAutolock(const BAutolock&) = delete;
    BAutolock& operator=(const BAutolock&) = delete;

    BLocker* fLocker;
    BLooper* fLooper;
    bool fLocked;
};

#endif
