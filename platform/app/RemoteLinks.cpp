#include "app/RemoteLinks.h"

#include "app/AppSocket.h"

#include <chrono>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BPrivate
{

RemoteLinks::Link::~Link()
{
    if (socket >= 0)
        close(socket);
}

RemoteLinks& RemoteLinks::Default()
{
    // Never destroyed: messengers may send while the process exits.
    static RemoteLinks* links = new RemoteLinks;
    return *links;
}

std::shared_ptr<RemoteLinks::Link> RemoteLinks::Adopt(team_id team, int socket)
{
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fLinks.find(team);
    if (found != fLinks.end()) {
        // Keep the link in use, so that messages to the team stay in order.
        close(socket);
        return found->second;
    }
    auto link = std::make_shared<Link>();
    link->socket = socket;
    fLinks[team] = link;
    return link;
}

status_t RemoteLinks::ConnectTo(const std::string& socketPath, team_id* team)
{
    int socket;
    team_id peer;
    if (AppSocket::Connect(socketPath, &socket, &peer) != B_OK)
        return B_BAD_VALUE;
    if (peer == (team_id)getpid()) {
        close(socket);
    } else {
        Adopt(peer, socket);
    }
    *team = peer;
    return B_OK;
}

status_t RemoteLinks::ConnectToSignature(const char* signature, team_id* team)
{
    std::string folder;
    status_t status = AppSocket::Folder(&folder);
    if (status != B_OK)
        return status;
    return ConnectTo(AppSocket::SignaturePath(folder, signature), team);
}

std::shared_ptr<RemoteLinks::Link> RemoteLinks::LinkTo(team_id team, status_t* status)
{
    {
        std::lock_guard<std::mutex> guard(fMutex);
        auto found = fLinks.find(team);
        if (found != fLinks.end())
            return found->second;
    }
    std::string folder;
    *status = AppSocket::Folder(&folder);
    if (*status != B_OK)
        return nullptr;
    int socket = -1;
    team_id peer = -1;
    if (AppSocket::Connect(AppSocket::TeamPath(folder, team), &socket, &peer) != B_OK) {
        *status = B_BAD_PORT_ID;
        return nullptr;
    }
    if (peer != team) {
        close(socket);
        *status = B_BAD_PORT_ID;
        return nullptr;
    }
    return Adopt(team, socket);
}

void RemoteLinks::Forget(team_id team, const std::shared_ptr<Link>& link)
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fLinks.find(team);
    if (found != fLinks.end() && found->second == link)
        fLinks.erase(found);
}

status_t RemoteLinks::Send(team_id team, const std::vector<char>& frame, bigtime_t timeout)
{
    bigtime_t start = system_time();
    status_t status = B_OK;
    std::shared_ptr<Link> link = LinkTo(team, &status);
    if (link == nullptr)
        return status;

    std::unique_lock<std::timed_mutex> writing(link->writing, std::defer_lock);
    if (timeout == B_INFINITE_TIMEOUT) {
        writing.lock();
    } else if (!writing.try_lock_for(std::chrono::microseconds(timeout < 0 ? 0 : timeout))) {
        return timeout <= 0 ? B_WOULD_BLOCK : B_TIMED_OUT;
    }
    bigtime_t left = timeout;
    if (timeout > 0 && timeout != B_INFINITE_TIMEOUT) {
        left = timeout - (system_time() - start);
        if (left <= 0)
            left = 1;
    }
    bool broken = false;
    status = MessageFrame::Write(link->socket, frame, left, &broken);
    if (broken)
        Forget(team, link);
    return status;
}

bool RemoteLinks::IsAlive(team_id team)
{
    if (team <= 0 || (kill(team, 0) != 0 && errno != EPERM))
        return false;
    std::string folder;
    if (AppSocket::Folder(&folder) != B_OK)
        return false;
    struct stat info;
    return stat(AppSocket::TeamPath(folder, team).c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

} // namespace BPrivate
