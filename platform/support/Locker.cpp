#include <Locker.h>

#include <chrono>

BLocker::BLocker() : BLocker("some BLocker", true) {}
BLocker::BLocker(const char* name) : BLocker(name, true) {}
BLocker::BLocker(bool benaphoreStyle) : BLocker("some BLocker", benaphoreStyle) {}
BLocker::BLocker(const char* name, bool) : fName(name) {}

BLocker::~BLocker() = default;

bool BLocker::Lock()
{
    return LockWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BLocker::LockWithTimeout(bigtime_t timeout)
{
    thread_id self = find_thread(NULL);
    std::unique_lock<std::mutex> guard(fMutex);
    if (fOwner == self) {
        fCount++;
        return B_OK;
    }
    auto free = [this] { return fCount == 0; };
    if (timeout == B_INFINITE_TIMEOUT) {
        fReleased.wait(guard, free);
    } else if (!fReleased.wait_for(guard, std::chrono::microseconds(timeout < 0 ? 0 : timeout),
                                   free)) {
        return B_TIMED_OUT;
    }
    fOwner = self;
    fCount = 1;
    return B_OK;
}

void BLocker::Unlock()
{
    std::lock_guard<std::mutex> guard(fMutex);
    if (fOwner != find_thread(NULL) || fCount == 0)
        return;
    if (--fCount == 0) {
        fOwner = -1;
        fReleased.notify_one();
    }
}

thread_id BLocker::LockingThread() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fOwner;
}

bool BLocker::IsLocked() const
{
    return LockingThread() == find_thread(NULL);
}

int32 BLocker::CountLocks() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fCount;
}
