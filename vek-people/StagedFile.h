#ifndef VEK_PEOPLE_STAGED_FILE_H
#define VEK_PEOPLE_STAGED_FILE_H

// A file's next content, written whole beside it and flushed, then renamed
// over it: a reader sees the old file or the new one, never a mix. The
// file's mode, owner and attributes go over to the new one. A stage that is
// not committed leaves nothing behind.

#include <SupportDefs.h>

#include <string>

class StagedFile
{
public:
    // path: where the file really lies (links resolved, see RealPath).
    explicit StagedFile(std::string path);
    ~StagedFile();

    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Writes the content beside the file; error is one line.
    status_t Stage(const std::string& content, std::string* error);
    status_t Commit(std::string* error);

    const std::string& Path() const { return fPath; }

private:
    std::string fPath;
    std::string fStaged;
};

// The path where the file named by path really lies: links followed, also a
// link to a file that does not exist yet. Empty, with error set, when the
// folder it lies in does not exist.
std::string RealPath(const std::string& path, std::string* error);

// Removes the file, and flushes its folder.
status_t RemoveFile(const std::string& path, std::string* error);

// Holds an exclusive lock on a folder for as long as it lives, so that two
// tools changing the same files take turns.
class FolderLock
{
public:
    FolderLock() = default;
    ~FolderLock();

    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Waits up to timeout (microseconds) for the lock; error is one line.
    status_t Lock(const std::string& folder, bigtime_t timeout, std::string* error);

private:
    int fFd = -1;
};

std::string FolderOf(const std::string& path);

#endif
