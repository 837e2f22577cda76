#ifndef _BPRIVATE_APP_SERVICES_H
#define _BPRIVATE_APP_SERVICES_H

#include <OS.h>
#include <SupportDefs.h>

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <sys/types.h>

namespace BPrivate
{

// What an application offers other processes: its sockets (signature, team,
// and for single launch its executable), the threads that read them, and the
// turning of SIGINT and SIGTERM into quit requests.
class AppServices
{
public:
    AppServices();
    ~AppServices();

    // Locks the folder against other starting applications, so that finding
    // a running one and registering are one step.
    status_t LockFolder();
    void UnlockFolder();
    const std::string& Folder() const { return fFolder; }

    // B_NAME_IN_USE when a living application listens there.
    status_t ListenOn(const std::string& path);
    bool IsListening(const std::string& path) const;

    // Starts accepting connections: each is served on a thread of its own by
    // serveConnection, which returns when the peer is done. quitRequest is
    // called on the accepting thread for SIGINT and SIGTERM.
    // serveConnection should give up waiting once stopping is set.
    status_t
    Start(std::function<void(int socket, const std::atomic<bool>& stopping)> serveConnection,
          std::function<void()> quitRequest);

    static constexpr int kMaxConnections = 64;

private:
    struct Connection {
        int socket;
        std::thread reader;
        std::atomic<bool> done{false};
    };

    void AcceptLoop();
    void Accept(int listener);
    void ReapConnections();
    void InstallSignalHandlers();
    void RestoreSignalHandlers();

    std::string fFolder;
    int fFolderLock = -1;
    std::list<std::pair<std::string, int>> fListeners;
    int fWakePipe[2] = {-1, -1};
    bool fSignalsInstalled = false;
    std::thread fAcceptor;
    std::mutex fConnectionsLock;
    std::list<Connection> fConnections;
    std::function<void(int, const std::atomic<bool>&)> fServe;
    std::function<void()> fQuitRequest;
    std::atomic<bool> fStopping{false};
};

} // namespace BPrivate

#endif
