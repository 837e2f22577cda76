#include <Entry.h>

#include "storage/EntryRefTable.h"
#include "storage/PathText.h"
#include "support/HostErrors.h"

#include <Directory.h>
#include <Path.h>

#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

using BPrivate::EntryRefTable;
using BPrivate::join_path;
using BPrivate::split_path;

BEntry::BEntry() : fStatus(B_NO_INIT) {}

BEntry::BEntry(const BDirectory* dir, const char* path, bool traverse) : fStatus(B_NO_INIT)
{
    SetTo(dir, path, traverse);
}

BEntry::BEntry(const entry_ref* ref, bool traverse) : fStatus(B_NO_INIT)
{
    SetTo(ref, traverse);
}

BEntry::BEntry(const char* path, bool traverse) : fStatus(B_NO_INIT)
{
    SetTo(path, traverse);
}

BEntry::BEntry(const BEntry& entry) : fPath(entry.fPath), fStatus(entry.fStatus) {}

BEntry::~BEntry() = default;

status_t BEntry::InitCheck() const
{
    return fStatus;
}

bool BEntry::Exists() const
{
    struct stat st;
    return fStatus == B_OK && lstat(fPath.c_str(), &st) == 0;
}

status_t BEntry::GetStat(struct stat* st) const
{
    if (st == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_NO_INIT;
    if (lstat(fPath.c_str(), st) != 0)
        return BPrivate::last_error_status();
    return B_OK;
}

status_t BEntry::SetTo(const BDirectory* dir, const char* path, bool traverse)
{
    if (path != NULL && path[0] == '/')
        return SetTo(path, traverse);
    if (dir == NULL || dir->InitCheck() != B_OK) {
        Unset();
        return fStatus = B_BAD_VALUE;
    }
    BEntry folder;
    status_t status = dir->GetEntry(&folder);
    if (status != B_OK) {
        Unset();
        return fStatus = status;
    }
    if (path == NULL || path[0] == '\0') {
        *this = folder;
        return B_OK;
    }
    return SetTo(join_path(folder.fPath, path).c_str(), traverse);
}

status_t BEntry::SetTo(const entry_ref* ref, bool traverse)
{
    Unset();
    if (ref == NULL || ref->name == NULL || ref->name[0] == '\0' || strchr(ref->name, '/'))
        return fStatus = B_BAD_VALUE;
    std::string folder;
    if (!EntryRefTable::Default().Find(ref->device, ref->directory, &folder))
        return fStatus = B_ENTRY_NOT_FOUND;
    return SetTo(join_path(folder, ref->name).c_str(), traverse);
}

status_t BEntry::SetTo(const char* path, bool traverse)
{
    Unset();
    if (path == NULL)
        return fStatus = B_BAD_VALUE;
    if (path[0] == '\0')
        return fStatus = B_ENTRY_NOT_FOUND;

    std::string current;
    status_t status = BPrivate::normalize_path(path, &current);
    for (int links = 0; status == B_OK && traverse; links++) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        if (links == B_MAX_SYMLINKS) {
            status = B_LINK_LIMIT;
            break;
        }
        std::vector<char> target(B_PATH_NAME_LENGTH);
        ssize_t length = readlink(current.c_str(), target.data(), target.size());
        if (length < 0) {
            status = BPrivate::last_error_status();
            break;
        }
        if ((size_t)length >= target.size()) {
            status = B_NAME_TOO_LONG;
            break;
        }
        std::string linkText(target.data(), (size_t)length);
        if (linkText.empty() || linkText[0] != '/') {
            std::string folder, leaf;
            split_path(current, &folder, &leaf);
            linkText = join_path(folder, linkText);
        }
        status = BPrivate::normalize_path(linkText, &current);
    }
    if (status != B_OK)
        return fStatus = status;
    fPath = current;
    return fStatus = B_OK;
}

void BEntry::Unset()
{
    fPath.clear();
    fStatus = B_NO_INIT;
}

status_t BEntry::GetRef(entry_ref* ref) const
{
    if (ref == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_NO_INIT;
    std::string folder, leaf;
    if (fPath == "/") {
        // The root is the entry "." of itself.
        folder = "/";
        leaf = ".";
    } else {
        split_path(fPath, &folder, &leaf);
    }
    struct stat st;
    if (stat(folder.c_str(), &st) != 0)
        return BPrivate::last_error_status();
    dev_t device = BPrivate::ref_device(st.st_dev);
    EntryRefTable::Default().Remember(device, st.st_ino, folder);
    ref->device = device;
    ref->directory = st.st_ino;
    return ref->set_name(leaf.c_str());
}

status_t BEntry::GetPath(BPath* path) const
{
    if (path == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK) {
        path->Unset();
        return B_NO_INIT;
    }
    return path->SetTo(fPath.c_str());
}

status_t BEntry::GetParent(BEntry* entry) const
{
    if (entry == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK) {
        entry->Unset();
        return B_NO_INIT;
    }
    if (fPath == "/") {
        entry->Unset();
        return entry->fStatus = B_ENTRY_NOT_FOUND;
    }
    std::string folder, leaf;
    split_path(fPath, &folder, &leaf);
    return entry->SetTo(folder.c_str());
}

status_t BEntry::GetParent(BDirectory* dir) const
{
    if (dir == NULL)
        return B_BAD_VALUE;
    BEntry parent;
    status_t status = GetParent(&parent);
    if (status != B_OK) {
        dir->Unset();
        return status;
    }
    return dir->SetTo(&parent);
}

status_t BEntry::GetName(char* buffer) const
{
    if (buffer == NULL)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_NO_INIT;
    std::string folder, leaf;
    split_path(fPath, &folder, &leaf);
    if (fPath == "/")
        leaf = "/";
    if (leaf.size() >= B_FILE_NAME_LENGTH)
        return B_NAME_TOO_LONG;
    memcpy(buffer, leaf.c_str(), leaf.size() + 1);
    return B_OK;
}

status_t BEntry::Remove()
{
    if (fStatus != B_OK)
        return B_NO_INIT;
    struct stat st;
    if (lstat(fPath.c_str(), &st) != 0)
        return BPrivate::last_error_status();
    int result = S_ISDIR(st.st_mode) ? rmdir(fPath.c_str()) : unlink(fPath.c_str());
    return result == 0 ? B_OK : BPrivate::last_error_status();
}

bool BEntry::operator==(const BEntry& item) const
{
    if (fStatus != B_OK || item.fStatus != B_OK)
        return fStatus != B_OK && item.fStatus != B_OK;
    return fPath == item.fPath;
}

bool BEntry::operator!=(const BEntry& item) const
{
    return !(*this == item);
}

BEntry& BEntry::operator=(const BEntry& item)
{
    fPath = item.fPath;
    fStatus = item.fStatus;
    return *this;
}

status_t get_ref_for_path(const char* path, entry_ref* ref)
{
    if (path == NULL || ref == NULL)
        return B_BAD_VALUE;
    BEntry entry;
    status_t status = entry.SetTo(path);
    if (status != B_OK)
        return status;
    return entry.GetRef(ref);
}
