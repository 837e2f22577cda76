#ifndef _BPRIVATE_REMOTE_LINKS_H
#define _BPRIVATE_REMOTE_LINKS_H

#include "app/MessageFrame.h"

#include <OS.h>
#include <SupportDefs.h>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace BPrivate
{

// This process's connections to other applications, one per team, shared by
// every messenger: a message goes out whole, and messages from one thread
// arrive in the order they were sent.
class RemoteLinks
{
public:
    static RemoteLinks& Default();

    // Finds the application that registered the signature (or the given
    // executable socket) and keeps a connection to it; B_BAD_VALUE when none runs.
    status_t ConnectTo(const std::string& socketPath, team_id* team);
    status_t ConnectToSignature(const char* signature, team_id* team);

    // Sends one frame to the team. B_BAD_PORT_ID when the team is gone;
    // B_WOULD_BLOCK / B_TIMED_OUT when the receiver did not take it in time.
    status_t Send(team_id team, const std::vector<char>& frame, bigtime_t timeout);

    bool IsAlive(team_id team);

private:
    struct Link {
        std::timed_mutex writing;
        int socket = -1;
        ~Link();
    };

    std::shared_ptr<Link> LinkTo(team_id team, status_t* status);
    void Forget(team_id team, const std::shared_ptr<Link>& link);
    std::shared_ptr<Link> Adopt(team_id team, int socket);

    std::mutex fMutex;
    std::map<team_id, std::shared_ptr<Link>> fLinks;
};

} // namespace BPrivate

#endif
