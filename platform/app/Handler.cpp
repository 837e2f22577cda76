#include <Handler.h>

#include <AppDefs.h>
#include <Looper.h>
#include <Message.h>

#include "app/LooperRegistry.h"

using BPrivate::LooperRegistry;

BHandler::BHandler(const char* name)
    : fName(name != NULL ? name : ""), fHasName(name != NULL),
      fToken(LooperRegistry::Default().AddHandler(this))
{
}

BHandler::~BHandler()
{
    // A looper's own handler entry is cleared by the looper's destructor.
    if (fLooper != NULL && LockLooper()) {
        BLooper* looper = fLooper;
        looper->RemoveHandler(this);
        looper->Unlock();
    }
    LooperRegistry::Default().RemoveHandler(fToken);
}

void BHandler::MessageReceived(BMessage* message)
{
    if (message == NULL)
        return;
    if (fNextHandler != NULL) {
        fNextHandler->MessageReceived(message);
        return;
    }
    if (message->what != B_MESSAGE_NOT_UNDERSTOOD)
        BLooper::SendReply(message, B_MESSAGE_NOT_UNDERSTOOD);
}

BLooper* BHandler::Looper() const
{
    return fLooper;
}

void BHandler::SetName(const char* name)
{
    fName = name != NULL ? name : "";
    fHasName = name != NULL;
}

const char* BHandler::Name() const
{
    return fHasName ? fName.c_str() : NULL;
}

void BHandler::SetNextHandler(BHandler* handler)
{
    if (handler == this)
        return;
    fNextHandler = handler;
}

BHandler* BHandler::NextHandler() const
{
    return fNextHandler;
}

bool BHandler::LockLooper()
{
    BLooper* looper = fLooper;
    if (looper == NULL || !looper->Lock())
        return false;
    // The handler may have moved while we waited for the lock.
    if (fLooper != looper) {
        looper->Unlock();
        return false;
    }
    return true;
}

status_t BHandler::LockLooperWithTimeout(bigtime_t timeout)
{
    BLooper* looper = fLooper;
    if (looper == NULL)
        return B_BAD_VALUE;
    status_t status = looper->LockWithTimeout(timeout);
    if (status != B_OK)
        return status;
    if (fLooper != looper) {
        looper->Unlock();
        return B_MISMATCHED_VALUES;
    }
    return B_OK;
}

void BHandler::UnlockLooper()
{
    if (fLooper != NULL)
        fLooper->Unlock();
}

void BHandler::SetLooper(BLooper* looper)
{
    fLooper = looper;
}
