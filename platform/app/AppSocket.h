#ifndef _APP_APP_SOCKET_H
#define _APP_APP_SOCKET_H

#include <OS.h>
#include <SupportDefs.h>

#include <string>
#include <vector>

#include <sys/types.h>

namespace BPrivate
{

// The Unix sockets through which applications of one user reach each other,
// all in one private folder: one per registered signature, one per process
// (team), one per running single-launch executable.
class AppSocket
{
public:
    // The folder this process registers in: $XDG_RUNTIME_DIR/be-applications,
    // else /tmp/be-applications-UID, made when missing. A folder that is not
    // our own with mode 0700 (another user may have made it first, or put a
    // link there) is never used: then a private folder under the home folder
    // is. *fallback tells which; either can be NULL.
    static status_t Folder(std::string* folder, bool* fallback = NULL);
    // The first choice, whether or not it can be used (for messages).
    static std::string PreferredFolder();
    // Every usable folder where applications of this user may listen, the
    // registering one first, so that a second start finds the first whichever
    // folder it took.
    static std::vector<std::string> SearchFolders();

    static std::string SignaturePath(const std::string& folder, const char* signature);
    static std::string TeamPath(const std::string& folder, team_id team);
    static std::string ExecutablePath(const std::string& folder, dev_t device, ino_t node);

    // Connects, checks that the peer is the same user, and gives its process
    // id; the socket does not block. B_BAD_PORT_ID when nobody listens there,
    // B_TIMED_OUT when the listener's backlog stayed full up to the timeout.
    static status_t Connect(const std::string& path, int* socket, team_id* peer,
                            bigtime_t timeout = B_INFINITE_TIMEOUT);

    // Binds and listens. B_NAME_IN_USE when a living application listens
    // there already; a stale socket is replaced.
    static status_t Listen(const std::string& path, int* socket);

    // The user id of the peer of a connected socket.
    static status_t PeerIds(int socket, uid_t* user, team_id* team);

    // Removes the sockets in the folder that nobody listens on any more (left
    // by a process that was killed). Call with the folder locked.
    static void RemoveStale(const std::string& folder);
};

} // namespace BPrivate

#endif
