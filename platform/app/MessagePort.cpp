#include "app/MessagePort.h"

#include "app/EventSignal.h"

#include <AppDefs.h>

#include <algorithm>
#include <chrono>

namespace BPrivate
{

namespace
{

// Waits on the condition until it holds or the timeout ends; true when it holds.
template <typename Predicate>
bool WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& guard,
             bigtime_t timeout, Predicate predicate)
{
    if (timeout == B_INFINITE_TIMEOUT) {
        condition.wait(guard, predicate);
        return true;
    }
    return condition.wait_for(guard, std::chrono::microseconds(timeout < 0 ? 0 : timeout),
                              predicate);
}

} // namespace

MessagePort::MessagePort(port_id id, int32 capacity)
    : fId(id), fCapacity(capacity > 0 ? capacity : 1)
{
}

bool MessagePort::HasRoomFor(size_t bytes) const
{
    if ((int32)fQueue.size() >= fCapacity)
        return false;
    return bytes == 0 || fQueue.empty() || fQueuedBytes + bytes <= kQueuedBytesBound;
}

status_t MessagePort::Post(std::unique_ptr<BMessage>&& message, bigtime_t timeout,
                           bool mayExceedCapacity, const std::shared_ptr<EventSignal>& roomSignal,
                           size_t bytes)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    bool fromOtherProcess = bytes > 0;
    std::unique_lock<std::mutex> guard(fMutex);
    auto refused = [this, fromOtherProcess] {
        return fClosed || (fromOtherProcess && fQuitRequests > 0);
    };
    if (!mayExceedCapacity) {
        auto room = [this, bytes, &refused] { return refused() || HasRoomFor(bytes); };
        if (!WaitFor(fNotFull, guard, timeout, room)) {
            if (roomSignal != nullptr && std::find(fRoomWaiters.begin(), fRoomWaiters.end(),
                                                   roomSignal) == fRoomWaiters.end())
                fRoomWaiters.push_back(roomSignal);
            return timeout <= 0 ? B_WOULD_BLOCK : B_TIMED_OUT;
        }
    }
    if (refused())
        return B_BAD_PORT_ID;
    if (message->what == B_QUIT_REQUESTED || message->what == _QUIT_) {
        fQuitRequests++;
        // Whoever waits for room learns at once that there will be none.
        fNotFull.notify_all();
        RaiseRoomWaiters();
    }
    fQueue.push_back({std::move(message), bytes});
    fQueuedBytes += bytes;
    fNotEmpty.notify_one();
    return B_OK;
}

std::unique_ptr<BMessage> MessagePort::Take(bigtime_t timeout)
{
    std::unique_lock<std::mutex> guard(fMutex);
    if (!WaitFor(fNotEmpty, guard, timeout, [this] { return fClosed || !fQueue.empty(); }))
        return nullptr;
    if (fClosed || fQueue.empty())
        return nullptr;
    std::unique_ptr<BMessage> message = std::move(fQueue.front().message);
    fQueuedBytes -= fQueue.front().bytes;
    fQueue.pop_front();
    fNotFull.notify_one();
    // Waiters that cannot block are woken in batches, once a quarter of the
    // port is free, rather than for every message taken.
    if ((int32)fQueue.size() <= fCapacity - (fCapacity + 3) / 4 &&
        fQueuedBytes <= kQueuedBytesBound - kQueuedBytesBound / 4)
        RaiseRoomWaiters();
    return message;
}

void MessagePort::QuitRequestHandled()
{
    std::lock_guard<std::mutex> guard(fMutex);
    if (fQuitRequests > 0)
        fQuitRequests--;
}

void MessagePort::RaiseRoomWaiters()
{
    for (const auto& waiter : fRoomWaiters)
        waiter->Raise();
    fRoomWaiters.clear();
}

int32 MessagePort::Count() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return (int32)fQueue.size();
}

void MessagePort::Close()
{
    std::lock_guard<std::mutex> guard(fMutex);
    fClosed = true;
    fQueue.clear();
    fQueuedBytes = 0;
    fNotEmpty.notify_all();
    fNotFull.notify_all();
    RaiseRoomWaiters();
}

bool MessagePort::IsClosed() const
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fClosed;
}

} // namespace BPrivate
