#include <Looper.h>

#include <AppDefs.h>
#include <Message.h>
#include <Messenger.h>

#include "app/LooperRegistry.h"
#include "app/LooperState.h"
#include "app/MessagePort.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include <unistd.h>

using BPrivate::LooperRegistry;
using BPrivate::LooperState;
using BPrivate::MessagePort;

BLooper::BLooper(const char* name, int32 priority, int32 portCapacity)
    : BLooper(name, priority, portCapacity, LooperRegistry::Default().NextPortId())
{
}

BLooper::BLooper(const char* name, int32 priority, int32 portCapacity, port_id port)
    : BHandler(name), fState(std::make_shared<LooperState>()),
      fPort(std::make_shared<MessagePort>(port, portCapacity)), fPriority(priority)
{
    // Locked by the constructing thread until Run().
    fState->Acquire(B_INFINITE_TIMEOUT);
    AddHandler(this);
    LooperRegistry::Default().AddLooper(this, fState, fPort);
}

BLooper::~BLooper()
{
    LooperRegistry::Default().RemoveLooper(this);
    fState->MarkDeleted();
    fPort->Close();
    for (BHandler* handler : fHandlers)
        handler->SetLooper(NULL);
    fHandlers.clear();
    delete fCurrentMessage;
}

status_t BLooper::PostMessage(uint32 command)
{
    BMessage message(command);
    return PostMessage(&message);
}

status_t BLooper::PostMessage(BMessage* message)
{
    return PostMessage(message, this, NULL);
}

status_t BLooper::PostMessage(uint32 command, BHandler* handler, BHandler* replyTo)
{
    BMessage message(command);
    return PostMessage(&message, handler, replyTo);
}

status_t BLooper::PostMessage(BMessage* message, BHandler* handler, BHandler* replyTo)
{
    if (message == NULL)
        return B_BAD_VALUE;
    status_t status = B_OK;
    BMessenger target(handler, this, &status);
    if (status != B_OK)
        return status;
    return target.SendMessage(message, replyTo);
}

void BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (message == NULL)
        return;
    switch (message->what) {
    case _QUIT_:
        // Quit() is not called: another thread may lock us in between.
        fTerminating = true;
        fState->MarkQuitting();
        return;
    case B_QUIT_REQUESTED:
        if (handler == this) {
            if (QuitRequested())
                Quit();
            return;
        }
        break;
    default:
        break;
    }
    if (handler != NULL)
        handler->MessageReceived(message);
}

void BLooper::MessageReceived(BMessage* message)
{
    BHandler::MessageReceived(message);
}

BMessage* BLooper::CurrentMessage() const
{
    return fCurrentMessage;
}

BMessage* BLooper::DetachCurrentMessage()
{
    BMessage* message = fCurrentMessage;
    fCurrentMessage = NULL;
    return message;
}

bool BLooper::IsMessageWaiting() const
{
    return fPort->Count() > 0;
}

void BLooper::AddHandler(BHandler* handler)
{
    if (handler == NULL || handler->fLooper != NULL)
        return;
    fHandlers.push_back(handler);
    handler->SetLooper(this);
}

bool BLooper::RemoveHandler(BHandler* handler)
{
    if (handler == NULL || handler == this)
        return false;
    auto found = std::find(fHandlers.begin(), fHandlers.end(), handler);
    if (found == fHandlers.end())
        return false;
    fHandlers.erase(found);
    handler->SetLooper(NULL);
    handler->SetNextHandler(NULL);
    if (fPreferred == handler)
        fPreferred = NULL;
    return true;
}

int32 BLooper::CountHandlers() const
{
    return (int32)fHandlers.size();
}

BHandler* BLooper::HandlerAt(int32 index) const
{
    if (index < 0 || index >= CountHandlers())
        return NULL;
    return fHandlers[index];
}

int32 BLooper::IndexOf(BHandler* handler) const
{
    auto found = std::find(fHandlers.begin(), fHandlers.end(), handler);
    return found == fHandlers.end() ? -1 : (int32)(found - fHandlers.begin());
}

BHandler* BLooper::PreferredHandler() const
{
    return fPreferred;
}

void BLooper::SetPreferredHandler(BHandler* handler)
{
    fPreferred = (handler != NULL && IndexOf(handler) >= 0) ? handler : NULL;
}

thread_id BLooper::Run()
{
    if (fRunCalled)
        return B_ERROR;
    fRunCalled = true;
    std::shared_ptr<LooperState> state = fState;
    try {
        std::thread([this, state] {
            state->SetLoopThread(find_thread(NULL));
            Loop();
            delete this;
            state->MarkFinished();
        }).detach();
    } catch (const std::system_error&) {
        fRunCalled = false;
        return B_NO_MORE_THREADS;
    }
    state->WaitForLoopThread();
    thread_id thread = state->LoopThread();
    // The constructor's lock: the loop can start now.
    state->Release();
    return thread;
}

void BLooper::Loop()
{
    for (;;) {
        std::unique_ptr<BMessage> message = fPort->Take();
        fState->Acquire(B_INFINITE_TIMEOUT, true);
        if (message == nullptr)
            return;
        DispatchOne(std::move(message));
        if (fTerminating)
            return;
        fState->Release();
    }
}

void BLooper::DispatchOne(std::unique_ptr<BMessage> message)
{
    message->fWasDelivered = true;
    bool quitRequest = message->what == B_QUIT_REQUESTED;
    BHandler* handler = ResolveTarget(message.get());
    fCurrentMessage = message.release();
    if (handler != NULL)
        DispatchMessage(fCurrentMessage, handler);
    if (quitRequest && !fTerminating)
        fPort->QuitRequestHandled();
    if (fCurrentMessage == NULL)
        return;
    if (fCurrentMessage->fReplyRequired && !fCurrentMessage->fReplyDone)
        SendReply(fCurrentMessage, B_NO_REPLY);
    delete fCurrentMessage;
    fCurrentMessage = NULL;
}

BHandler* BLooper::ResolveTarget(const BMessage* message)
{
    if (message->fPreferredTarget || message->fTarget == LooperRegistry::kPreferredToken)
        return fPreferred != NULL ? fPreferred : this;
    if (message->fTarget == LooperRegistry::kNoHandlerToken)
        return this;
    // A handler that left this looper, or was deleted, gets nothing.
    for (BHandler* handler : fHandlers) {
        if (handler->fToken == message->fTarget)
            return handler;
    }
    return NULL;
}

void BLooper::Quit()
{
    std::shared_ptr<LooperState> state = fState;
    thread_id self = find_thread(NULL);
    if (!fRunCalled) {
        delete this;
        return;
    }
    if (self == state->LoopThread()) {
        // The loop deletes the looper once the current dispatch returns.
        fTerminating = true;
        state->MarkQuitting();
        return;
    }
    if (state->Owner() != self && !Lock())
        return;
    state->MarkQuitting();
    fPort->Post(std::make_unique<BMessage>((uint32)_QUIT_), B_INFINITE_TIMEOUT, true);
    state->ReleaseAll();
    state->WaitUntilFinished();
}

bool BLooper::QuitRequested()
{
    return true;
}

bool BLooper::Lock()
{
    std::shared_ptr<LooperState> state = LooperRegistry::Default().StateOf(this);
    return state != nullptr && state->Acquire(B_INFINITE_TIMEOUT) == B_OK;
}

void BLooper::Unlock()
{
    fState->Release();
}

status_t BLooper::LockWithTimeout(bigtime_t timeout)
{
    std::shared_ptr<LooperState> state = LooperRegistry::Default().StateOf(this);
    if (state == nullptr)
        return B_BAD_VALUE;
    return state->Acquire(timeout);
}

bool BLooper::IsLocked() const
{
    std::shared_ptr<LooperState> state = LooperRegistry::Default().StateOf(this);
    return state != nullptr && state->Owner() == find_thread(NULL);
}

thread_id BLooper::LockingThread() const
{
    return fState->Owner();
}

int32 BLooper::CountLocks() const
{
    return fState->Count();
}

thread_id BLooper::Thread() const
{
    return fState->LoopThread();
}

team_id BLooper::Team() const
{
    return (team_id)getpid();
}

BLooper* BLooper::LooperForThread(thread_id thread)
{
    return LooperRegistry::Default().LooperForThread(thread);
}

status_t BLooper::SendReply(BMessage* request, uint32 what)
{
    if (request == NULL || request->fReplyDone || request->fIsReply)
        return B_BAD_VALUE;
    if (!request->fReplyRequired && !request->fReplyTo.IsValid())
        return B_BAD_VALUE;
    request->fReplyDone = true;
    BMessage reply(what);
    reply.fIsReply = true;
    return request->fReplyTo.SendMessage(&reply);
}
