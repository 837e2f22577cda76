#ifndef _LOOPER_H
#define _LOOPER_H

#include <Handler.h>
#include <OS.h>
#include <SupportDefs.h>

#include <memory>
#include <vector>

class BMessage;
class BMessageQueue;

namespace BPrivate
{
class LooperState;
class MessagePort;
} // namespace BPrivate

#define B_LOOPER_PORT_DEFAULT_CAPACITY 200

// A message loop on a thread of its own, started by Run(), with a bounded FIFO
// queue and a recursive lock that the loop holds around each dispatch.
class BLooper : public BHandler
{
public:
    BLooper(const char* name = NULL, int32 priority = B_NORMAL_PRIORITY,
            int32 portCapacity = B_LOOPER_PORT_DEFAULT_CAPACITY);
    virtual ~BLooper();

    // Posting copies the message. A full queue makes the poster wait, except
    // for the looper's own thread and a thread holding its lock, which never wait.
    status_t PostMessage(uint32 command);
    status_t PostMessage(BMessage* message);
    status_t PostMessage(uint32 command, BHandler* handler, BHandler* replyTo = NULL);
    status_t PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo = NULL);

    virtual void DispatchMessage(BMessage* message, BHandler* handler);
    virtual void MessageReceived(BMessage* message);
    BMessage* CurrentMessage() const;
    BMessage* DetachCurrentMessage();
    bool IsMessageWaiting() const;

    void AddHandler(BHandler* handler);
    bool RemoveHandler(BHandler* handler);
    int32 CountHandlers() const;
    BHandler* HandlerAt(int32 index) const;
    int32 IndexOf(BHandler* handler) const;
    BHandler* PreferredHandler() const;
    void SetPreferredHandler(BHandler* handler);

    virtual thread_id Run();
    // From the looper's thread: the loop ends after the current dispatch and the
    // looper is deleted. From another thread holding the lock: waits until the
    // looper's thread has deleted it. A looper that never ran is deleted at once.
    virtual void Quit();
    virtual bool QuitRequested();

    // Lock() first finds the looper among the living ones, so a stale pointer
    // gives false without being used; a quitting looper gives false too.
    bool Lock();
    void Unlock();
    status_t LockWithTimeout(bigtime_t timeout);
    bool IsLocked() const;
    thread_id LockingThread() const;
    int32 CountLocks() const;

    thread_id Thread() const;
    team_id Team() const;
    static BLooper* LooperForThread(thread_id thread);

private:
    friend class BHandler;
    friend class BMessenger;
    friend class BApplication;

    BLooper(const BLooper&) = delete;
    BLooper& operator=(const BLooper&) = delete;

    // For the application object, whose port has a number known to other processes.
    BLooper(const char* name, int32 priority, int32 portCapacity, port_id port);

    // Runs messages until the loop is told to end; returns with the lock held.
    void Loop();
    void DispatchOne(std::unique_ptr<BMessage> message);
    BHandler* ResolveTarget(const BMessage* message);
    static status_t SendReply(BMessage* request, uint32 what);

    std::shared_ptr<BPrivate::LooperState> fState;
    std::shared_ptr<BPrivate::MessagePort> fPort;
    std::vector<BHandler*> fHandlers;
    BHandler* fPreferred = NULL;
    BMessage* fCurrentMessage = NULL;
    int32 fPriority;
    bool fRunCalled = false;
    bool fTerminating = false;
};

#endif
