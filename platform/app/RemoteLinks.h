#ifndef _APP_REMOTE_LINKS_H
#define _APP_REMOTE_LINKS_H

#include "app/MessageFrame.h"

#include <OS.h>
#include <SupportDefs.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace BPrivate
{

// This process's connections to other applications, one per team, shared by
// every messenger: a message goes out whole, and messages from one thread
// arrive in the order they were sent. A send succeeds only when the receiver's
// receipt says the message is in the target's queue.
class RemoteLinks
{
public:
    // A looper's thread never waits longer than this for a receiver, so that
    // a peer that does not read cannot stop a loop; such a peer is dropped
    // and, for a while, not waited for again by loopers.
    static constexpr bigtime_t kLooperSendLimit = 500000;
    static constexpr bigtime_t kStalledFor = 10000000;
    // A link unused this long is replaced before use: the receiver closes
    // connections that stay idle (AppServices::kIdleTimeout).
    static constexpr bigtime_t kReuseLimit = 4000000;

    static RemoteLinks& Default();

    // Finds the application that registered the signature (or the given
    // executable socket) and keeps a connection to it; B_BAD_VALUE when none runs.
    status_t ConnectTo(const std::string& socketPath, team_id* team);
    status_t ConnectToSignature(const char* signature, team_id* team);

    // Sends one frame to the team and waits for its receipt: the receipt's
    // status (B_OK: queued, to be handled; B_BAD_PORT_ID: refused while
    // quitting). B_BAD_PORT_ID when the team is gone; B_TIMED_OUT when no
    // receipt came in time, so that whether it was taken is unknown;
    // B_WOULD_BLOCK when, without time to wait, it was not taken.
    status_t Send(team_id team, const std::vector<char>& frame, bigtime_t timeout);

    bool IsAlive(team_id team);

private:
    struct Link {
        std::timed_mutex writing;
        int socket = -1;
        bigtime_t lastUsed = 0;
        ~Link();
    };

    std::shared_ptr<Link> LinkTo(team_id team, bigtime_t timeout, status_t* status);
    void Forget(team_id team, const std::shared_ptr<Link>& link);
    std::shared_ptr<Link> Adopt(team_id team, int socket);
    bool IsStalled(team_id team);
    void MarkStalled(team_id team);

    std::mutex fMutex;
    std::map<team_id, std::shared_ptr<Link>> fLinks;
    std::map<team_id, bigtime_t> fStalledUntil;
    std::map<team_id, std::string> fAddresses;
};

} // namespace BPrivate

#endif
