#include "app/AppServices.h"

#include "app/AppSocket.h"
#include "app/EventSignal.h"
#include "support/HostErrors.h"

#include <Message.h>

#include <atomic>
#include <system_error>

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace BPrivate
{

namespace
{

// The write end of the running application's wake pipe, for the signal handler.
std::atomic<int> sSignalPipe{-1};
constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction sPrevious[3];

constexpr char kQuitByte = 'q';
constexpr char kStopByte = 'x';

// Messages read from one connection before the others get their turn.
constexpr int kBurst = 32;
// When no descriptor is left for a new connection and none is idle.
constexpr bigtime_t kAcceptPause = 100000;

void OnQuitSignal(int)
{
    int saved = errno;
    int pipe = sSignalPipe.load();
    if (pipe >= 0) {
        ssize_t ignored = write(pipe, &kQuitByte, 1);
        (void)ignored;
    }
    errno = saved;
}

bool SendReceipt(int socket, status_t status)
{
    MessageFrame::Receipt receipt;
    receipt.status = status;
    ssize_t sent;
    do {
        sent = send(socket, &receipt, sizeof(receipt), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
    return sent == (ssize_t)sizeof(receipt);
}

} // namespace

AppServices::AppServices() = default;

AppServices::~AppServices()
{
    if (fWakePipe[1] >= 0) {
        ssize_t ignored = write(fWakePipe[1], &kStopByte, 1);
        (void)ignored;
    }
    if (fServer.joinable())
        fServer.join();
    for (auto& [socket, connection] : fConnections)
        close(socket);
    fConnections.clear();
    RestoreSignalHandlers();
    for (auto& [path, socket] : fListeners) {
        close(socket);
        unlink(path.c_str());
    }
    for (int end : fWakePipe) {
        if (end >= 0)
            close(end);
    }
    if (fPoll >= 0)
        close(fPoll);
    UnlockFolder();
}

status_t AppServices::LockFolder()
{
    status_t status = AppSocket::Folder(&fFolder, &fFallback);
    if (status != B_OK)
        return status;
    if (fFolderLock < 0) {
        fFolderLock = open((fFolder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fFolderLock < 0)
            return last_error_status();
    }
    while (flock(fFolderLock, LOCK_EX) != 0) {
        if (errno != EINTR)
            return last_error_status();
    }
    return B_OK;
}

void AppServices::UnlockFolder()
{
    if (fFolderLock < 0)
        return;
    flock(fFolderLock, LOCK_UN);
    close(fFolderLock);
    fFolderLock = -1;
}

status_t AppServices::ListenOn(const std::string& path)
{
    int socket;
    status_t status = AppSocket::Listen(path, &socket);
    if (status != B_OK)
        return status;
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
    fListeners.emplace_back(path, socket);
    return B_OK;
}

bool AppServices::IsListening(const std::string& path) const
{
    for (const auto& listener : fListeners) {
        if (listener.first == path)
            return true;
    }
    return false;
}

bool AppServices::Watch(int fd, uint32 events, int operation)
{
    struct epoll_event event = {};
    event.events = events;
    event.data.fd = fd;
    return epoll_ctl(fPoll, operation, fd, &event) == 0;
}

status_t AppServices::Start(Deliverer deliver, std::function<void()> quitRequest)
{
    fDeliver = std::move(deliver);
    fQuitRequest = std::move(quitRequest);
    if (pipe2(fWakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return last_error_status();
    fRoomSignal = std::make_shared<EventSignal>();
    fPoll = epoll_create1(EPOLL_CLOEXEC);
    if (fPoll < 0 || !fRoomSignal->IsValid())
        return last_error_status();
    Watch(fWakePipe[0], EPOLLIN, EPOLL_CTL_ADD);
    Watch(fRoomSignal->Fd(), EPOLLIN, EPOLL_CTL_ADD);
    for (const auto& listener : fListeners)
        Watch(listener.second, EPOLLIN, EPOLL_CTL_ADD);
    InstallSignalHandlers();
    try {
        fServer = std::thread([this] { Serve(); });
    } catch (const std::system_error&) {
        return B_NO_MORE_THREADS;
    }
    return B_OK;
}

void AppServices::InstallSignalHandlers()
{
    // Writes to a closed pipe or socket fail with EPIPE instead of ending the
    // process; this stays so after the application is gone.
    signal(SIGPIPE, SIG_IGN);
    int expected = -1;
    if (!sSignalPipe.compare_exchange_strong(expected, fWakePipe[1]))
        return;
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < 3; i++)
        sigaction(kQuitSignals[i], &action, &sPrevious[i]);
    fSignalsInstalled = true;
}

void AppServices::RestoreSignalHandlers()
{
    if (!fSignalsInstalled)
        return;
    for (size_t i = 0; i < 3; i++)
        sigaction(kQuitSignals[i], &sPrevious[i], NULL);
    sSignalPipe = -1;
    fSignalsInstalled = false;
}

void AppServices::Serve()
{
    constexpr int kEvents = 64;
    struct epoll_event events[kEvents];
    for (;;) {
        bigtime_t now = system_time();
        if (fListenersPausedUntil != 0 && now >= fListenersPausedUntil) {
            fListenersPausedUntil = 0;
            for (const auto& listener : fListeners)
                Watch(listener.second, EPOLLIN, EPOLL_CTL_ADD);
        }
        bigtime_t next = B_INFINITE_TIMEOUT;
        if (!fDeadlines.empty())
            next = fDeadlines.begin()->first;
        if (fListenersPausedUntil != 0 && fListenersPausedUntil < next)
            next = fListenersPausedUntil;
        int wait = next == B_INFINITE_TIMEOUT
                       ? -1
                       : (int)((std::max<bigtime_t>(next - now, 0) + 999) / 1000);
        int count = epoll_wait(fPoll, events, kEvents, wait);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            fprintf(stderr, "BApplication: cannot wait for connections: %s\n", strerror(errno));
            return;
        }
        for (int i = 0; i < count; i++) {
            int fd = events[i].data.fd;
            if (fd == fWakePipe[0]) {
                char bytes[16];
                ssize_t got;
                while ((got = read(fWakePipe[0], bytes, sizeof(bytes))) > 0) {
                    for (ssize_t j = 0; j < got; j++) {
                        if (bytes[j] == kStopByte)
                            return;
                        if (bytes[j] == kQuitByte && fQuitRequest)
                            fQuitRequest();
                    }
                }
                continue;
            }
            if (fd == fRoomSignal->Fd()) {
                RetryParked();
                continue;
            }
            bool isListener = false;
            for (const auto& listener : fListeners)
                isListener = isListener || listener.second == fd;
            if (isListener) {
                AcceptAll(fd);
                continue;
            }
            auto found = fConnections.find(fd);
            if (found == fConnections.end())
                continue;
            Connection& connection = *found->second;
            if (connection.parked != nullptr) {
                // The sender gave up waiting: its message is not delivered.
                if (events[i].events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR))
                    Drop(fd);
                continue;
            }
            Read(connection);
        }
        ExpireDeadlines();
    }
}

void AppServices::AcceptAll(int listener)
{
    for (;;) {
        int socket = accept4(listener, NULL, NULL, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket >= 0) {
            Accept(socket);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if ((errno == EMFILE || errno == ENFILE) && EvictIdlest())
            continue;
        if (errno == EMFILE || errno == ENFILE) {
            fprintf(stderr, "BApplication: no descriptor left for new connections\n");
            for (const auto& entry : fListeners)
                Watch(entry.second, 0, EPOLL_CTL_DEL);
            fListenersPausedUntil = system_time() + kAcceptPause;
        }
        return;
    }
}

// Makes room for a new connection by closing the one that has been idle longest.
bool AppServices::EvictIdlest()
{
    for (auto& [when, socket] : fDeadlines) {
        auto found = fConnections.find(socket);
        if (found != fConnections.end() && !found->second->reader.InFrame()) {
            Drop(socket);
            return true;
        }
    }
    return false;
}

void AppServices::Accept(int socket)
{
    uid_t user;
    team_id peer;
    if (AppSocket::PeerIds(socket, &user, &peer) != B_OK || user != getuid()) {
        fprintf(stderr, "BApplication: refused a connection from another user\n");
        close(socket);
        return;
    }
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->peer = peer;
    if (!Watch(socket, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_ADD)) {
        close(socket);
        return;
    }
    Connection& added = *connection;
    fConnections[socket] = std::move(connection);
    SetDeadline(added, system_time() + kIdleTimeout);
}

void AppServices::Read(Connection& connection)
{
    int socket = connection.socket;
    for (int i = 0; i < kBurst; i++) {
        MessageFrame::Header header;
        std::unique_ptr<BMessage> message;
        std::string reason;
        bool inFrame = connection.reader.InFrame();
        switch (connection.reader.Read(socket, &header, &message, &reason)) {
        case MessageFrame::ReadResult::kMessage:
            if (!Deliver(connection, header, message) || connection.parked != nullptr)
                return;
            SetDeadline(connection, system_time() + kIdleTimeout);
            break;
        case MessageFrame::ReadResult::kPending:
            // The time for a message counts from its first byte.
            if (!inFrame && connection.reader.InFrame())
                SetDeadline(connection, system_time() + kMessageTimeout);
            return;
        case MessageFrame::ReadResult::kMalformed:
            fprintf(stderr,
                    "BApplication: dropped a malformed message from process %ld (%s); "
                    "connection closed\n",
                    (long)connection.peer, reason.c_str());
            Drop(socket);
            return;
        case MessageFrame::ReadResult::kEnd:
        case MessageFrame::ReadResult::kFailed:
            Drop(socket);
            return;
        }
    }
}

bool AppServices::Deliver(Connection& connection, const MessageFrame::Header& header,
                          std::unique_ptr<BMessage>& message)
{
    bool mayWait = (header.flags & MessageFrame::kDontWait) == 0;
    status_t status = fDeliver(header, message, mayWait ? fRoomSignal : nullptr);
    if (status == B_WOULD_BLOCK && mayWait) {
        connection.parked = std::move(message);
        connection.parkedHeader = header;
        ClearDeadline(connection);
        Watch(connection.socket, EPOLLRDHUP, EPOLL_CTL_MOD);
        fParked.push_back(connection.socket);
        return true;
    }
    if (!SendReceipt(connection.socket, status)) {
        fprintf(stderr, "BApplication: dropped the connection from process %ld: it does not read\n",
                (long)connection.peer);
        Drop(connection.socket);
        return false;
    }
    return true;
}

void AppServices::RetryParked()
{
    fRoomSignal->Clear();
    for (size_t left = fParked.size(); left > 0; left--) {
        int socket = fParked.front();
        fParked.pop_front();
        auto found = fConnections.find(socket);
        if (found == fConnections.end() || found->second->parked == nullptr)
            continue;
        Connection& connection = *found->second;
        status_t status = fDeliver(connection.parkedHeader, connection.parked, fRoomSignal);
        if (status == B_WOULD_BLOCK) {
            fParked.push_back(socket);
            continue;
        }
        connection.parked.reset();
        if (!SendReceipt(socket, status)) {
            Drop(socket);
            continue;
        }
        Watch(socket, EPOLLIN | EPOLLRDHUP, EPOLL_CTL_MOD);
        SetDeadline(connection, system_time() + kIdleTimeout);
    }
}

void AppServices::SetDeadline(Connection& connection, bigtime_t when)
{
    ClearDeadline(connection);
    connection.deadline = fDeadlines.emplace(when, connection.socket);
    connection.hasDeadline = true;
}

void AppServices::ClearDeadline(Connection& connection)
{
    if (!connection.hasDeadline)
        return;
    fDeadlines.erase(connection.deadline);
    connection.hasDeadline = false;
}

void AppServices::ExpireDeadlines()
{
    bigtime_t now = system_time();
    while (!fDeadlines.empty() && fDeadlines.begin()->first <= now) {
        int socket = fDeadlines.begin()->second;
        auto found = fConnections.find(socket);
        if (found == fConnections.end()) {
            fDeadlines.erase(fDeadlines.begin());
            continue;
        }
        if (found->second->reader.InFrame()) {
            fprintf(stderr,
                    "BApplication: dropped the connection from process %ld: a message took "
                    "longer than %ld s\n",
                    (long)found->second->peer, (long)(kMessageTimeout / 1000000));
        }
        Drop(socket);
    }
}

void AppServices::Drop(int socket)
{
    auto found = fConnections.find(socket);
    if (found == fConnections.end())
        return;
    ClearDeadline(*found->second);
    fConnections.erase(found);
    close(socket);
}

} // namespace BPrivate
