#include <MessageQueue.h>

#include <Message.h>

#include <algorithm>

BMessageQueue::BMessageQueue() = default;

BMessageQueue::~BMessageQueue()
{
    for (BMessage* message : fMessages)
        delete message;
}

void BMessageQueue::AddMessage(BMessage* message)
{
    if (message == NULL)
        return;
    std::lock_guard<std::recursive_mutex> guard(fMutex);
    fMessages.push_back(message);
}

void BMessageQueue::RemoveMessage(BMessage* message)
{
    std::lock_guard<std::recursive_mutex> guard(fMutex);
    auto found = std::find(fMessages.begin(), fMessages.end(), message);
    if (found != fMessages.end())
        fMessages.erase(found);
}

BMessage* BMessageQueue::NextMessage()
{
    std::lock_guard<std::recursive_mutex> guard(fMutex);
    if (fMessages.empty())
        return NULL;
    BMessage* message = fMessages.front();
    fMessages.pop_front();
    return message;
}

BMessage* BMessageQueue::FindMessage(int32 index) const
{
    std::lock_guard<std::recursive_mutex> guard(fMutex);
    if (index < 0 || index >= (int32)fMessages.size())
        return NULL;
    return fMessages[index];
}

BMessage* BMessageQueue::FindMessage(uint32 what, int32 index) const
{
    std::lock_guard<std::recursive_mutex> guard(fMutex);
    for (BMessage* message : fMessages) {
        if (message->what == what && index-- == 0)
            return message;
    }
    return NULL;
}

int32 BMessageQueue::CountMessages() const
{
    std::lock_guard<std::recursive_mutex> guard(fMutex);
    return (int32)fMessages.size();
}

bool BMessageQueue::IsEmpty() const
{
    return CountMessages() == 0;
}

bool BMessageQueue::Lock()
{
    fMutex.lock();
    return true;
}

void BMessageQueue::Unlock()
{
    fMutex.unlock();
}
