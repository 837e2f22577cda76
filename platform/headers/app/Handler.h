#ifndef _HANDLER_H
#define _HANDLER_H

#include <OS.h>
#include <SupportDefs.h>

#include <string>

class BLooper;
class BMessage;

// A message receiver that belongs to at most one looper. Each handler has a
// process-wide token, so that a messenger to a deleted handler is detectably invalid.
class BHandler
{
public:
    BHandler(const char* name = NULL);
    virtual ~BHandler();

    // Passes the message to the next handler; at the end of the chain a message
    // whose sender wants a reply is answered with B_MESSAGE_NOT_UNDERSTOOD.
    virtual void MessageReceived(BMessage* message);

    BLooper* Looper() const;
    void SetName(const char* name);
    const char* Name() const;
    virtual void SetNextHandler(BHandler* handler);
    BHandler* NextHandler() const;

    bool LockLooper();
    status_t LockLooperWithTimeout(bigtime_t timeout);
    void UnlockLooper();

private:
    friend class BApplication;
    friend class BLooper;
    friend class BMessenger;

    BHandler(const BHandler&) = delete;
    BHandler& operator=(const BHandler&) = delete;

    void SetLooper(BLooper* looper);

    std::string fName;
    bool fHasName;
    BLooper* fLooper = NULL;
    BHandler* fNextHandler = NULL;
    int32 fToken;
};

#endif
