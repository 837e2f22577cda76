#include <Directory.h>

#include "storage/PathText.h"
#include "support/HostErrors.h"

#include <Entry.h>
#include <File.h>
#include <Path.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

using BPrivate::join_path;

namespace
{

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

bool matches_node_flags(const struct stat& st, int32 nodeFlags)
{
    if (S_ISLNK(st.st_mode))
        return (nodeFlags & B_SYMLINK_NODE) != 0;
    if (S_ISDIR(st.st_mode))
        return (nodeFlags & B_DIRECTORY_NODE) != 0;
    return (nodeFlags & B_FILE_NODE) != 0;
}

} // namespace

BDirectory::BDirectory() : fNextEntry(0), fEntriesRead(false) {}

BDirectory::BDirectory(const entry_ref* ref) : BDirectory()
{
    SetTo(ref);
}

BDirectory::BDirectory(const BEntry* entry) : BDirectory()
{
    SetTo(entry);
}

BDirectory::BDirectory(const char* path) : BDirectory()
{
    SetTo(path);
}

BDirectory::BDirectory(const BDirectory* dir, const char* path) : BDirectory()
{
    SetTo(dir, path);
}

BDirectory::~BDirectory() = default;

status_t BDirectory::SetTo(const entry_ref* ref)
{
    Unset();
    if (ref == NULL) {
        _SetStatus(B_BAD_VALUE);
        return B_BAD_VALUE;
    }
    BEntry entry(ref);
    return SetTo(&entry);
}

status_t BDirectory::SetTo(const BEntry* entry)
{
    Unset();
    BPath path;
    status_t status = entry == NULL ? B_BAD_VALUE : entry->GetPath(&path);
    if (status != B_OK) {
        _SetStatus(status);
        return status;
    }
    return SetTo(path.Path());
}

status_t BDirectory::SetTo(const BDirectory* dir, const char* path)
{
    Unset();
    BEntry entry(dir, path);
    return SetTo(&entry);
}

status_t BDirectory::SetTo(const char* path)
{
    Unset();
    status_t status = B_OK;
    if (path == NULL)
        status = B_BAD_VALUE;
    else if (path[0] == '\0')
        status = B_ENTRY_NOT_FOUND;
    else
        status = _SetToPath(path);
    if (status != B_OK)
        _SetStatus(status);
    return status;
}

status_t BDirectory::_SetToPath(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return BPrivate::last_error_status();
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), NULL), &free);
    if (!resolved) {
        status_t status = BPrivate::last_error_status();
        close(fd);
        return status;
    }
    fDirPath = resolved.get();
    return _SetToDescriptor(fd, fDirPath.c_str(), false);
}

void BDirectory::Unset()
{
    BNode::Unset();
    fDirPath.clear();
    fEntryNames.clear();
    fNextEntry = 0;
    fEntriesRead = false;
}

status_t BDirectory::GetEntry(BEntry* entry) const
{
    if (entry == NULL)
        return B_BAD_VALUE;
    if (InitCheck() != B_OK) {
        entry->Unset();
        return B_NO_INIT;
    }
    return entry->SetTo(fDirPath.c_str());
}

bool BDirectory::IsRootDirectory() const
{
    return InitCheck() == B_OK && fDirPath == "/";
}

status_t BDirectory::_Resolve(const char* path, std::string* fullPath) const
{
    if (path == NULL)
        return B_BAD_VALUE;
    if (path[0] == '/') {
        *fullPath = path;
        return B_OK;
    }
    // A relative name never falls back to the current folder.
    if (InitCheck() != B_OK)
        return B_NO_INIT;
    if (path[0] == '\0')
        return B_ENTRY_NOT_FOUND;
    *fullPath = join_path(fDirPath, path);
    return B_OK;
}

status_t BDirectory::FindEntry(const char* path, BEntry* entry, bool traverse) const
{
    if (entry == NULL)
        return B_BAD_VALUE;
    std::string fullPath;
    status_t status = _Resolve(path, &fullPath);
    if (status == B_OK)
        status = entry->SetTo(fullPath.c_str(), traverse);
    if (status == B_OK && !entry->Exists())
        status = B_ENTRY_NOT_FOUND;
    if (status != B_OK)
        entry->Unset();
    return status;
}

bool BDirectory::Contains(const char* path, int32 nodeFlags) const
{
    std::string fullPath;
    if (InitCheck() != B_OK || _Resolve(path, &fullPath) != B_OK)
        return false;
    BEntry entry(fullPath.c_str());
    return Contains(&entry, nodeFlags);
}

bool BDirectory::Contains(const BEntry* entry, int32 nodeFlags) const
{
    if (InitCheck() != B_OK || entry == NULL || entry->InitCheck() != B_OK)
        return false;
    struct stat st;
    if (entry->GetStat(&st) != B_OK || !matches_node_flags(st, nodeFlags))
        return false;
    BPath path;
    if (entry->GetPath(&path) != B_OK)
        return false;
    // Anywhere below this folder, at any depth.
    std::string prefix = fDirPath == "/" ? fDirPath : fDirPath + "/";
    return strncmp(path.Path(), prefix.c_str(), prefix.size()) == 0;
}

status_t BDirectory::_ReadEntryNames()
{
    DirHandle dir(opendir(fDirPath.c_str()));
    if (!dir)
        return BPrivate::last_error_status();
    fEntryNames.clear();
    errno = 0;
    while (struct dirent* item = readdir(dir.get())) {
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            fEntryNames.push_back(item->d_name);
    }
    if (errno != 0)
        return BPrivate::last_error_status();
    fNextEntry = 0;
    fEntriesRead = true;
    return B_OK;
}

status_t BDirectory::GetNextEntry(BEntry* entry, bool traverse)
{
    if (entry == NULL)
        return B_BAD_VALUE;
    entry->Unset();
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    if (!fEntriesRead) {
        status_t status = _ReadEntryNames();
        if (status != B_OK)
            return status;
    }
    while (fNextEntry < fEntryNames.size()) {
        // Entries removed since the listing are skipped.
        const std::string& name = fEntryNames[fNextEntry++];
        if (entry->SetTo(join_path(fDirPath, name).c_str(), traverse) == B_OK && entry->Exists())
            return B_OK;
    }
    entry->Unset();
    return B_ENTRY_NOT_FOUND;
}

status_t BDirectory::GetNextRef(entry_ref* ref)
{
    if (ref == NULL)
        return B_BAD_VALUE;
    BEntry entry;
    status_t status = GetNextEntry(&entry);
    if (status != B_OK)
        return status;
    return entry.GetRef(ref);
}

status_t BDirectory::Rewind()
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    fEntryNames.clear();
    fNextEntry = 0;
    fEntriesRead = false;
    return B_OK;
}

int32 BDirectory::CountEntries() const
{
    if (InitCheck() != B_OK)
        return B_FILE_ERROR;
    DirHandle dir(opendir(fDirPath.c_str()));
    if (!dir)
        return BPrivate::last_error_status();
    int32 count = 0;
    while (struct dirent* item = readdir(dir.get())) {
        if (strcmp(item->d_name, ".") != 0 && strcmp(item->d_name, "..") != 0)
            count++;
    }
    return count;
}

status_t BDirectory::CreateFile(const char* path, BFile* file, bool failIfExists)
{
    if (file == NULL)
        return B_BAD_VALUE;
    std::string fullPath;
    status_t status = _Resolve(path, &fullPath);
    if (status != B_OK) {
        file->Unset();
        return status;
    }
    uint32 mode = B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE;
    if (failIfExists)
        mode |= B_FAIL_IF_EXISTS;
    return file->SetTo(fullPath.c_str(), mode);
}

status_t BDirectory::CreateDirectory(const char* path, BDirectory* dir)
{
    std::string fullPath;
    status_t status = _Resolve(path, &fullPath);
    if (status != B_OK)
        return status;
    if (mkdir(fullPath.c_str(), 0777) != 0)
        return BPrivate::last_error_status();
    return dir == NULL ? B_OK : dir->SetTo(fullPath.c_str());
}
