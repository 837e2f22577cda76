#include "app/AppSocket.h"

#include "support/HostErrors.h"

#include <ctype.h>
#include <dirent.h>
#include <errno.h>
#include <pwd.h>
#include <signal.h>
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

// Our own folder with mode 0700, and not a link to one; made when missing.
status_t PrivateFolder(const std::string& path, bool create)
{
    if (create && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return last_error_status();
    struct stat info;
    if (lstat(path.c_str(), &info) != 0)
        return last_error_status();
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 077) != 0)
        return B_NOT_ALLOWED;
    return B_OK;
}

std::string HomeFolder()
{
    const char* home = getenv("HOME");
    if (home != NULL && home[0] == '/')
        return home;
    struct passwd* entry = getpwuid(getuid());
    if (entry != NULL && entry->pw_dir != NULL && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    return "";
}

// Under the home folder, which only its owner can write to; named after the
// machine, since a home folder may be shared by several.
std::string FallbackFolder()
{
    std::string home = HomeFolder();
    if (home.empty())
        return "";
    char host[256] = "";
    gethostname(host, sizeof(host) - 1);
    std::string name = "be-applications-";
    for (const char* c = host; *c != '\0'; c++)
        name += isalnum((unsigned char)*c) || *c == '-' || *c == '.' ? *c : '_';
    return home + "/.cache/" + name;
}

// A folder must leave room for the longest socket name in it.
constexpr size_t kLongestName = sizeof("/team-2147483647") - 1;

} // namespace

std::string AppSocket::PreferredFolder()
{
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime != NULL && runtime[0] == '/')
        return std::string(runtime) + "/be-applications";
    return "/tmp/be-applications-" + std::to_string((unsigned long)getuid());
}

status_t AppSocket::Folder(std::string* folder, bool* fallback)
{
    std::string preferred = PreferredFolder();
    status_t status = PrivateFolder(preferred, true);
    if (status == B_OK) {
        if (folder != NULL)
            *folder = preferred;
        if (fallback != NULL)
            *fallback = false;
        return B_OK;
    }
    std::string safe = FallbackFolder();
    if (safe.empty())
        return status;
    if (safe.size() + kLongestName > kMaxSocketPath)
        return B_NAME_TOO_LONG;
    std::string cache = safe.substr(0, safe.rfind('/'));
    if (mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST)
        return last_error_status();
    status = PrivateFolder(safe, true);
    if (status != B_OK)
        return status;
    if (folder != NULL)
        *folder = safe;
    if (fallback != NULL)
        *fallback = true;
    return B_OK;
}

std::vector<std::string> AppSocket::SearchFolders()
{
    std::vector<std::string> folders;
    std::string preferred = PreferredFolder();
    if (PrivateFolder(preferred, false) == B_OK)
        folders.push_back(preferred);
    std::string safe = FallbackFolder();
    if (!safe.empty() && PrivateFolder(safe, false) == B_OK)
        folders.push_back(safe);
    return folders;
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

status_t AppSocket::Connect(const std::string& path, int* socketOut, team_id* peer,
                            bigtime_t timeout)
{
    sockaddr_un address;
    if (!MakeAddress(path, &address))
        return B_NAME_TOO_LONG;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return last_error_status();
    bigtime_t deadline = timeout == B_INFINITE_TIMEOUT
                             ? B_INFINITE_TIMEOUT
                             : system_time() + (timeout < 0 ? 0 : timeout);
    // A full backlog gives EAGAIN at once; there is nothing to wait on but time.
    while (connect(fd, (const sockaddr*)&address, sizeof(address)) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN && (deadline == B_INFINITE_TIMEOUT || system_time() < deadline)) {
            snooze(2000);
            continue;
        }
        status_t status = errno == EAGAIN ? B_TIMED_OUT : B_BAD_PORT_ID;
        close(fd);
        return status;
    }
    uid_t user = (uid_t)-1;
    team_id team = -1;
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
    status_t probed = Connect(path, &probe, NULL, 0);
    if (probed == B_OK)
        close(probe);
    // A listener too busy to take us is alive all the same.
    if (probed == B_OK || probed == B_TIMED_OUT)
        return B_NAME_IN_USE;
    // Nobody answers: whatever lies there is stale.
    unlink(path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return last_error_status();
    if (bind(fd, (const sockaddr*)&address, sizeof(address)) != 0 || listen(fd, SOMAXCONN) != 0) {
        status_t status = last_error_status();
        close(fd);
        return status;
    }
    *socketOut = fd;
    return B_OK;
}

void AppSocket::RemoveStale(const std::string& folder)
{
    DIR* directory = opendir(folder.c_str());
    if (directory == NULL)
        return;
    while (struct dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        bool team = name.rfind("team-", 0) == 0;
        if (!team && name.rfind("sig", 0) != 0 && name.rfind("exe-", 0) != 0)
            continue;
        std::string path = folder + "/" + name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode))
            continue;
        bool stale = false;
        if (team) {
            long pid = atol(name.c_str() + 5);
            stale = pid <= 0 || (kill((pid_t)pid, 0) != 0 && errno == ESRCH);
        }
        if (!stale) {
            int probe;
            status_t status = Connect(path, &probe, NULL, 0);
            if (status == B_OK)
                close(probe);
            stale = status == B_BAD_PORT_ID;
        }
        if (stale)
            unlink(path.c_str());
    }
    closedir(directory);
}

} // namespace BPrivate
