#ifndef _APP_MESSAGE_PORT_H
#define _APP_MESSAGE_PORT_H

#include <Message.h>
#include <OS.h>
#include <SupportDefs.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace BPrivate
{

class EventSignal;

// The bounded FIFO in front of a looper, or a reply port without a looper.
// Posters wait while it is full; closing it wakes every waiter.
class MessagePort
{
public:
    MessagePort(port_id id, int32 capacity);

    port_id Id() const { return fId; }
    int32 Capacity() const { return fCapacity; }

    // B_OK, B_WOULD_BLOCK (full, timeout 0), B_TIMED_OUT, or B_BAD_PORT_ID once
    // closed. With mayExceedCapacity the message is queued even when full: for
    // posters that the looper would otherwise wait for. The message is taken
    // only on success, so that the caller may try again. A poster that must
    // not wait passes roomSignal with timeout 0: when the port is full, the
    // signal is raised once the port has room again (or is closed). bytes is
    // the size of a message that came from another process: those may hold
    // no more than kQueuedBytesBound together, beyond the oldest one.
    //
    // A message from another process was acknowledged to its sender once it is
    // queued, so it must not land behind a quit request: from the moment one
    // is queued (B_QUIT_REQUESTED or _QUIT_) until the looper has handled it
    // without quitting (QuitRequestHandled), such messages are refused with
    // B_BAD_PORT_ID, and for good when the looper quits.
    status_t Post(std::unique_ptr<BMessage>&& message, bigtime_t timeout,
                  bool mayExceedCapacity = false,
                  const std::shared_ptr<EventSignal>& roomSignal = nullptr, size_t bytes = 0);

    static constexpr size_t kQueuedBytesBound = 64 * 1024 * 1024;

    // The oldest message, waiting up to the timeout; NULL when it timed out or
    // the port is closed.
    std::unique_ptr<BMessage> Take(bigtime_t timeout = B_INFINITE_TIMEOUT);

    // The looper handled a quit request and goes on.
    void QuitRequestHandled();

    int32 Count() const;
    void Close();
    bool IsClosed() const;

private:
    const port_id fId;
    const int32 fCapacity;
    mutable std::mutex fMutex;
    std::condition_variable fNotEmpty;
    std::condition_variable fNotFull;
    struct Queued {
        std::unique_ptr<BMessage> message;
        size_t bytes;
    };
    bool HasRoomFor(size_t bytes) const;
    void RaiseRoomWaiters();

    std::deque<Queued> fQueue;
    size_t fQueuedBytes = 0;
    // Quit requests queued or being handled.
    int32 fQuitRequests = 0;
    std::vector<std::shared_ptr<EventSignal>> fRoomWaiters;
    bool fClosed = false;
};

} // namespace BPrivate

#endif
