#ifndef _MESSENGER_H
#define _MESSENGER_H

#include <BeBuild.h>
#include <OS.h>
#include <SupportDefs.h>

class BHandler;
class BLooper;
class BMessage;

// A send address: a handler in a looper of this process, or an application in
// another, reached by its signature.
class BMessenger
{
public:
    BMessenger();
    BMessenger(const char* signature, team_id team = -1, status_t* result = NULL);
    BMessenger(const BHandler* handler, const BLooper* looper = NULL, status_t* result = NULL);
    BMessenger(const BMessenger& other);
    ~BMessenger();

    BMessenger& operator=(const BMessenger& other);
    bool operator==(const BMessenger& other) const;
    bool operator!=(const BMessenger& other) const { return !(*this == other); }
    bool operator<(const BMessenger& other) const;

    bool IsTargetLocal() const;
    BHandler* Target(BLooper** looper) const;
    bool LockTarget() const;
    status_t LockTargetWithTimeout(bigtime_t timeout) const;
    bool IsValid() const;
    team_id Team() const { return fTeam; }

    // To another application: B_OK once it has answered that the message is
    // queued and will be handled; B_BAD_PORT_ID when it is not running or
    // refused the message because it is quitting (not delivered, may be sent
    // again later); B_TIMED_OUT when it gave no answer in time (it may have
    // taken the message or not: do not send it again).
    status_t SendMessage(uint32 command, BHandler* replyTo = NULL) const;
    status_t SendMessage(BMessage* message, BHandler* replyTo = NULL,
                         bigtime_t timeout = B_INFINITE_TIMEOUT) const;
    status_t SendMessage(BMessage* message, BMessenger replyTo,
                         bigtime_t timeout = B_INFINITE_TIMEOUT) const;
    status_t SendMessage(uint32 command, BMessage* reply) const;
    status_t SendMessage(BMessage* message, BMessage* reply,
                         bigtime_t deliveryTimeout = B_INFINITE_TIMEOUT,
                         bigtime_t replyTimeout = B_INFINITE_TIMEOUT) const;

#ifdef B_ZETA_VERSION
    // Zeta: send at a given time (0: now) with a reply address, flags and a timeout.
    status_t SendMessageAtTime(BMessage* message, bigtime_t time, BMessenger replyTo, uint32 flags,
                               bigtime_t timeout) const;
#endif

private:
    friend class BMessage;
    friend class BLooper;
    friend class BApplication;

    status_t Deliver(BMessage* message, const BMessenger& replyTo, bool replyRequired,
                     bigtime_t timeout) const;
    void SetTo(port_id port, int32 token, team_id team, bool preferred);

    // The layout of the platform's flattened messenger (24 bytes): the port and
    // team identify the receiving looper and process; the token the handler
    // (-1 none, -2 the looper's preferred handler).
    port_id fPort;
    int32 fHandlerToken;
    team_id fTeam;
    int32 fReserved[2];
    bool fPreferredTarget;
    char fPadding[3];
};

#endif
