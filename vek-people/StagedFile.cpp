#include "StagedFile.h"

#include <Errors.h>
#include <OS.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <vector>

namespace
{

std::string Said(const std::string& what, const std::string& path, int error)
{
    return what + " " + path + ": " + strerror(error);
}

status_t WriteAll(int fd, const std::string& content)
{
    size_t done = 0;
    while (done < content.size()) {
        ssize_t wrote = write(fd, content.data() + done, content.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return errno;
        done += wrote;
    }
    return 0;
}

status_t SyncFolder(const std::string& folder)
{
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int result = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return result;
}

// The old file's typed attributes (its file type above all) go with it.
void CopyAttributes(const std::string& from, int to)
{
    ssize_t size = listxattr(from.c_str(), nullptr, 0);
    if (size <= 0)
        return;
    std::vector<char> names(size);
    size = listxattr(from.c_str(), names.data(), names.size());
    for (ssize_t at = 0; at < size; at += strlen(names.data() + at) + 1) {
        const char* name = names.data() + at;
        if (strncmp(name, "user.", 5) != 0)
            continue;
        ssize_t length = getxattr(from.c_str(), name, nullptr, 0);
        if (length < 0)
            continue;
        std::vector<char> value(length);
        length = getxattr(from.c_str(), name, value.data(), value.size());
        if (length >= 0)
            fsetxattr(to, name, value.data(), length, 0);
    }
}

} // namespace

StagedFile::StagedFile(std::string path) : fPath(std::move(path)) {}

StagedFile::~StagedFile()
{
    if (!fStaged.empty())
        unlink(fStaged.c_str());
}

status_t StagedFile::Stage(const std::string& content, std::string* error)
{
    std::string folder = FolderOf(fPath);
    std::string leaf = fPath.substr(fPath.rfind('/') + 1);
    std::string name = folder + "/." + leaf + ".XXXXXX";
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = Said("cannot write in", folder, errno);
        return (status_t)errno;
    }
    fStaged = name;

    struct stat old;
    if (stat(fPath.c_str(), &old) == 0) {
        // Owner first: a change of owner may clear the set-id bits of the mode.
        if (fchown(fd, old.st_uid, old.st_gid) != 0)
            fchown(fd, (uid_t)-1, old.st_gid);
        fchmod(fd, old.st_mode & 07777);
        CopyAttributes(fPath, fd);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }

    int result = WriteAll(fd, content);
    if (result == 0 && fsync(fd) != 0)
        result = errno;
    if (close(fd) != 0 && result == 0)
        result = errno;
    if (result != 0) {
        *error = Said("cannot write in", folder, result);
        unlink(fStaged.c_str());
        fStaged.clear();
        return (status_t)result;
    }
    return B_OK;
}

status_t StagedFile::Commit(std::string* error)
{
    if (fStaged.empty())
        return B_NO_INIT;
    if (rename(fStaged.c_str(), fPath.c_str()) != 0) {
        *error = Said("cannot replace", fPath, errno);
        return (status_t)errno;
    }
    fStaged.clear();
    int result = SyncFolder(FolderOf(fPath));
    if (result != 0) {
        *error = Said("cannot flush the folder of", fPath, result);
        return (status_t)result;
    }
    return B_OK;
}

std::string RealPath(const std::string& path, std::string* error)
{
    std::string current = path;
    // A link to a file that is not there yet is followed by hand; the
    // folder it names must exist.
    for (int depth = 0; depth < 40; depth++) {
        char resolved[PATH_MAX];
        if (realpath(current.c_str(), resolved) != nullptr)
            return resolved;
        char target[PATH_MAX];
        ssize_t length = readlink(current.c_str(), target, sizeof(target) - 1);
        if (length < 0) {
            std::string folder = FolderOf(current);
            if (realpath(folder.c_str(), resolved) == nullptr) {
                *error = Said("no folder", folder, errno);
                return "";
            }
            return std::string(resolved) + current.substr(current.rfind('/'));
        }
        target[length] = '\0';
        current = target[0] == '/' ? std::string(target) : FolderOf(current) + "/" + target;
    }
    *error = Said("cannot follow", path, ELOOP);
    return "";
}

status_t RemoveFile(const std::string& path, std::string* error)
{
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        *error = Said("cannot remove", path, errno);
        return (status_t)errno;
    }
    SyncFolder(FolderOf(path));
    return B_OK;
}

FolderLock::~FolderLock()
{
    if (fFd >= 0)
        close(fFd);
}

status_t FolderLock::Lock(const std::string& folder, bigtime_t timeout, std::string* error)
{
    fFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fFd < 0) {
        *error = Said("cannot open", folder, errno);
        return (status_t)errno;
    }
    bigtime_t until = system_time() + timeout;
    while (flock(fFd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *error = Said("cannot lock", folder, errno);
            return (status_t)errno;
        }
        if (system_time() > until) {
            *error = "another vek-people keeps " + folder + " locked";
            return B_TIMED_OUT;
        }
        snooze(20000);
    }
    return B_OK;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}
