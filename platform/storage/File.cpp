#include <File.h>

#include "support/HostErrors.h"

#include <Directory.h>
#include <Entry.h>
#include <Path.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Only the flags the open modes name reach open().
constexpr uint32 kOpenFlags = O_ACCMODE | O_CREAT | O_TRUNC | O_EXCL | O_APPEND;

status_t path_of(const BEntry& entry, BPath* path)
{
    status_t status = entry.InitCheck();
    if (status != B_OK)
        return status;
    return entry.GetPath(path);
}

} // namespace

BFile::BFile() : fMode(0) {}

BFile::BFile(const entry_ref* ref, uint32 openMode) : fMode(0)
{
    SetTo(ref, openMode);
}

BFile::BFile(const BEntry* entry, uint32 openMode) : fMode(0)
{
    SetTo(entry, openMode);
}

BFile::BFile(const char* path, uint32 openMode) : fMode(0)
{
    SetTo(path, openMode);
}

BFile::BFile(const BDirectory* dir, const char* path, uint32 openMode) : fMode(0)
{
    SetTo(dir, path, openMode);
}

BFile::~BFile() = default;

status_t BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
    Unset();
    if (ref == NULL) {
        _SetStatus(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    BEntry entry(ref);
    return SetTo(&entry, openMode);
}

status_t BFile::SetTo(const BEntry* entry, uint32 openMode)
{
    Unset();
    if (entry == NULL) {
        _SetStatus(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    BPath path;
    status_t status = path_of(*entry, &path);
    if (status != B_OK) {
        _SetStatus(status);
        return status;
    }
    return SetTo(path.Path(), openMode);
}

status_t BFile::SetTo(const BDirectory* dir, const char* path, uint32 openMode)
{
    Unset();
    if (path != NULL && path[0] == '/')
        return SetTo(path, openMode);
    BEntry entry(dir, path);
    return SetTo(&entry, openMode);
}

status_t BFile::SetTo(const char* path, uint32 openMode)
{
    Unset();
    status_t status = _Open(path, openMode);
    if (status != B_OK)
        _SetStatus(status);
    return status;
}

status_t BFile::_Open(const char* path, uint32 openMode)
{
    if (path == NULL)
        return B_BAD_VALUE;
    if (path[0] == '\0')
        return B_ENTRY_NOT_FOUND;
    int fd = open(path, (int)(openMode & kOpenFlags) | O_CLOEXEC, 0666);
    if (fd < 0)
        return BPrivate::last_error_status();
    struct stat st;
    status_t status = B_OK;
    if (fstat(fd, &st) != 0)
        status = BPrivate::last_error_status();
    else if (S_ISDIR(st.st_mode))
        status = B_IS_A_DIRECTORY;
    if (status != B_OK) {
        close(fd);
        return status;
    }
    fMode = openMode & kOpenFlags;
    return _SetToDescriptor(fd, path, false);
}

void BFile::Unset()
{
    BNode::Unset();
    fMode = 0;
}

bool BFile::IsReadable() const
{
    uint32 access = fMode & O_ACCMODE;
    return InitCheck() == B_OK && (access == O_RDONLY || access == O_RDWR);
}

bool BFile::IsWritable() const
{
    uint32 access = fMode & O_ACCMODE;
    return InitCheck() == B_OK && (access == O_WRONLY || access == O_RDWR);
}

ssize_t BFile::Read(void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (buffer == NULL)
        return B_BAD_VALUE;
    ssize_t result = read(_Descriptor(), buffer, size);
    return result < 0 ? BPrivate::last_error_status() : result;
}

ssize_t BFile::ReadAt(off_t location, void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (buffer == NULL || location < 0)
        return B_BAD_VALUE;
    ssize_t result = pread(_Descriptor(), buffer, size, location);
    return result < 0 ? BPrivate::last_error_status() : result;
}

ssize_t BFile::Write(const void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (buffer == NULL)
        return B_BAD_VALUE;
    ssize_t result = write(_Descriptor(), buffer, size);
    return result < 0 ? BPrivate::last_error_status() : result;
}

ssize_t BFile::WriteAt(off_t location, const void* buffer, size_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (buffer == NULL || location < 0)
        return B_BAD_VALUE;
    ssize_t result = pwrite(_Descriptor(), buffer, size, location);
    return result < 0 ? BPrivate::last_error_status() : result;
}

off_t BFile::Seek(off_t offset, uint32 seekMode)
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (seekMode != SEEK_SET && seekMode != SEEK_CUR && seekMode != SEEK_END)
        return B_BAD_VALUE;
    off_t result = lseek(_Descriptor(), offset, (int)seekMode);
    return result < 0 ? (off_t)BPrivate::last_error_status() : result;
}

off_t BFile::Position() const
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    off_t result = lseek(_Descriptor(), 0, SEEK_CUR);
    return result < 0 ? (off_t)BPrivate::last_error_status() : result;
}

status_t BFile::SetSize(off_t size)
{
    if (InitCheck() != B_OK)
        return InitCheck();
    if (size < 0)
        return B_BAD_VALUE;
    return ftruncate(_Descriptor(), size) == 0 ? B_OK : BPrivate::last_error_status();
}

status_t BFile::GetSize(off_t* size) const
{
    return BNode::GetSize(size);
}
