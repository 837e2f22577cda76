#include <Messenger.h>

#include <Application.h>
#include <Handler.h>
#include <Looper.h>
#include <Message.h>

#include "app/LooperRegistry.h"
#include "app/MessageFrame.h"
#include "app/MessagePort.h"
#include "app/RemoteLinks.h"

#include <cstddef>
#include <system_error>
#include <thread>

#include <unistd.h>

using BPrivate::LooperRegistry;
using BPrivate::MessageFrame;
using BPrivate::MessagePort;
using BPrivate::RemoteLinks;

namespace
{

team_id CurrentTeam()
{
    return (team_id)getpid();
}

} // namespace

BMessenger::BMessenger()
    : fPort(-1), fHandlerToken(LooperRegistry::kNoHandlerToken), fTeam(-1), fReserved{0, 0},
      fPreferredTarget(false), fPadding{0, 0, 0}
{
    // Messages carry messengers as these bytes.
    static_assert(sizeof(BMessenger) == 24);
    static_assert(offsetof(BMessenger, fHandlerToken) == 4 && offsetof(BMessenger, fTeam) == 8);
    static_assert(offsetof(BMessenger, fPreferredTarget) == 20);
}

BMessenger::BMessenger(const char* signature, team_id team, status_t* result) : BMessenger()
{
    status_t status = B_BAD_VALUE;
    if (signature != NULL) {
        team_id found = -1;
        if (team == CurrentTeam()) {
            found = team;
            status = be_app != NULL ? B_OK : B_BAD_VALUE;
        } else if (team >= 0) {
            found = team;
            status = RemoteLinks::Default().IsAlive(team) ? B_OK : B_BAD_VALUE;
        } else {
            status = RemoteLinks::Default().ConnectToSignature(signature, &found);
        }
        if (status == B_OK) {
            fPort = LooperRegistry::kApplicationPort;
            fHandlerToken = LooperRegistry::kPreferredToken;
            fTeam = found;
            fPreferredTarget = true;
        }
    }
    if (result != NULL)
        *result = status;
}

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result)
    : BMessenger()
{
    status_t status = B_OK;
    if (handler != NULL) {
        const BLooper* owner = handler->Looper();
        if (owner == NULL || (looper != NULL && looper != owner))
            status = B_MISMATCHED_VALUES;
        looper = owner;
    } else if (looper == NULL) {
        status = B_BAD_VALUE;
    }
    if (status == B_OK) {
        std::shared_ptr<MessagePort> port = LooperRegistry::Default().PortOf(looper);
        if (port == nullptr) {
            status = B_BAD_VALUE;
        } else {
            fPort = port->Id();
            fTeam = CurrentTeam();
            fPreferredTarget = handler == NULL;
            fHandlerToken = handler != NULL ? handler->fToken : LooperRegistry::kPreferredToken;
        }
    }
    if (result != NULL)
        *result = status;
}

BMessenger::BMessenger(const BMessenger& other) = default;

BMessenger::~BMessenger() = default;

BMessenger& BMessenger::operator=(const BMessenger& other) = default;

bool BMessenger::operator==(const BMessenger& other) const
{
    return fPort == other.fPort && fHandlerToken == other.fHandlerToken && fTeam == other.fTeam &&
           fPreferredTarget == other.fPreferredTarget;
}

bool BMessenger::operator<(const BMessenger& other) const
{
    if (fTeam != other.fTeam)
        return fTeam < other.fTeam;
    if (fPort != other.fPort)
        return fPort < other.fPort;
    if (fHandlerToken != other.fHandlerToken)
        return fHandlerToken < other.fHandlerToken;
    return fPreferredTarget < other.fPreferredTarget;
}

bool BMessenger::IsTargetLocal() const
{
    return fTeam == CurrentTeam();
}

BHandler* BMessenger::Target(BLooper** looper) const
{
    BLooper* found = IsTargetLocal() ? LooperRegistry::Default().LooperAt(fPort) : NULL;
    if (looper != NULL)
        *looper = found;
    if (found == NULL || fPreferredTarget || fHandlerToken < 0)
        return NULL;
    return LooperRegistry::Default().HandlerFor(fHandlerToken);
}

bool BMessenger::LockTarget() const
{
    BLooper* looper = NULL;
    Target(&looper);
    return looper != NULL && looper->Lock();
}

status_t BMessenger::LockTargetWithTimeout(bigtime_t timeout) const
{
    BLooper* looper = NULL;
    Target(&looper);
    if (looper == NULL)
        return B_BAD_VALUE;
    return looper->LockWithTimeout(timeout);
}

bool BMessenger::IsValid() const
{
    if (fPort < 0 || fTeam < 0)
        return false;
    if (!IsTargetLocal())
        return RemoteLinks::Default().IsAlive(fTeam);
    if (LooperRegistry::Default().FindPort(fPort) == nullptr)
        return false;
    return fPreferredTarget || fHandlerToken < 0 ||
           LooperRegistry::Default().HandlerFor(fHandlerToken) != NULL;
}

status_t BMessenger::SendMessage(uint32 command, BHandler* replyTo) const
{
    BMessage message(command);
    return SendMessage(&message, replyTo);
}

status_t BMessenger::SendMessage(BMessage* message, BHandler* replyTo, bigtime_t timeout) const
{
    BMessenger replyAddress;
    if (replyTo != NULL)
        replyAddress = BMessenger(replyTo);
    return SendMessage(message, replyAddress, timeout);
}

status_t BMessenger::SendMessage(BMessage* message, BMessenger replyTo, bigtime_t timeout) const
{
    return Deliver(message, replyTo, false, timeout);
}

status_t BMessenger::SendMessage(uint32 command, BMessage* reply) const
{
    BMessage message(command);
    return SendMessage(&message, reply);
}

status_t BMessenger::SendMessage(BMessage* message, BMessage* reply, bigtime_t deliveryTimeout,
                                 bigtime_t replyTimeout) const
{
    if (message == NULL || reply == NULL)
        return B_BAD_VALUE;
    if (IsTargetLocal()) {
        BLooper* looper = LooperRegistry::Default().LooperAt(fPort);
        if (looper != NULL && looper->Thread() == find_thread(NULL))
            return B_MESSAGE_TO_SELF;
    }
    LooperRegistry& registry = LooperRegistry::Default();
    auto replyPort = std::make_shared<MessagePort>(registry.NextPortId(), 4);
    registry.AddReplyPort(replyPort);
    BMessenger replyAddress;
    replyAddress.fPort = replyPort->Id();
    replyAddress.fTeam = CurrentTeam();

    status_t status = Deliver(message, replyAddress, true, deliveryTimeout);
    if (status == B_OK) {
        std::unique_ptr<BMessage> answer = replyPort->Take(replyTimeout);
        if (answer == nullptr) {
            status = B_TIMED_OUT;
        } else {
            *reply = *answer;
            reply->fIsReply = true;
        }
    }
    // A late reply finds the port closed instead of waiting for room in it.
    replyPort->Close();
    registry.RemoveReplyPort(replyPort->Id());
    return status;
}

#ifdef B_ZETA_VERSION
status_t BMessenger::SendMessageAtTime(BMessage* message, bigtime_t time, BMessenger replyTo,
                                       uint32 flags, bigtime_t timeout) const
{
    if (message == NULL)
        return B_BAD_VALUE;
    if (time <= system_time())
        return SendMessage(message, replyTo, timeout);
    if (!IsValid())
        return B_BAD_PORT_ID;
    try {
        std::thread([target = *this, copy = BMessage(*message), replyTo, time, timeout]() mutable {
            snooze(time - system_time());
            target.SendMessage(&copy, replyTo, timeout);
        }).detach();
    } catch (const std::system_error&) {
        return B_NO_MORE_THREADS;
    }
    return B_OK;
}
#endif

status_t BMessenger::Deliver(BMessage* message, const BMessenger& replyTo, bool replyRequired,
                             bigtime_t timeout) const
{
    if (message == NULL)
        return B_BAD_VALUE;
    if (fPort < 0 || fTeam < 0)
        return B_BAD_PORT_ID;
    if (IsTargetLocal()) {
        auto copy = std::make_unique<BMessage>(*message);
        copy->fTarget = fHandlerToken;
        copy->fPreferredTarget = fPreferredTarget;
        copy->fReplyTo = replyTo;
        copy->fReplyRequired = replyRequired;
        copy->fReplyDone = false;
        copy->fIsReply = message->fIsReply;
        copy->fWasDelivered = false;
        copy->fSourceRemote = false;
        return LooperRegistry::Default().Deliver(fPort, std::move(copy), timeout);
    }
    MessageFrame::Header header;
    header.targetPort = fPort;
    header.targetToken = fHandlerToken;
    header.flags = (fPreferredTarget ? MessageFrame::kPreferredTarget : 0) |
                   (replyRequired ? MessageFrame::kReplyRequired : 0) |
                   (message->fIsReply ? MessageFrame::kIsReply : 0) |
                   (timeout <= 0 ? MessageFrame::kDontWait : 0);
    header.replyPort = replyTo.fPort;
    header.replyToken = replyTo.fHandlerToken;
    header.replyTeam = replyTo.fTeam;
    std::vector<char> frame;
    status_t status = MessageFrame::Encode(*message, header, &frame);
    if (status != B_OK)
        return status;
    return RemoteLinks::Default().Send(fTeam, frame, timeout);
}

void BMessenger::SetTo(port_id port, int32 token, team_id team, bool preferred)
{
    fPort = port;
    fHandlerToken = token;
    fTeam = team;
    fPreferredTarget = preferred;
}
