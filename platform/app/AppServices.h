#ifndef _APP_APP_SERVICES_H
#define _APP_APP_SERVICES_H

#include "app/MessageFrame.h"

#include <OS.h>
#include <SupportDefs.h>

#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>

#include <sys/types.h>

class BMessage;

namespace BPrivate
{

class EventSignal;

// What an application offers other processes: its sockets (signature, team,
// and for single launch its executable), the one thread that serves every
// connection to them, and the turning of SIGINT, SIGTERM and SIGHUP into quit
// requests.
//
// Each frame that arrives is handed to the deliverer and answered with a
// receipt once the message is queued. While a target's queue is full the
// connection is parked: nothing more is read from it (which holds its sender
// back) until the queue has room. A connection that sends nothing for
// kIdleTimeout, or takes longer than kMessageTimeout for one message, is
// closed; so is one that does not read its receipts.
class AppServices
{
public:
    // Queues the message (taking it) and gives B_OK, an error for the
    // receipt, or B_WOULD_BLOCK (keeping it) when the target is full; then
    // roomSignal is raised once it has room.
    using Deliverer = std::function<status_t(const MessageFrame::Header& header,
                                             std::unique_ptr<BMessage>& message,
                                             const std::shared_ptr<EventSignal>& roomSignal)>;

    static constexpr bigtime_t kIdleTimeout = 10000000;
    static constexpr bigtime_t kMessageTimeout = 5000000;

    AppServices();
    ~AppServices();

    // Locks the folder against other starting applications, so that finding
    // a running one and registering are one step.
    status_t LockFolder();
    void UnlockFolder();
    const std::string& Folder() const { return fFolder; }
    // The folder is not the first choice, which was unsafe.
    bool IsFallbackFolder() const { return fFallback; }

    // B_NAME_IN_USE when a living application listens there.
    status_t ListenOn(const std::string& path);
    bool IsListening(const std::string& path) const;

    // Starts serving. quitRequest is called on the serving thread for SIGINT,
    // SIGTERM and SIGHUP.
    status_t Start(Deliverer deliver, std::function<void()> quitRequest);

private:
    struct Connection {
        int socket = -1;
        team_id peer = -1;
        FrameReader reader;
        // The message that waits for room in its target's queue.
        std::unique_ptr<BMessage> parked;
        MessageFrame::Header parkedHeader;
        std::multimap<bigtime_t, int>::iterator deadline;
        bool hasDeadline = false;
    };

    void Serve();
    bool Watch(int fd, uint32 events, int operation);
    void AcceptAll(int listener);
    bool EvictIdlest();
    void Accept(int socket);
    void Read(Connection& connection);
    // false when the connection was closed.
    bool Deliver(Connection& connection, const MessageFrame::Header& header,
                 std::unique_ptr<BMessage>& message);
    void RetryParked();
    void SetDeadline(Connection& connection, bigtime_t when);
    void ClearDeadline(Connection& connection);
    void ExpireDeadlines();
    void Drop(int socket);
    void InstallSignalHandlers();
    void RestoreSignalHandlers();

    std::string fFolder;
    bool fFallback = false;
    int fFolderLock = -1;
    std::list<std::pair<std::string, int>> fListeners;
    int fWakePipe[2] = {-1, -1};
    int fPoll = -1;
    std::shared_ptr<EventSignal> fRoomSignal;
    bool fSignalsInstalled = false;
    std::thread fServer;
    Deliverer fDeliver;
    std::function<void()> fQuitRequest;

    // Owned by the serving thread once it runs.
    std::unordered_map<int, std::unique_ptr<Connection>> fConnections;
    std::multimap<bigtime_t, int> fDeadlines;
    std::deque<int> fParked;
    bigtime_t fListenersPausedUntil = 0;
};

} // namespace BPrivate

#endif
