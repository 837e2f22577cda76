#include "app/LooperRegistry.h"

#include "app/LooperState.h"
#include "app/MessagePort.h"

#include <AppDefs.h>
#include <Message.h>

namespace BPrivate
{

LooperRegistry& LooperRegistry::Default()
{
    // Never destroyed: looper threads may still run while the process exits.
    static LooperRegistry* registry = new LooperRegistry;
    return *registry;
}

port_id LooperRegistry::NextPortId()
{
    std::lock_guard<std::mutex> guard(fMutex);
    return fNextPort++;
}

void LooperRegistry::AddLooper(BLooper* looper, std::shared_ptr<LooperState> state,
                               std::shared_ptr<MessagePort> port)
{
    std::lock_guard<std::mutex> guard(fMutex);
    port_id id = port->Id();
    fPorts[id] = LooperEntry{looper, std::move(state), std::move(port)};
    fLoopers[looper] = id;
}

void LooperRegistry::RemoveLooper(BLooper* looper)
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fLoopers.find(looper);
    if (found == fLoopers.end())
        return;
    fPorts.erase(found->second);
    fLoopers.erase(found);
}

port_id LooperRegistry::ClaimApplicationPort()
{
    std::lock_guard<std::mutex> guard(fMutex);
    if (fApplicationPortClaimed)
        return fNextPort++;
    fApplicationPortClaimed = true;
    return kApplicationPort;
}

void LooperRegistry::ReleaseApplicationPort(port_id port)
{
    std::lock_guard<std::mutex> guard(fMutex);
    if (port == kApplicationPort)
        fApplicationPortClaimed = false;
}

void LooperRegistry::AddReplyPort(std::shared_ptr<MessagePort> port)
{
    std::lock_guard<std::mutex> guard(fMutex);
    port_id id = port->Id();
    fPorts[id] = LooperEntry{nullptr, nullptr, std::move(port)};
}

void LooperRegistry::RemoveReplyPort(port_id id)
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fPorts.find(id);
    if (found != fPorts.end() && found->second.looper == nullptr)
        fPorts.erase(found);
}

std::shared_ptr<LooperState> LooperRegistry::StateOf(const BLooper* looper) const
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fLoopers.find(looper);
    if (found == fLoopers.end())
        return nullptr;
    return fPorts.at(found->second).state;
}

std::shared_ptr<MessagePort> LooperRegistry::PortOf(const BLooper* looper) const
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fLoopers.find(looper);
    if (found == fLoopers.end())
        return nullptr;
    return fPorts.at(found->second).port;
}

std::shared_ptr<MessagePort> LooperRegistry::FindPort(port_id id) const
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fPorts.find(id);
    return found == fPorts.end() ? nullptr : found->second.port;
}

BLooper* LooperRegistry::LooperAt(port_id id) const
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fPorts.find(id);
    return found == fPorts.end() ? nullptr : found->second.looper;
}

BLooper* LooperRegistry::LooperForThread(thread_id thread) const
{
    std::lock_guard<std::mutex> guard(fMutex);
    for (const auto& [id, entry] : fPorts) {
        if (entry.state != nullptr && entry.state->LoopThread() == thread)
            return entry.looper;
    }
    return nullptr;
}

status_t LooperRegistry::Deliver(port_id id, std::unique_ptr<BMessage>&& message, bigtime_t timeout,
                                 const std::shared_ptr<EventSignal>& roomSignal, size_t bytes)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::shared_ptr<MessagePort> port;
    std::shared_ptr<LooperState> state;
    {
        std::lock_guard<std::mutex> guard(fMutex);
        auto found = fPorts.find(id);
        if (found == fPorts.end())
            return B_BAD_PORT_ID;
        port = found->second.port;
        state = found->second.state;
    }
    thread_id self = find_thread(NULL);
    bool looperWouldWaitForUs =
        state != nullptr && (state->LoopThread() == self || state->Owner() == self);
    bool isQuit = message->what == B_QUIT_REQUESTED || message->what == _QUIT_;
    return port->Post(std::move(message), timeout, looperWouldWaitForUs || isQuit, roomSignal,
                      bytes);
}

int32 LooperRegistry::AddHandler(BHandler* handler)
{
    std::lock_guard<std::mutex> guard(fMutex);
    int32 token = fNextToken++;
    fHandlers[token] = handler;
    return token;
}

void LooperRegistry::RemoveHandler(int32 token)
{
    std::lock_guard<std::mutex> guard(fMutex);
    fHandlers.erase(token);
}

BHandler* LooperRegistry::HandlerFor(int32 token) const
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fHandlers.find(token);
    return found == fHandlers.end() ? nullptr : found->second;
}

} // namespace BPrivate
