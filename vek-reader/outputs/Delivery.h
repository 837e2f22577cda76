#ifndef VEK_READER_OUTPUTS_DELIVERY_H
#define VEK_READER_OUTPUTS_DELIVERY_H

// Sends the reads to the client on a thread of its own, in the order they
// were read. While the client is not running they wait in a bounded queue,
// each for a limited time. A hardware reader's read never waits for room: the
// oldest is dropped instead, counted and said. A read from text (a file, a
// pipe) waits for room, since the text is not going anywhere.
//
// The client's receipt says what became of a read: taken (delivered),
// refused or no client running (kept, sent again later), or none in time:
// the client is not answering, and the read, which it may still handle, is
// never sent again and counts as not delivered.

#include "sources/StopSignal.h"

#include <Messenger.h>
#include <SupportDefs.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// One 'RFID' message as it will be sent.
struct Outgoing {
    int32 time = 0;
    std::string tag;
    // _fMes; empty: none.
    std::string message;
};

struct DeliverySettings {
    std::string target = "application/VEK_BeOS";
    size_t capacity = 256;
    std::chrono::milliseconds longest{60000};
    // How long one send may wait for the client's receipt.
    bigtime_t sendTimeout = 2000000;
    // Between attempts to reach a client that is not running.
    std::chrono::milliseconds retry{200};
};

class Delivery
{
public:
    using Clock = std::chrono::steady_clock;

    struct Counts {
        size_t delivered = 0;
        // Dropped because the queue was full (the oldest go first), or
        // because they waited too long.
        size_t droppedFull = 0;
        size_t droppedOld = 0;
        // Sent, but the client gave no receipt in time.
        size_t unanswered = 0;
        size_t waiting = 0;

        // Reads that the client may not have: after Stop, every one that was
        // not delivered.
        size_t NotDelivered() const { return droppedFull + droppedOld + unanswered + waiting; }
    };

    // replyTo goes into every message as _f2CallMe.
    Delivery(const DeliverySettings& settings, const BMessenger& replyTo);
    ~Delivery();

    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;

    // A hardware reader's read: drops the oldest waiting read when full.
    void Add(const Outgoing& read);
    // A read from text: waits for room, unless stop is raised meanwhile
    // (see WakeWaiting) or the delivery stops; then it is added beyond room.
    void AddWhenRoom(const Outgoing& read, const StopSignal& stop);
    // A StopSignal that an AddWhenRoom waits on was raised.
    void WakeWaiting();

    // Where the reads go from now on, those that wait included.
    void SetTarget(const std::string& target);

    // Calls done once, on the delivery thread, when nothing waits any more:
    // every read was delivered or dropped. No more reads are added.
    void WhenEmpty(std::function<void()> done);

    // Gives the client at most grace to take what waits, then ends the
    // thread; what is still waiting is counted as not delivered.
    void Stop(std::chrono::milliseconds grace);

    Counts GetCounts() const;

private:
    struct Entry {
        Outgoing read;
        Clock::time_point added;
        uint64 number;
    };

    enum class Sent { kDelivered, kRefused, kNotAnswering };

    void Loop();
    // With fLock held: drops what waited too long; removes an entry.
    void DropOld(Clock::time_point now);
    void Remove(uint64 number);
    // On the delivery thread, which alone uses fClient.
    Sent Send(const Outgoing& read, const std::string& target);
    void SayDropped();

    DeliverySettings fSettings;
    BMessenger fReplyTo;
    BMessenger fClient;
    std::string fClientTarget;

    mutable std::mutex fLock;
    std::condition_variable fChanged;
    std::condition_variable fRoom;
    std::deque<Entry> fQueue;
    uint64 fNextNumber = 0;
    // The entry being sent, which an overflow does not drop.
    uint64 fSending = UINT64_MAX;
    Counts fCounts;
    // Reported on standard error so far.
    size_t fDroppedSaid = 0;
    bool fClientAway = false;
    bool fNotAnswering = false;
    bool fStopping = false;
    Clock::time_point fStopBy;
    std::function<void()> fWhenEmpty;
    std::thread fThread;
};

#endif
