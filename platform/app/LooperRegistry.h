#ifndef _APP_LOOPER_REGISTRY_H
#define _APP_LOOPER_REGISTRY_H

#include <OS.h>
#include <SupportDefs.h>

#include <map>
#include <memory>
#include <mutex>

class BHandler;
class BLooper;
class BMessage;

namespace BPrivate
{

class EventSignal;
class LooperState;
class MessagePort;

// The process-wide lists the platform keeps: living loopers with their ports,
// reply ports, and the handler tokens. Pointers are only compared here, never
// followed, so a stale pointer is safe to look up.
class LooperRegistry
{
public:
    // The application's looper has this port, so that a remote messenger to
    // an application by signature knows its port without asking.
    static constexpr port_id kApplicationPort = 1;
    static constexpr int32 kNoHandlerToken = -1;
    static constexpr int32 kPreferredToken = -2;

    static LooperRegistry& Default();

    port_id NextPortId();
    void AddLooper(BLooper* looper, std::shared_ptr<LooperState> state,
                   std::shared_ptr<MessagePort> port);
    void RemoveLooper(BLooper* looper);
    // The application's port number for the first application object, a
    // fresh one for any other.
    port_id ClaimApplicationPort();
    void ReleaseApplicationPort(port_id port);
    void AddReplyPort(std::shared_ptr<MessagePort> port);
    void RemoveReplyPort(port_id id);

    std::shared_ptr<LooperState> StateOf(const BLooper* looper) const;
    std::shared_ptr<MessagePort> PortOf(const BLooper* looper) const;
    std::shared_ptr<MessagePort> FindPort(port_id id) const;
    BLooper* LooperAt(port_id id) const;
    BLooper* LooperForThread(thread_id thread) const;

    // Queues a message on a port of this process. A poster that the looper
    // would wait for (its own thread, or the thread holding its lock) never
    // waits, and neither does a quit request, which must get through even
    // while the thread that holds a window's lock asks the application to quit
    // and the application's thread waits for that lock. B_BAD_PORT_ID when
    // there is no such port. The message is taken only on success. roomSignal
    // and bytes as for MessagePort::Post.
    status_t Deliver(port_id port, std::unique_ptr<BMessage>&& message, bigtime_t timeout,
                     const std::shared_ptr<EventSignal>& roomSignal = nullptr, size_t bytes = 0);

    int32 AddHandler(BHandler* handler);
    void RemoveHandler(int32 token);
    BHandler* HandlerFor(int32 token) const;

private:
    struct LooperEntry {
        BLooper* looper;
        std::shared_ptr<LooperState> state;
        std::shared_ptr<MessagePort> port;
    };

    mutable std::mutex fMutex;
    port_id fNextPort = kApplicationPort + 1;
    int32 fNextToken = 1;
    bool fApplicationPortClaimed = false;
    std::map<port_id, LooperEntry> fPorts;
    std::map<const BLooper*, port_id> fLoopers;
    std::map<int32, BHandler*> fHandlers;
};

} // namespace BPrivate

#endif
