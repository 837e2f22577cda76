#include "app/RemoteLinks.h"

#include "app/AppSocket.h"
#include "app/LooperRegistry.h"

#include <chrono>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace BPrivate
{

namespace
{

// How long looking an application up may take when its listener is too busy
// to take the connection.
constexpr bigtime_t kConnectTimeout = 5000000;

enum class Io { kDone, kTimedOut, kClosed };

bigtime_t Left(bigtime_t deadline)
{
    if (deadline == B_INFINITE_TIMEOUT)
        return B_INFINITE_TIMEOUT;
    bigtime_t left = deadline - system_time();
    return left > 0 ? left : 0;
}

// Waits until the socket is ready for events; false when the time ran out.
bool WaitFor(int socket, short events, bigtime_t deadline)
{
    for (;;) {
        bigtime_t left = Left(deadline);
        if (left == 0)
            return false;
        struct pollfd ready = {socket, events, 0};
        int result = poll(&ready, 1, left == B_INFINITE_TIMEOUT ? -1 : (int)((left + 999) / 1000));
        if (result > 0)
            return true;
        if (result < 0 && errno != EINTR)
            return true; // the next call on the socket tells what is wrong
    }
}

Io WriteAll(int socket, const std::vector<char>& bytes, bigtime_t deadline)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t sent =
            send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += (size_t)sent;
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return Io::kClosed;
        if (!WaitFor(socket, POLLOUT, deadline))
            return Io::kTimedOut;
    }
    return Io::kDone;
}

Io ReadReceipt(int socket, MessageFrame::Receipt* receipt, bigtime_t deadline)
{
    size_t done = 0;
    while (done < sizeof(*receipt)) {
        ssize_t got = recv(socket, (char*)receipt + done, sizeof(*receipt) - done, MSG_DONTWAIT);
        if (got > 0) {
            done += (size_t)got;
            continue;
        }
        if (got == 0)
            return Io::kClosed;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Io::kClosed;
        if (!WaitFor(socket, POLLIN, deadline))
            return Io::kTimedOut;
    }
    return Io::kDone;
}

} // namespace

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
    if (AppSocket::Connect(socketPath, &socket, &peer, kConnectTimeout) != B_OK)
        return B_BAD_VALUE;
    if (peer == (team_id)getpid()) {
        close(socket);
    } else {
        Adopt(peer, socket);
        std::lock_guard<std::mutex> guard(fMutex);
        fAddresses[peer] = socketPath;
    }
    *team = peer;
    return B_OK;
}

status_t RemoteLinks::ConnectToSignature(const char* signature, team_id* team)
{
    std::vector<std::string> folders = AppSocket::SearchFolders();
    if (folders.empty())
        return B_BAD_VALUE;
    for (const std::string& folder : folders) {
        if (ConnectTo(AppSocket::SignaturePath(folder, signature), team) == B_OK)
            return B_OK;
    }
    return B_BAD_VALUE;
}

std::shared_ptr<RemoteLinks::Link> RemoteLinks::LinkTo(team_id team, bigtime_t timeout,
                                                       status_t* status)
{
    {
        std::lock_guard<std::mutex> guard(fMutex);
        auto found = fLinks.find(team);
        if (found != fLinks.end())
            return found->second;
    }
    *status = B_BAD_PORT_ID;
    std::vector<std::string> addresses;
    for (const std::string& folder : AppSocket::SearchFolders())
        addresses.push_back(AppSocket::TeamPath(folder, team));
    {
        // Where the team was found first, should it have no team socket.
        std::lock_guard<std::mutex> guard(fMutex);
        auto found = fAddresses.find(team);
        if (found != fAddresses.end())
            addresses.push_back(found->second);
    }
    for (const std::string& address : addresses) {
        int socket = -1;
        team_id peer = -1;
        status_t connected = AppSocket::Connect(address, &socket, &peer, timeout);
        if (connected == B_TIMED_OUT)
            *status = B_TIMED_OUT;
        if (connected != B_OK)
            continue;
        if (peer != team) {
            close(socket);
            continue;
        }
        return Adopt(team, socket);
    }
    return nullptr;
}

void RemoteLinks::Forget(team_id team, const std::shared_ptr<Link>& link)
{
    // Whoever still holds the link fails at once rather than sending after a
    // message whose fate is unknown.
    shutdown(link->socket, SHUT_RDWR);
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fLinks.find(team);
    if (found != fLinks.end() && found->second == link)
        fLinks.erase(found);
}

bool RemoteLinks::IsStalled(team_id team)
{
    std::lock_guard<std::mutex> guard(fMutex);
    auto found = fStalledUntil.find(team);
    if (found == fStalledUntil.end())
        return false;
    if (system_time() < found->second)
        return true;
    fStalledUntil.erase(found);
    return false;
}

void RemoteLinks::MarkStalled(team_id team)
{
    std::lock_guard<std::mutex> guard(fMutex);
    fStalledUntil[team] = system_time() + kStalledFor;
}

status_t RemoteLinks::Send(team_id team, const std::vector<char>& frame, bigtime_t timeout)
{
    bool fromLooper = LooperRegistry::Default().LooperForThread(find_thread(NULL)) != NULL;
    if (fromLooper) {
        if (IsStalled(team))
            return B_TIMED_OUT;
        if (timeout == B_INFINITE_TIMEOUT || timeout > kLooperSendLimit)
            timeout = kLooperSendLimit;
    }
    // Without time to wait for room the receiver answers at once (the frame
    // says so), but the answer itself takes a moment.
    status_t timedOut = timeout <= 0 ? B_WOULD_BLOCK : B_TIMED_OUT;
    if (timeout <= 0)
        timeout = kLooperSendLimit;
    bigtime_t deadline =
        timeout == B_INFINITE_TIMEOUT ? B_INFINITE_TIMEOUT : system_time() + timeout;

    for (int attempt = 0;; attempt++) {
        status_t status = B_OK;
        std::shared_ptr<Link> link = LinkTo(
            team, deadline == B_INFINITE_TIMEOUT ? kConnectTimeout : Left(deadline), &status);
        if (link == nullptr)
            return status == B_TIMED_OUT ? timedOut : status;

        std::unique_lock<std::timed_mutex> writing(link->writing, std::defer_lock);
        if (deadline == B_INFINITE_TIMEOUT)
            writing.lock();
        else if (!writing.try_lock_for(std::chrono::microseconds(Left(deadline))))
            return timedOut;
        bool reused = link->lastUsed != 0;
        if (reused && system_time() - link->lastUsed > kReuseLimit) {
            Forget(team, link);
            continue;
        }

        MessageFrame::Receipt receipt;
        Io io = WriteAll(link->socket, frame, deadline);
        bool written = io == Io::kDone;
        if (written)
            io = ReadReceipt(link->socket, &receipt, deadline);
        if (io == Io::kDone && receipt.magic == MessageFrame::kReceiptMagic) {
            link->lastUsed = system_time();
            return receipt.status;
        }
        // A frame cut short is dropped by the receiver, which sees the link close.
        Forget(team, link);
        if (io == Io::kDone)
            return B_ERROR;
        if (io == Io::kTimedOut) {
            if (fromLooper)
                MarkStalled(team);
            // The whole frame went out but no receipt came: whether the
            // receiver took it is unknown, even when it was not to wait.
            return written ? B_TIMED_OUT : timedOut;
        }
        // Closed without a receipt: the receiver never took the message. A
        // link that it had closed for being idle is tried once more, anew.
        if (!reused || attempt > 0)
            return B_BAD_PORT_ID;
    }
}

bool RemoteLinks::IsAlive(team_id team)
{
    if (team <= 0 || (kill(team, 0) != 0 && errno != EPERM))
        return false;
    for (const std::string& folder : AppSocket::SearchFolders()) {
        struct stat info;
        if (stat(AppSocket::TeamPath(folder, team).c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
            return true;
    }
    return false;
}

} // namespace BPrivate
