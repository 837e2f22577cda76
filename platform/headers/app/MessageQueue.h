#ifndef _MESSAGE_QUEUE_H
#define _MESSAGE_QUEUE_H

#include <SupportDefs.h>

#include <deque>
#include <mutex>

class BMessage;

// A FIFO of messages that it owns; thread-safe, with an explicit lock for
// sequences of calls.
class BMessageQueue
{
public:
    BMessageQueue();
    virtual ~BMessageQueue();

    void AddMessage(BMessage* message);
    void RemoveMessage(BMessage* message);
    BMessage* NextMessage();
    BMessage* FindMessage(int32 index) const;
    BMessage* FindMessage(uint32 what, int32 index = 0) const;
    int32 CountMessages() const;
    bool IsEmpty() const;

    bool Lock();
    void Unlock();

private:
    BMessageQueue(const BMessageQueue&) = delete;
    BMessageQueue& operator=(const BMessageQueue&) = delete;

    mutable std::recursive_mutex fMutex;
    std::deque<BMessage*> fMessages;
};

#endif
