#ifndef _BPRIVATE_APP_SOCKET_H
#define _BPRIVATE_APP_SOCKET_H

#include <OS.h>
#include <SupportDefs.h>

#include <string>

#include <sys/types.h>

namespace BPrivate
{

// The Unix sockets through which applications of one user reach each other,
// all in one private folder: one per registered signature, one per process
// (team), one per running single-launch executable.
class AppSocket
{
public:
    // $XDG_RUNTIME_DIR/be-applications, else /tmp/be-applications-UID; made
    // when missing, and refused unless it is our own folder with mode 0700.
    static status_t Folder(std::string* folder);

    static std::string SignaturePath(const std::string& folder, const char* signature);
    static std::string TeamPath(const std::string& folder, team_id team);
    static std::string ExecutablePath(const std::string& folder, dev_t device, ino_t node);

    // Connects, checks that the peer is the same user, and gives its process id.
    // B_BAD_PORT_ID when nobody listens there.
    static status_t Connect(const std::string& path, int* socket, team_id* peer);

    // Binds and listens. B_NAME_IN_USE when a living application listens
    // there already; a stale socket is replaced.
    static status_t Listen(const std::string& path, int* socket);

    // The user id of the peer of a connected socket.
    static status_t PeerIds(int socket, uid_t* user, team_id* team);
};

} // namespace BPrivate

#endif
