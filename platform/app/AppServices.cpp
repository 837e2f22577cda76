#include "app/AppServices.h"

#include "app/AppSocket.h"
#include "support/HostErrors.h"

#include <atomic>
#include <system_error>
#include <vector>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace BPrivate
{

namespace
{

// The write end of the running application's wake pipe, for the signal handler.
std::atomic<int> sSignalPipe{-1};
struct sigaction sPreviousInterrupt;
struct sigaction sPreviousTerminate;

constexpr char kQuitByte = 'q';
constexpr char kStopByte = 'x';

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

} // namespace

AppServices::AppServices() = default;

AppServices::~AppServices()
{
    fStopping = true;
    if (fWakePipe[1] >= 0) {
        ssize_t ignored = write(fWakePipe[1], &kStopByte, 1);
        (void)ignored;
    }
    if (fAcceptor.joinable())
        fAcceptor.join();
    {
        std::lock_guard<std::mutex> guard(fConnectionsLock);
        for (Connection& connection : fConnections)
            shutdown(connection.socket, SHUT_RDWR);
    }
    for (Connection& connection : fConnections) {
        if (connection.reader.joinable())
            connection.reader.join();
        close(connection.socket);
    }
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
    UnlockFolder();
}

status_t AppServices::LockFolder()
{
    status_t status = AppSocket::Folder(&fFolder);
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

status_t AppServices::Start(
    std::function<void(int socket, const std::atomic<bool>& stopping)> serveConnection,
    std::function<void()> quitRequest)
{
    fServe = std::move(serveConnection);
    fQuitRequest = std::move(quitRequest);
    if (pipe2(fWakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return last_error_status();
    InstallSignalHandlers();
    try {
        fAcceptor = std::thread([this] { AcceptLoop(); });
    } catch (const std::system_error&) {
        return B_NO_MORE_THREADS;
    }
    return B_OK;
}

void AppServices::InstallSignalHandlers()
{
    int expected = -1;
    if (!sSignalPipe.compare_exchange_strong(expected, fWakePipe[1]))
        return;
    struct sigaction action;
    memset(&action, 0, sizeof(action));
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &sPreviousInterrupt);
    sigaction(SIGTERM, &action, &sPreviousTerminate);
    fSignalsInstalled = true;
}

void AppServices::RestoreSignalHandlers()
{
    if (!fSignalsInstalled)
        return;
    sigaction(SIGINT, &sPreviousInterrupt, NULL);
    sigaction(SIGTERM, &sPreviousTerminate, NULL);
    sSignalPipe = -1;
    fSignalsInstalled = false;
}

void AppServices::AcceptLoop()
{
    while (!fStopping) {
        std::vector<struct pollfd> watched;
        watched.push_back({fWakePipe[0], POLLIN, 0});
        for (const auto& listener : fListeners)
            watched.push_back({listener.second, POLLIN, 0});
        if (poll(watched.data(), watched.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            fprintf(stderr, "BApplication: cannot wait for connections: %s\n", strerror(errno));
            return;
        }
        if (watched[0].revents & POLLIN) {
            char bytes[16];
            ssize_t got;
            while ((got = read(fWakePipe[0], bytes, sizeof(bytes))) > 0) {
                for (ssize_t i = 0; i < got; i++) {
                    if (bytes[i] == kStopByte)
                        return;
                    if (bytes[i] == kQuitByte && fQuitRequest)
                        fQuitRequest();
                }
            }
        }
        for (size_t i = 1; i < watched.size(); i++) {
            if (watched[i].revents & POLLIN)
                Accept(watched[i].fd);
        }
        ReapConnections();
    }
}

void AppServices::Accept(int listener)
{
    int socket = accept4(listener, NULL, NULL, SOCK_CLOEXEC);
    if (socket < 0)
        return;
    uid_t user;
    team_id peer;
    if (AppSocket::PeerIds(socket, &user, &peer) != B_OK || user != getuid()) {
        fprintf(stderr, "BApplication: refused a connection from another user\n");
        close(socket);
        return;
    }
    std::lock_guard<std::mutex> guard(fConnectionsLock);
    if ((int)fConnections.size() >= kMaxConnections) {
        fprintf(stderr, "BApplication: refused a connection from process %ld: too many\n",
                (long)peer);
        close(socket);
        return;
    }
    Connection& connection = fConnections.emplace_back();
    connection.socket = socket;
    try {
        connection.reader = std::thread([this, &connection] {
            fServe(connection.socket, fStopping);
            // The peer learns at once; the descriptor goes at the next reaping.
            shutdown(connection.socket, SHUT_RDWR);
            connection.done = true;
        });
    } catch (const std::system_error&) {
        close(socket);
        fConnections.pop_back();
    }
}

void AppServices::ReapConnections()
{
    std::lock_guard<std::mutex> guard(fConnectionsLock);
    for (auto it = fConnections.begin(); it != fConnections.end();) {
        if (it->done) {
            it->reader.join();
            close(it->socket);
            it = fConnections.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace BPrivate
