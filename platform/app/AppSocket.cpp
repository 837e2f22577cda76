#include "app/AppSocket.h"

#include "support/HostErrors.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace BPrivate
{

namespace
{

constexpr size_t kMaxSocketPath = sizeof(sockaddr_un::sun_path) - 1;

bool MakeAddress(const std::string& path, sockaddr_un* address)
{
    if (path.size() > kMaxSocketPath)
        return false;
    memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    memcpy(address->sun_path, path.c_str(), path.size());
    return true;
}

// A file name that keeps a signature readable: lower case (signatures compare
// case-insensitively), with anything but letters, digits, '.', '-' and '_'
// escaped; a hash when that does not fit a socket address.
std::string SignatureName(const char* signature, size_t room)
{
    std::string name = "sig-";
    uint64 hash = 14695981039346656037ULL;
    for (const char* c = signature; *c != '\0'; c++) {
        unsigned char lower = (unsigned char)tolower((unsigned char)*c);
        hash = (hash ^ lower) * 1099511628211ULL;
        if (isalnum(lower) || lower == '.' || lower == '-' || lower == '_') {
            name += (char)lower;
        } else {
            char escaped[4];
            snprintf(escaped, sizeof(escaped), "%%%02x", lower);
            name += escaped;
        }
    }
    if (name.size() <= room)
        return name;
    char hashed[32];
    snprintf(hashed, sizeof(hashed), "sig#%016llx", (unsigned long long)hash);
    return hashed;
}

} // namespace

status_t AppSocket::Folder(std::string* folder)
{
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    std::string path;
    if (runtime != NULL && runtime[0] == '/')
        path = std::string(runtime) + "/be-applications";
    else
        path = "/tmp/be-applications-" + std::to_string((unsigned long)getuid());
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return last_error_status();
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return last_error_status();
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 077) != 0)
        return B_NOT_ALLOWED;
    *folder = path;
    return B_OK;
}

std::string AppSocket::SignaturePath(const std::string& folder, const char* signature)
{
    size_t room = kMaxSocketPath > folder.size() + 1 ? kMaxSocketPath - folder.size() - 1 : 0;
    return folder + "/" + SignatureName(signature, room);
}

std::string AppSocket::TeamPath(const std::string& folder, team_id team)
{
    return folder + "/team-" + std::to_string((long)team);
}

std::string AppSocket::ExecutablePath(const std::string& folder, dev_t device, ino_t node)
{
    return folder + "/exe-" + std::to_string((unsigned long long)device) + "-" +
           std::to_string((unsigned long long)node);
}

status_t AppSocket::PeerIds(int socket, uid_t* user, team_id* team)
{
    struct ucred credentials;
    socklen_t length = sizeof(credentials);
    if (getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return last_error_status();
    *user = credentials.uid;
    *team = (team_id)credentials.pid;
    return B_OK;
}

status_t AppSocket::Connect(const std::string& path, int* socketOut, team_id* peer)
{
    sockaddr_un address;
    if (!MakeAddress(path, &address))
        return B_NAME_TOO_LONG;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return last_error_status();
    if (connect(fd, (const sockaddr*)&address, sizeof(address)) != 0) {
        close(fd);
        return B_BAD_PORT_ID;
    }
    uid_t user;
    team_id team;
    if (PeerIds(fd, &user, &team) != B_OK || user != getuid()) {
        close(fd);
        return B_NOT_ALLOWED;
    }
    *socketOut = fd;
    if (peer != NULL)
        *peer = team;
    return B_OK;
}

status_t AppSocket::Listen(const std::string& path, int* socketOut)
{
    sockaddr_un address;
    if (!MakeAddress(path, &address))
        return B_NAME_TOO_LONG;
    int probe;
    if (Connect(path, &probe, NULL) == B_OK) {
        close(probe);
        return B_NAME_IN_USE;
    }
    // Nobody answers: whatever lies there is stale.
    unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return last_error_status();
    if (bind(fd, (const sockaddr*)&address, sizeof(address)) != 0 || listen(fd, 64) != 0) {
        status_t status = last_error_status();
        close(fd);
        return status;
    }
    *socketOut = fd;
    return B_OK;
}

} // namespace BPrivate
